#include "pendant/connectionstate.h"

namespace tarvisk {

ConnectionState::ConnectionState(QObject *parent)
    : QObject(parent)
{}

void ConnectionState::set(int value)
{
    if (value < Disconnect || value > TPError || value == m_value)
        return;
    m_value = Value(value);
    emit changed(m_value);
}

QString ConnectionState::nameOf(int value)
{
    switch (value) {
    case Disconnect:
        return QStringLiteral("DISCONNECT");
    case Connect:
        return QStringLiteral("CONNECT");
    case TPLess:
        return QStringLiteral("TPLESS");
    case TPError:
        return QStringLiteral("TPERROR");
    default:
        return QString();
    }
}

} // namespace tarvisk
