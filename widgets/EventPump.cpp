#include "widgets/EventPump.h"

#include "widgets/Platform.h"

#include <QCoreApplication>

namespace vexlo {

EventPump::EventPump(Platform &platform, qint64 interval, First first, QEventLoop::ProcessEventsFlags flags)
    : m_platform(platform), m_interval(interval), m_flags(flags), m_passedOnce(first == First::Waits)
{
    if (m_passedOnce)
        m_last = m_platform.tickCount();
}

bool EventPump::due()
{
    const qint64 now = m_platform.tickCount();
    if (m_passedOnce && now - m_last < m_interval)
        return false;
    m_passedOnce = true;
    m_last = now;
    return true;
}

void EventPump::process()
{
    QCoreApplication::processEvents(m_flags);
}

bool EventPump::pump()
{
    if (!due())
        return false;
    process();
    return true;
}

void EventPump::restart()
{
    m_passedOnce = true;
    m_last = m_platform.tickCount();
}

} // namespace vexlo
