#pragma once

#include "link/linkwire.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QUdpSocket>

namespace tarvisk::testing {

// The far end of a pendant link on a UDP socket: a robot controller for a pendant under test,
// or a pendant for a controller under test. Records every datagram it receives, decoded.
class UdpPeer : public QObject
{
public:
    struct Received
    {
        QByteArray bytes;
        linkwire::Decoded decoded;
        quint16 fromPort = 0;
    };

    // Bound at once, without sharing the port; port 0 takes a free one.
    explicit UdpPeer(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 0);

    bool bound() const { return m_bound; }
    quint16 port() const { return m_socket.localPort(); }
    // The option string of a link on 127.0.0.1 that talks to this peer from a free port.
    QString linkOptions() const;

    // Sends to 127.0.0.1 at `toPort`; a short write fails the running test.
    void sendRaw(const QByteArray &bytes, quint16 toPort);
    void send(const linkwire::Datagram &datagram, quint16 toPort);
    // A controller's message to the pendant link at `toPort`.
    void sendMessage(int32_t number, const Variant &value, quint16 toPort);

    // Takes what has arrived; also done whenever the event loop runs.
    void collect();

    // The datagrams that decoded, in arrival order, of any kind or of one; what has arrived by
    // now is taken first.
    QList<linkwire::Datagram> datagrams();
    QList<linkwire::Datagram> ofKind(linkwire::Kind kind);
    QList<linkwire::Datagram> heartbeats();
    // The key states received ("SetKeyState"), the heartbeats' repeats only when asked for.
    QList<QByteArray> keyStates(bool withHeartbeats = false);

    QUdpSocket &socket() { return m_socket; }

    QList<Received> received;
    // As a controller of protocol 2: every ping that arrives is answered with a pong.
    bool answersPings = false;

private:
    QUdpSocket m_socket;
    bool m_bound = false;
};

} // namespace tarvisk::testing
