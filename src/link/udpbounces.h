#pragma once

#include <QHostAddress>
#include <QList>

class QUdpSocket;

namespace tarvisk {

// A datagram the network sent back: an ICMP "unreachable" for something this socket sent.
struct UdpBounce
{
    QHostAddress to; // where the bounced datagram was going
    quint16 port = 0;
    bool portUnreachable = false; // nothing listens on that port; else the host or network is out of reach
};

// The reports of bounced datagrams on an unconnected UDP socket. An unconnected socket hears of
// none by default; these turn the reports on and collect them. Platform code: on Linux the
// socket's error queue (IP_RECVERR, IPV6_RECVERR); elsewhere nothing is ever reported.
namespace udpbounces {

// Turns the reports on for a bound socket; false where the platform offers none.
bool enable(QUdpSocket &socket);

// The reports that came in since the last call, oldest first. Also clears the error the socket
// keeps for the last report, so that neither the next send fails on it nor a read stops on it.
QList<UdpBounce> take(QUdpSocket &socket);

} // namespace udpbounces

} // namespace tarvisk
