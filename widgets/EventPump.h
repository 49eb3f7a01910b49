// The one throttle on letting pending events in during a long loop of a window: often enough
// to keep the window alive and let "Stop" or "Close" in, rarely enough that the window's work
// does not dominate a loop over many thousands of files.
#pragma once

#include <QEventLoop>

namespace vexlo {

class Platform;

class EventPump {
  public:
    /// Milliseconds between two passes over pending events.
    static constexpr qint64 DefaultInterval = 30;

    enum class First {
        Waits,  // the first pass comes one interval after the pump was made (or restarted)
        AtOnce, // the first call passes at once
    };

    /// The clock is the platform's tick count, so tests decide when a pass is due.
    explicit EventPump(Platform &platform, qint64 interval = DefaultInterval, First first = First::Waits,
                       QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);

    /// True when a pass is due; the interval then starts again. The caller refreshes what it
    /// shows and calls process().
    bool due();
    /// Processes the pending events now.
    void process();
    /// due() and, when it was, process(): true when events were processed.
    bool pump();
    /// The interval starts now (the first pass waits a whole interval again).
    void restart();
    /// The clock's reading when due() last said yes (or when the interval last started).
    qint64 lastPassAt() const noexcept { return m_last; }

  private:
    Platform &m_platform;
    qint64 m_interval;
    QEventLoop::ProcessEventsFlags m_flags;
    qint64 m_last = 0;
    bool m_passedOnce;
};

} // namespace vexlo
