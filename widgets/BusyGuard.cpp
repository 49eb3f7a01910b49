#include "widgets/BusyGuard.h"

#include <QCursor>
#include <QGuiApplication>

namespace vexlo {

BusyGuard::BusyGuard(bool &flag, Cursor cursor)
    : m_flag(flag), m_held(!flag), m_cursor(m_held && cursor == Cursor::Busy)
{
    if (!m_held)
        return;
    m_flag = true;
    if (m_cursor)
        QGuiApplication::setOverrideCursor(Qt::BusyCursor);
}

BusyGuard::~BusyGuard()
{
    release();
}

void BusyGuard::release() noexcept
{
    if (!m_held)
        return;
    if (m_cursor)
        QGuiApplication::restoreOverrideCursor();
    m_flag = false;
    m_held = false;
}

} // namespace vexlo
