// The window side of a replace run: starting, stopping, and what the user sees meanwhile.
#pragma once

#include "run/RunDriver.h"

#include <QObject>

class QWidget;

namespace vexlo {

class Platform;

/// Owns the RunFlag of the main window. A run is synchronous; during the directory pass it
/// processes pending events (at most every 30 ms) so that "Stop" can be chosen.
class RunController : public QObject {
    Q_OBJECT

  public:
    RunController(Platform &platform, QWidget *window);

    /// Carries out one run of `request`. Ignored while a run is in progress (a start chosen
    /// during the directory pass). A bad history counter propagates as Error{Conversion};
    /// any other error that ends the run is shown with its message.
    void start(const RunRequest &request);
    /// "Stop": the file loop of the run in progress skips the remaining files.
    void stop();

    bool isRunning() const noexcept { return m_running; }
    const RunFlag &flag() const noexcept { return m_flag; }
    /// The engines and tabs built elsewhere ("Real time", the office engine); may be null.
    void setExtensions(RunExtensions *extensions) noexcept { m_extensions = extensions; }
    RunExtensions *extensions() const noexcept { return m_extensions; }
    const RunResult &lastResult() const noexcept { return m_lastResult; }

  signals:
    /// Emitted after every run that was carried out, also one that ended with an error.
    void finished();

  private:
    Platform &m_platform;
    QWidget *m_window;
    RunFlag m_flag;
    RunExtensions *m_extensions = nullptr;
    RunResult m_lastResult;
    bool m_running = false;
};

} // namespace vexlo
