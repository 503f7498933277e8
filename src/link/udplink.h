#pragma once

#include "link/linkhealth.h"
#include "link/linkwire.h"
#include "link/pendantlink.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QTimer>
#include <QUdpSocket>

#include <cstdint>

namespace tarvisk {

// Socket-level failures (binding the own port, sending a datagram). The number follows the
// convention for errors raised by an outside component; the description tells what failed.
inline constexpr int32_t ErrLinkNetwork = int32_t(0x80040201u);

// Where the link sends and where it listens.
struct UdpLinkEndpoints
{
    QHostAddress controllerAddress;
    quint16 controllerPort = 0;
    QHostAddress ownAddress; // QHostAddress::AnyIPv4 / AnyIPv6 for "255.255.255.255"
    quint16 ownPort = 0;     // 0 takes any free port

    bool operator==(const UdpLinkEndpoints &) const = default;
};

// Reads "TPClient, UDP=<controller address>:<controller port>:<own address>:<own port>". Items are
// separated by commas and compared without regard to case; an IPv6 address is written in brackets.
// Throws ProvError 5 with a description naming the fault.
UdpLinkEndpoints parseUdpLinkOptions(const QString &options);

// What the link did with its datagrams since it was created.
struct UdpLinkCounters
{
    quint64 datagramsSent = 0;     // every datagram sent, heartbeats included
    quint64 heartbeatsSent = 0;    // periodic repeats of the last key state
    quint64 sendFailures = 0;      // datagrams the socket refused
    quint64 messagesReceived = 0;  // controller messages raised as OnMessage
    quint64 droppedForeign = 0;    // from another address or port than the controller's
    quint64 droppedOversized = 0;  // longer than linkwire::MaxDatagramSize
    quint64 droppedMalformed = 0;  // not a well-formed datagram of the protocol
    quint64 droppedTooDeep = 0;    // a value nested deeper than cbor::MaxNesting
    quint64 droppedUnexpected = 0; // well formed, but no controller message
    quint64 handlerExceptions = 0; // exceptions that escaped an OnMessage handler
    quint64 pingsSent = 0;         // pings to a controller not heard for a ping period
    quint64 pongsReceived = 0;     // the controller's answers to them
    quint64 bounces = 0;           // datagrams the network sent back as unreachable
};

// How the link finds out whether the controller answers (see docs/link-protocol.md). Taken at Open.
struct UdpLinkTiming
{
    // A ping goes out when the controller has not been heard for this long, and again after each
    // such period; also the period of the health check.
    int pingMs = 1000;
    // Not heard for this long: the controller counts as silent.
    int silentAfterMs = 3000;
};

// The pendant link over UDP. Lives on the user-interface thread; OnMessage is raised there while
// the socket's datagrams are read. Each controller message is raised once, in arrival order.
class UdpPendantLink : public IPendantLink
{
    Q_OBJECT
public:
    // While open, the last key state goes out again this often (see docs/link-protocol.md).
    static constexpr int HeartbeatPeriodMs = 100;

    explicit UdpPendantLink(QObject *parent = nullptr);
    // Closes the link as Close does when it is still open.
    ~UdpPendantLink() override;

    // Binds the own port and sends the hello. Throws 5 for malformed options or a link already open,
    // ErrLinkNetwork when the port cannot be bound or the hello cannot be sent.
    void Open(const QString &name, const QString &options) override;
    // A handle whose setValue sends a variable write and whose Value gives the value last written
    // through it (Empty before). The options must be empty. Throws 91 when the link is not open.
    std::shared_ptr<ILinkVariable> GetVariable(const QString &name, const QString &options) override;
    // Sends the command with its parameter and returns Empty. "SetKeyState" takes the 8-byte key
    // bitmap (a byte array, or an array of 8 byte values) and becomes the state the heartbeat repeats.
    // Throws 91 when not open, 5 or 13 for a parameter that cannot be sent, ErrLinkNetwork when the
    // socket refuses it (the heartbeat then keeps trying the key state).
    Variant Execute(const QString &command, const Variant &parameter) override;
    // Stops the heartbeat, sends the close datagram and releases the socket; a closed link is left
    // as it is. Never throws: a close datagram the socket refuses is only counted.
    void Close() override;

    const LinkHealth *health() const override { return &m_health; }

    bool isOpen() const { return m_socket != nullptr; }
    // The identity of the current opening, sent in every datagram; drawn anew at each Open.
    quint32 sessionId() const { return m_session; }
    void setTiming(const UdpLinkTiming &timing) { m_timing = timing; }
    const UdpLinkEndpoints &endpoints() const { return m_endpoints; }
    // The port bound by Open, useful when the own port was given as 0; 0 when not open.
    quint16 localPort() const;
    const UdpLinkCounters &counters() const { return m_counters; }

    // Used by the message and variable handles.
    void sendReply(int32_t number, std::optional<quint32> replyTo, const Variant &value);
    void writeVariable(const QString &name, const Variant &value);

private:
    void requireOpen(const char *operation) const;
    // Stamps the next sequence number and sends; returns false (counted) when the socket refuses.
    bool send(linkwire::Datagram datagram);
    void sendOrThrow(linkwire::Datagram datagram, const char *what);
    void sendHeartbeat();
    void checkHealth();
    void collectBounces();
    void noteHeard();
    void readPending();
    void handleDatagram(const QByteArray &bytes, const QHostAddress &from, quint16 port);
    bool fromController(const QHostAddress &from, quint16 port) const;

    UdpLinkEndpoints m_endpoints;
    QPointer<QUdpSocket> m_socket;
    QTimer m_heartbeat;
    QTimer m_healthTimer;
    UdpLinkTiming m_timing;
    LinkHealth m_health;
    QElapsedTimer m_clock;     // since Open
    qint64 m_lastHeardMs = -1; // on m_clock; -1 before the controller is heard
    qint64 m_lastBounceMs = -1;
    bool m_lastBounceHost = false; // the last bounce said host or network unreachable
    quint32 m_session = 0;
    QByteArray m_keyState; // empty until the first SetKeyState of this opening
    quint32 m_nextSequence = 0;
    bool m_anyControllerAddress = false;
    UdpLinkCounters m_counters;
};

} // namespace tarvisk
