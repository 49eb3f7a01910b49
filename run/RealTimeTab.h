// The "Real time" page's text tools and its pass, which works on the "Text" page, not on files.
#pragma once

#include "inputs/InputFields.h"
#include "run/RunDriver.h"

#include <QObject>

class QDialog;
class QPlainTextEdit;
class QTabWidget;
class QWidget;

namespace vexlo {

class Platform;

/// Runs the own engine's real-time branch on RichEdit1 and wires the Panel7 strip (load,
/// copy, paste, clear, "Clipboard", "Notes") and the text box's context menu PopupMenu1.
/// Branches it does not carry out go on to `next` (the office engine's, when there is one).
class RealTimeTab : public QObject, public RunExtensions {
    Q_OBJECT

  public:
    /// `fields` are the input notebook's (Panel7 among them); `text` is RichEdit1, on the
    /// "Text" page of `targetNotebook`.
    RealTimeTab(Platform &platform, const InputFields &fields, QTabWidget *targetNotebook,
                QPlainTextEdit *text);

    void setNext(RunExtensions *next) noexcept { m_next = next; }
    void setWindows(QDialog *clipboard, QWidget *notes)
    {
        m_clipboard = clipboard;
        m_notes = notes;
    }

    void run(Branch branch, const RunRequest &request, const std::vector<std::string> &paths) override;

    /// Applies the replacement chosen by the four inputs to the text; any combination that
    /// chooses none leaves it as it is.
    void pass(const RealTimeInputs &inputs, const TextEngineOptions &options);

  private:
    void loadText();
    void showTextPage();

    Platform &m_platform;
    QTabWidget *m_inputNotebook;
    QTabWidget *m_targetNotebook;
    QPlainTextEdit *m_text; // RichEdit1
    QDialog *m_clipboard = nullptr;
    QWidget *m_notes = nullptr;
    RunExtensions *m_next = nullptr;
};

} // namespace vexlo
