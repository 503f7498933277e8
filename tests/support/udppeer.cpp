#include "support/udppeer.h"

#include <QNetworkDatagram>
#include <QTest>

namespace tarvisk::testing {

UdpPeer::UdpPeer(const QHostAddress &address, quint16 port)
{
    m_bound = m_socket.bind(address, port, QAbstractSocket::DontShareAddress);
    connect(&m_socket, &QUdpSocket::readyRead, this, &UdpPeer::collect);
}

QString UdpPeer::linkOptions() const
{
    return QStringLiteral("TPClient, UDP=127.0.0.1:%1:127.0.0.1:0").arg(port());
}

void UdpPeer::sendRaw(const QByteArray &bytes, quint16 toPort)
{
    QCOMPARE(m_socket.writeDatagram(bytes, QHostAddress::LocalHost, toPort), qint64(bytes.size()));
}

void UdpPeer::send(const linkwire::Datagram &datagram, quint16 toPort)
{
    sendRaw(linkwire::encode(datagram), toPort);
}

void UdpPeer::sendMessage(int32_t number, const Variant &value, quint16 toPort)
{
    linkwire::Datagram d;
    d.kind = linkwire::Kind::Message;
    d.number = number;
    d.value = value;
    send(d, toPort);
}

void UdpPeer::collect()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram d = m_socket.receiveDatagram();
        received.append({d.data(), linkwire::decode(d.data()), quint16(d.senderPort())});
        const linkwire::Decoded &decoded = received.last().decoded;
        if (answersPings && decoded.status == linkwire::DecodeStatus::Ok &&
            decoded.datagram.kind == linkwire::Kind::Ping) {
            linkwire::Datagram pong;
            pong.kind = linkwire::Kind::Pong;
            pong.replyTo = decoded.datagram.sequence;
            m_socket.writeDatagram(linkwire::encode(pong), d.senderAddress(), quint16(d.senderPort()));
        }
    }
}

QList<linkwire::Datagram> UdpPeer::datagrams()
{
    collect();
    QList<linkwire::Datagram> out;
    for (const Received &r : received) {
        if (r.decoded.status == linkwire::DecodeStatus::Ok)
            out.append(r.decoded.datagram);
    }
    return out;
}

QList<linkwire::Datagram> UdpPeer::ofKind(linkwire::Kind kind)
{
    QList<linkwire::Datagram> out;
    for (const linkwire::Datagram &d : datagrams()) {
        if (d.kind == kind)
            out.append(d);
    }
    return out;
}

QList<linkwire::Datagram> UdpPeer::heartbeats()
{
    QList<linkwire::Datagram> out;
    for (const linkwire::Datagram &d : ofKind(linkwire::Kind::Exec)) {
        if (d.heartbeat)
            out.append(d);
    }
    return out;
}

QList<QByteArray> UdpPeer::keyStates(bool withHeartbeats)
{
    QList<QByteArray> out;
    for (const linkwire::Datagram &d : ofKind(linkwire::Kind::Exec)) {
        if (d.command == QLatin1String("SetKeyState") && (withHeartbeats || !d.heartbeat) && d.value.bytes())
            out << *d.value.bytes();
    }
    return out;
}

} // namespace tarvisk::testing
