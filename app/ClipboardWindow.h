// The "Clipboard" window: the clipboard's current text, shown before it is pasted anywhere.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace vexlo {

class Platform;

/// TForm5. Modal; refilled from the clipboard each time it becomes active, so edits made in
/// its editor are never kept.
class ClipboardWindow : public QDialog {
    Q_OBJECT

  public:
    explicit ClipboardWindow(Platform &platform, QWidget *parent = nullptr);

    /// Empties the editor and inserts the clipboard's text (nothing when it holds none).
    void refill();
    QPlainTextEdit *editor() const noexcept { return m_editor; }

  protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

  private:
    Platform &m_platform;
    QPlainTextEdit *m_editor = nullptr;
};

} // namespace vexlo
