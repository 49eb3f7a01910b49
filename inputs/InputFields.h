// The find and replace fields of the input notebook and the buttons around them, handed by the
// notebook that builds them to the windows that wire them.
#pragma once

class QLineEdit;
class QPlainTextEdit;
class QTabWidget;
class QToolButton;

namespace vexlo {

/// The buttons above one find or replace field, in their order on screen.
struct FieldButtons {
    QToolButton *clear = nullptr;
    QToolButton *copy = nullptr;
    QToolButton *paste = nullptr;
    QToolButton *load = nullptr;
    QToolButton *clipboard = nullptr;
    QToolButton *history = nullptr;
    QToolButton *enlarge = nullptr; // the multi-line fields only
};

/// The "Real time" page's strip (Panel7): its buttons act on the "Text" page.
struct TextStripButtons {
    QToolButton *load = nullptr;      // SpeedButton42
    QToolButton *copy = nullptr;      // SpeedButton43
    QToolButton *paste = nullptr;     // SpeedButton44
    QToolButton *clear = nullptr;     // SpeedButton45
    QToolButton *clipboard = nullptr; // SpeedButton46
    QToolButton *notes = nullptr;     // SpeedButton47
};

/// Every field of the three input pages (TabbedNotebook1) and the buttons beside them.
struct InputFields {
    QTabWidget *notebook = nullptr;

    QLineEdit *oneLineFind = nullptr;    // Edit1
    QLineEdit *oneLineReplace = nullptr; // Edit2
    FieldButtons oneLineFindButtons, oneLineReplaceButtons;

    QPlainTextEdit *multiLineFind = nullptr;    // Memo1
    QPlainTextEdit *multiLineReplace = nullptr; // Memo2
    FieldButtons multiLineFindButtons, multiLineReplaceButtons;

    QLineEdit *realTimeFindLine = nullptr;                // Edit3
    QLineEdit *realTimeReplacementLine = nullptr;         // Edit4
    QPlainTextEdit *realTimeFindMemo = nullptr;           // Memo4
    QPlainTextEdit *realTimeReplacementMemo = nullptr;    // Memo5
    QToolButton *realTimeFindMenuButton = nullptr;        // SpeedButton48
    QToolButton *realTimeReplacementMenuButton = nullptr; // SpeedButton49
    /// Scratch box of the paste action of the "Find" strings menu; never shown (TempMemo1).
    QPlainTextEdit *pasteScratch = nullptr;
    TextStripButtons textStrip;
};

} // namespace vexlo
