// The input notebook of the main window: "One Line", "Multi Line" and "Real time".
#pragma once

#include <QTabWidget>

class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;
class QWidget;

namespace vexlo {

/// TabbedNotebook1. Owns the find and replace fields and the buttons around them; the
/// buttons that open other windows are handed out for the main window to wire.
class InputNotebook : public QTabWidget {
    Q_OBJECT

  public:
    enum Page { OneLinePage = 0, MultiLinePage = 1, RealTimePage = 2 };

    explicit InputNotebook(QWidget *parent = nullptr);

    QLineEdit *edit1() const noexcept { return m_edit1; }
    QLineEdit *edit2() const noexcept { return m_edit2; }
    QPlainTextEdit *memo1() const noexcept { return m_memo1; }
    QPlainTextEdit *memo2() const noexcept { return m_memo2; }
    QLineEdit *edit3() const noexcept { return m_edit3; }
    QLineEdit *edit4() const noexcept { return m_edit4; }
    QPlainTextEdit *memo4() const noexcept { return m_memo4; }
    QPlainTextEdit *memo5() const noexcept { return m_memo5; }
    QPlainTextEdit *tempMemo1() const noexcept { return m_tempMemo1; }
    /// The "What to find" box of the "One Line" page: the width every input field follows.
    QGroupBox *oneLineFindBox() const noexcept { return m_oneLineFindBox; }

    /// The "Real time" strip's text buttons (they act on the "Text" page of the other notebook).
    QToolButton *copyTextButton() const noexcept { return m_copyText; }
    QToolButton *pasteTextButton() const noexcept { return m_pasteText; }
    QToolButton *clearTextButton() const noexcept { return m_clearText; }

  private:
    QWidget *buildOneLinePage();
    QWidget *buildMultiLinePage();
    QWidget *buildRealTimePage();

    QGroupBox *m_oneLineFindBox = nullptr;
    QLineEdit *m_edit1 = nullptr;
    QLineEdit *m_edit2 = nullptr;
    QPlainTextEdit *m_memo1 = nullptr;
    QPlainTextEdit *m_memo2 = nullptr;
    QLineEdit *m_edit3 = nullptr;
    QLineEdit *m_edit4 = nullptr;
    QPlainTextEdit *m_memo4 = nullptr;
    QPlainTextEdit *m_memo5 = nullptr;
    QPlainTextEdit *m_tempMemo1 = nullptr;
    QToolButton *m_copyText = nullptr;
    QToolButton *m_pasteText = nullptr;
    QToolButton *m_clearText = nullptr;
};

/// A multi-line input field: no word wrap, both scroll bars.
QPlainTextEdit *MakeMemo(QWidget *parent, const char *objectName);

} // namespace vexlo
