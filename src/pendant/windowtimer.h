#pragma once

#include <QObject>
#include <QTimer>

namespace tarvisk {

// A window timer as the pendant windows use them: it ticks while it is enabled and its
// interval is above 0; setting the interval or enabling it again restarts the count.
class WindowTimer : public QObject
{
    Q_OBJECT
public:
    explicit WindowTimer(QObject *parent = nullptr, int interval = 0, bool enabled = false);

    int interval() const { return m_interval; }
    void setInterval(int ms);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    bool isRunning() const { return m_timer.isActive(); }
    // Milliseconds to the next tick, -1 when not running.
    int remainingTime() const { return m_timer.remainingTime(); }

signals:
    void Timer();

private:
    void update(bool restart);

    QTimer m_timer;
    int m_interval;
    bool m_enabled;
};

} // namespace tarvisk
