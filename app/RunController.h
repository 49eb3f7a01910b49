// The window side of a replace run: starting, stopping, and what the user sees meanwhile.
#pragma once

#include "run/RunDriver.h"
#include "widgets/FolderWatchers.h"

#include <QObject>

#include <memory>

class QPlainTextEdit;
class QWidget;

namespace vexlo {

class Platform;

/// Owns the RunFlag of the main window. A run is carried out on the window's thread; while
/// it scans and rewrites, pending events are processed at most every 30 ms by the Platform
/// clock, so the window repaints and takes "Stop". Meanwhile the cursor shows that work is
/// going on, the window's status bar shows the progress and the folder trees handed to
/// folderWatchers() do not watch their folders; all three are undone at the end.
class RunController : public QObject {
    Q_OBJECT

  public:
    RunController(Platform &platform, QWidget *window);
    ~RunController() override;

    /// Carries out one run of `request`. Ignored while a run is in progress. A bad history
    /// counter propagates as Error{Conversion}; any other error that ends the run is shown
    /// after it, with what became of the files.
    void start(const RunRequest &request);
    /// "Stop": the run in progress rewrites no file after the one being committed.
    void stop();

    bool isRunning() const noexcept { return m_running; }
    const RunFlag &flag() const noexcept { return m_flag; }
    /// The "Text" page's box, which a "Real time" run changes (one step the user can undo).
    void setTextBox(QPlainTextEdit *text) noexcept { m_text = text; }
    const RunResult &lastResult() const noexcept { return m_lastResult; }
    /// The folder trees of the windows, which stop watching their folders while a run lasts.
    FolderWatchers &folderWatchers() noexcept { return m_watchers; }

  signals:
    /// A run begins: the controls that change its inputs or lists should be disabled.
    void started();
    /// Emitted after every run that was carried out, also one that ended with an error.
    void finished();

  private:
    Platform &m_platform;
    QWidget *m_window;
    RunFlag m_flag;
    QPlainTextEdit *m_text = nullptr;
    // The office engine's applications; "^c" inserts the clipboard's text.
    std::unique_ptr<word::ApplicationSource> m_office;
    RunResult m_lastResult;
    FolderWatchers m_watchers;
    bool m_running = false;
};

/// The message shown when an error ended a run at a file: the error's own text (path and
/// reason), then that the run stopped there and what became of the files around it.
QString StoppedRunMessage(const QString &error, std::size_t rewrittenBefore);

} // namespace vexlo
