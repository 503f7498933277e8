#include "pendant/windowtimer.h"

namespace tarvisk {

WindowTimer::WindowTimer(QObject *parent, int interval, bool enabled)
    : QObject(parent)
    , m_interval(interval)
    , m_enabled(enabled)
{
    connect(&m_timer, &QTimer::timeout, this, &WindowTimer::Timer);
    update(true);
}

void WindowTimer::setInterval(int ms)
{
    m_interval = ms;
    update(true);
}

void WindowTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    update(true);
}

void WindowTimer::update(bool restart)
{
    if (m_enabled && m_interval > 0) {
        if (restart || !m_timer.isActive())
            m_timer.start(m_interval);
    } else {
        m_timer.stop();
    }
}

} // namespace tarvisk
