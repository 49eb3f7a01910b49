// The "Edit" window: the two multi-line strings in a large editor.
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QTabWidget;
class QToolButton;

namespace vexlo {

class Platform;

/// TForm11, opened maximized and modal by the "Enlarge" buttons. Both memos are refilled
/// from the main window on each opening; only the memo of the page shown goes back, and only
/// through the close button (SpeedButton1), never through the frame.
class EditWindow : public QDialog {
    Q_OBJECT

  public:
    enum Page { FindPage = 0, ReplacePage = 1 };

    /// `findSource`/`replaceSource`: the main window's Memo1 and Memo2. The clipboard and
    /// history windows are opened modally by the buttons of the same names.
    EditWindow(Platform &platform, QPlainTextEdit *findSource, QPlainTextEdit *replaceSource,
               QWidget *parent = nullptr);
    void setWindows(QDialog *clipboard, QDialog *findHistory, QDialog *replaceHistory);

    /// Fills both memos from the main window, shows `page` and runs the window modally.
    void open(Page page);

    Page page() const;
    QPlainTextEdit *memo(Page page) const { return page == FindPage ? m_findEditor : m_replaceEditor; }

  private:
    void closeAndReturn();
    void load();
    QPlainTextEdit *shownMemo() const { return memo(page()); }

    Platform &m_platform;
    QPlainTextEdit *m_findSource;
    QPlainTextEdit *m_replaceSource;
    QTabWidget *m_notebook = nullptr;
    QPlainTextEdit *m_findEditor = nullptr;
    QPlainTextEdit *m_replaceEditor = nullptr;
    QDialog *m_clipboard = nullptr;
    QDialog *m_findHistory = nullptr;
    QDialog *m_replaceHistory = nullptr;
};

} // namespace vexlo
