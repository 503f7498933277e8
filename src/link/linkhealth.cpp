#include "link/linkhealth.h"

namespace tarvisk {

LinkHealth::LinkHealth(QObject *parent)
    : QObject(parent)
{}

QString LinkHealth::text() const
{
    switch (m_state) {
    case State::NoController:
        return QStringLiteral("no controller at %1").arg(m_controller);
    case State::Silent:
        return QStringLiteral("controller silent for %1 s").arg(m_silentSeconds);
    case State::Unknown:
    case State::Answering:
        break;
    }
    return {};
}

QString LinkHealth::toolTip() const
{
    switch (m_state) {
    case State::NoController:
        if (m_hostUnreachable)
            return QStringLiteral("No controller at %1: the network reports that host as out of reach. "
                                  "Check the controller's address and this machine's network.")
                .arg(m_controller);
        return QStringLiteral("No controller at %1: nothing listens on that port, so the key states "
                              "come back. Start the controller, or check its address and port.")
            .arg(m_controller);
    case State::Silent:
        return QStringLiteral("The controller at %1 has sent nothing for %2 s. It may have stopped, "
                              "a firewall may drop its answers, or it may not answer pings (protocol 1).")
            .arg(m_controller)
            .arg(m_silentSeconds);
    case State::Unknown:
    case State::Answering:
        break;
    }
    return {};
}

void LinkHealth::setController(const QString &endpoint)
{
    if (endpoint == m_controller)
        return;
    m_controller = endpoint;
    if (!text().isEmpty())
        emit changed();
}

void LinkHealth::setUnknown()
{
    set(State::Unknown, 0, false);
}

void LinkHealth::setAnswering()
{
    set(State::Answering, 0, false);
}

void LinkHealth::setNoController(bool hostUnreachable)
{
    set(State::NoController, 0, hostUnreachable);
}

void LinkHealth::setSilent(int seconds)
{
    set(State::Silent, seconds, false);
}

void LinkHealth::set(State state, int seconds, bool hostUnreachable)
{
    if (state == m_state && seconds == m_silentSeconds && hostUnreachable == m_hostUnreachable)
        return;
    m_state = state;
    m_silentSeconds = seconds;
    m_hostUnreachable = hostUnreachable;
    emit changed();
}

} // namespace tarvisk
