// The main window's side of the office engine: hands the "Text" page's text to a Word branch
// and shows the result there.
#pragma once

#include "run/BuiltInWord.h"
#include "run/RunDriver.h"

#include <QObject>

class QPlainTextEdit;
class QWidget;

namespace vexlo {

class Platform;

/// The run driver's extension for the three Word branches, owned by the main window.
class OfficeEngineHook : public QObject, public RunExtensions {
    Q_OBJECT

  public:
    /// `window` owns the messages; `text` is the "Text" page's box (RichEdit1).
    OfficeEngineHook(Platform &platform, QWidget *window, QPlainTextEdit *text, const RunFlag &flag);

    void run(Branch branch, const RunRequest &request, const std::vector<std::string> &paths) override;

  private:
    Platform &m_platform;
    QWidget *m_window;
    QPlainTextEdit *m_text;
    const RunFlag &m_flag;
    word::BuiltInApplicationSource m_source;
};

} // namespace vexlo
