// The buttons and menus around the find and replace fields of the main window.
#pragma once

#include "inputs/HistoryStore.h"
#include "inputs/InputFields.h"

#include <QObject>

#include <array>
#include <span>

class QDialog;
class QMenu;
class QToolButton;

namespace vexlo {

class EditWindow;
class Platform;

/// Wires the input notebook (TabbedNotebook1): clear, copy, paste and load of every field,
/// the clipboard, history and "Edit" openers, the fields' context menus, the "Real time"
/// string menus PopupMenu3/PopupMenu4 and the special-code menus PopupMenu14/PopupMenu15.
/// Every action changes only the fields, the clipboard and the remembered dialog folders.
class InputHelpers : public QObject {
    Q_OBJECT

  public:
    /// `fields` are the notebook's fields and buttons; `specialFind` and `specialReplace` are
    /// SpeedButton37 and SpeedButton50 of the office engine's options.
    InputHelpers(Platform &platform, const InputFields &fields, QToolButton *specialFind,
                 QToolButton *specialReplace);

    struct OpenedWindows {
        QDialog *clipboard = nullptr;       // TForm5
        std::array<QDialog *, 4> history{}; // TForm6..TForm9, indexed by HistoryKind
        EditWindow *edit = nullptr;         // TForm11
    };
    void setWindows(const OpenedWindows &windows) { m_windows = windows; }

    QMenu *findStringsMenu() const noexcept { return m_popupMenu3; }
    QMenu *replaceStringsMenu() const noexcept { return m_popupMenu4; }
    QMenu *specialFindMenu() const noexcept { return m_popupMenu14; }
    QMenu *specialReplaceMenu() const noexcept { return m_popupMenu15; }

  private:
    template <class Action> void onClick(QToolButton *button, Action action);
    void wireOneLinePage();
    void wireMultiLinePage();
    void wireRealTimePage();
    void buildSpecialMenus(QToolButton *specialFind, QToolButton *specialReplace);

    void showClipboard();
    void showHistory(HistoryKind kind);
    void enlarge(int page);
    void pasteFindStrings();
    void copyFindStrings();
    void appendSpecialCode(bool find, const char *code);
    void popUp(QMenu *menu);

    Platform &m_platform;
    const InputFields m_fields;
    QTabWidget *m_notebook;
    QMenu *m_popupMenu3 = nullptr;
    QMenu *m_popupMenu4 = nullptr;
    QMenu *m_popupMenu14 = nullptr;
    QMenu *m_popupMenu15 = nullptr;
    OpenedWindows m_windows;
};

} // namespace vexlo
