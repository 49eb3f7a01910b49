// The four history windows: the ten slots of one history each, reloaded on every activation.
#pragma once

#include "inputs/HistoryStore.h"

#include <QDialog>

#include <array>

class QLineEdit;
class QPlainTextEdit;
class QToolButton;

namespace vexlo {

class Platform;

/// Shared behaviour: modal, reloads its fields whenever it becomes the active window; the
/// fields can be edited and copied from, nothing goes back to the slot files.
class HistoryWindow : public QDialog {
    Q_OBJECT

  public:
    HistoryKind kind() const noexcept { return m_kind; }
    /// Reads the ten slots; a slot that cannot be read leaves its field as it was.
    virtual void reload() = 0;

  protected:
    HistoryWindow(Platform &platform, HistoryKind kind, const char *objectName, const QString &title,
                  QWidget *parent);
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    QToolButton *makeCloseButton();

    HistoryStore m_store;

  private:
    HistoryKind m_kind;
};

/// TForm6 ("What to Find" one-line strings) and TForm7 ("Replace With"): Edit1..Edit10 hold
/// slots 0..9, shown from the top in the order 0, 1, 2, 3, 4, 9, 8, 7, 6, 5.
class OneLineHistoryWindow : public HistoryWindow {
    Q_OBJECT

  public:
    OneLineHistoryWindow(Platform &platform, HistoryKind kind, QWidget *parent = nullptr);
    void reload() override;
    QLineEdit *slotField(int slot) const { return m_fields.at(std::size_t(slot)); }

  private:
    std::array<QLineEdit *, 10> m_fields{};
};

/// TForm8 and TForm9: ten memos three to a row, slots 1..9 in Memo1..Memo9, slot 0 last in Memo10.
class MultiLineHistoryWindow : public HistoryWindow {
    Q_OBJECT

  public:
    MultiLineHistoryWindow(Platform &platform, HistoryKind kind, QWidget *parent = nullptr);
    void reload() override;
    QPlainTextEdit *slotMemo(int slot) const { return m_memos.at(std::size_t(slot)); }

  private:
    std::array<QPlainTextEdit *, 10> m_memos{};
};

} // namespace vexlo
