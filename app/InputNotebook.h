// The input notebook of the main window: "One Line", "Multi Line" and "Real time".
#pragma once

#include "inputs/InputFields.h"

#include <QTabWidget>

class QGroupBox;
class QPlainTextEdit;
class QWidget;

namespace vexlo {

/// TabbedNotebook1. Owns the find and replace fields and the buttons around them; the
/// buttons that open other windows are handed out for the main window to wire.
class InputNotebook : public QTabWidget {
    Q_OBJECT

  public:
    enum Page { OneLinePage = 0, MultiLinePage = 1, RealTimePage = 2 };

    explicit InputNotebook(QWidget *parent = nullptr);

    /// The fields and the buttons around them, for the windows that wire them.
    const InputFields &fields() const noexcept { return m_fields; }
    /// The "What to find" box of the "One Line" page: the width every input field follows.
    QGroupBox *oneLineFindBox() const noexcept { return m_oneLineFindBox; }

  private:
    QWidget *buildOneLinePage();
    QWidget *buildMultiLinePage();
    QWidget *buildRealTimePage();

    QGroupBox *m_oneLineFindBox = nullptr;
    InputFields m_fields;
};

/// A multi-line input field: no word wrap, both scroll bars.
QPlainTextEdit *MakeMemo(QWidget *parent, const char *objectName);

} // namespace vexlo
