#include "app/RunController.h"

#include "widgets/Platform.h"

#include <QCoreApplication>
#include <QWidget>

namespace vexlo {

namespace {

constexpr qint64 EventInterval = 30; // milliseconds between two passes over pending events

class WindowRunObserver : public RunObserver {
  public:
    WindowRunObserver(Platform &platform, QWidget *window) : m_platform(platform), m_window(window) {}

    void message(const std::string &text) override { m_platform.message(m_window, FromBytes(text)); }

    bool keepGoing() override
    {
        // Once per directory entry: keep the window alive and let "Stop" in, without
        // letting event processing dominate a scan of many thousands of entries.
        const qint64 now = m_platform.tickCount();
        if (m_processedOnce && now - m_lastEvents < EventInterval)
            return true;
        m_processedOnce = true;
        m_lastEvents = now;
        QCoreApplication::processEvents();
        return true; // "Stop" takes effect at the file loop
    }

    void error(const std::string &, const Error &error) override
    {
        m_platform.message(m_window, FromBytes(error.what()));
    }

  private:
    Platform &m_platform;
    QWidget *m_window;
    bool m_processedOnce = false;
    qint64 m_lastEvents = 0;
};

/// Clears the in-progress mark however the run ends.
class RunningMark {
  public:
    explicit RunningMark(bool &running) : m_running(running) { m_running = true; }
    ~RunningMark() { m_running = false; }
    RunningMark(const RunningMark &) = delete;
    RunningMark &operator=(const RunningMark &) = delete;

  private:
    bool &m_running;
};

} // namespace

RunController::RunController(Platform &platform, QWidget *window)
    : QObject(window), m_platform(platform), m_window(window)
{
}

void RunController::start(const RunRequest &request)
{
    if (m_running)
        return; // a start chosen while the directory pass lets events in
    RunningMark mark(m_running);
    WindowRunObserver observer(m_platform, m_window);
    try {
        m_lastResult = RunReplace(request, m_platform.programFolder(), m_flag, observer, m_extensions);
    } catch (const Error &error) {
        m_lastResult = RunResult{};
        m_lastResult.failed = true;
        if (error.kind() == ErrorKind::Conversion) {
            emit finished();
            throw; // a bad history counter: "mistake!" through the program-wide handler
        }
        // Anything else (a history file or counter that cannot be written) ended the run:
        // say so, rather than leave the user believing the files were processed.
        m_platform.message(m_window, FromBytes(error.what()));
    }
    emit finished();
}

void RunController::stop()
{
    m_flag.set("0");
}

} // namespace vexlo
