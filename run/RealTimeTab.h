// The "Real time" page's text tools and its pass, which works on the "Text" page, not on files.
#pragma once

#include "inputs/InputFields.h"

#include <QObject>

class QDialog;
class QPlainTextEdit;
class QTabWidget;
class QWidget;

namespace vexlo {

class Platform;

/// Wires the Panel7 strip (load, copy, paste, clear, "Clipboard", "Notes") and the text box's
/// context menu PopupMenu1; the run driver carries out the "Real time" pass itself.
class RealTimeTab : public QObject {
    Q_OBJECT

  public:
    /// `fields` are the input notebook's (Panel7 among them); `text` is RichEdit1, on the
    /// "Text" page of `targetNotebook`.
    RealTimeTab(Platform &platform, const InputFields &fields, QTabWidget *targetNotebook,
                QPlainTextEdit *text);

    void setWindows(QDialog *clipboard, QWidget *notes)
    {
        m_clipboard = clipboard;
        m_notes = notes;
    }

  private:
    void loadText();
    void showTextPage();

    Platform &m_platform;
    QTabWidget *m_inputNotebook;
    QTabWidget *m_targetNotebook;
    QPlainTextEdit *m_text; // RichEdit1
    QDialog *m_clipboard = nullptr;
    QWidget *m_notes = nullptr;
};

} // namespace vexlo
