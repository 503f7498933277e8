#include "link/udplink.h"

#include "link/cborvariant.h"
#include "link/udpbounces.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QNetworkProxy>
#include <QRandomGenerator>
#include <QUdpSocket>

namespace tarvisk {

namespace {

const QString AnyOwnAddress = QStringLiteral("255.255.255.255");

[[noreturn]] void badOptions(const QString &options, const QString &fault)
{
    raiseError(ErrInvalidArgument,
               QStringLiteral("Invalid pendant link options \"%1\": %2. Expected \"TPClient, UDP=<controller "
                              "address>:<controller port>:<own address>:<own port>\"")
                   .arg(options, fault));
}

// A fault in one part of the endpoint: the same description as any other fault of the
// options, and the part, value and reason for an opener that knows where the value came from.
[[noreturn]] void badPart(const QString &options, LinkOptionError::Part part, const QString &what, const QString &value,
                          const QString &reason, bool quote = true)
{
    QStringList fault{QStringLiteral("the ") + what};
    if (quote || !value.isEmpty())
        fault << (quote ? QStringLiteral("\"%1\"").arg(value) : value);
    fault << reason;
    throw LinkOptionError(QStringLiteral("Invalid pendant link options \"%1\": %2. Expected \"TPClient, "
                                         "UDP=<controller address>:<controller port>:<own address>:<own port>\"")
                              .arg(options, fault.join(u' ')),
                          part, value, reason);
}

// Splits at the colons that are not inside brackets, so that "[::1]:5010" stays in two parts.
QStringList splitEndpoint(const QString &text)
{
    QStringList parts;
    QString current;
    bool inBrackets = false;
    for (const QChar c : text) {
        if (c == u'[')
            inBrackets = true;
        else if (c == u']')
            inBrackets = false;
        if (c == u':' && !inBrackets) {
            parts << current.trimmed();
            current.clear();
        } else {
            current += c;
        }
    }
    parts << current.trimmed();
    return parts;
}

// Four groups of one to three ASCII digits, separated by dots.
bool isDottedQuad(const QString &text)
{
    const QStringList groups = text.split(u'.');
    if (groups.size() != 4)
        return false;
    for (const QString &g : groups) {
        if (g.isEmpty() || g.size() > 3)
            return false;
        for (const QChar c : g) {
            if (c < u'0' || c > u'9')
                return false;
        }
    }
    return true;
}

// An IPv4 address in dotted form, or an IPv6 address in brackets; nothing shorter, so that a port
// in the wrong place is never read as an address.
bool parseAddress(const QString &text, QHostAddress *out)
{
    if (text.size() > 2 && text.startsWith(u'[') && text.endsWith(u']')) {
        QHostAddress a;
        if (!a.setAddress(text.mid(1, text.size() - 2)) || a.protocol() != QAbstractSocket::IPv6Protocol)
            return false;
        *out = a;
        return true;
    }
    if (!isDottedQuad(text))
        return false;
    return out->setAddress(text) && out->protocol() == QAbstractSocket::IPv4Protocol;
}

void parsePort(const QString &options, LinkOptionError::Part part, const QString &what, const QString &text,
               quint16 *out)
{
    if (text.isEmpty())
        badPart(options, part, what, text, QStringLiteral("is missing"), false);
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            badPart(options, part, what, text, QStringLiteral("is no decimal number"));
    }
    QString digits = text;
    while (digits.size() > 1 && digits.startsWith(u'0'))
        digits.remove(0, 1);
    const uint value = digits.size() <= 5 ? digits.toUInt() : 65536u;
    if (value > 65535u)
        badPart(options, part, what, text, QStringLiteral("is outside 0 to 65535"), false);
    *out = quint16(value);
}

// The limited broadcast address, or the directed broadcast address of one of this machine's networks.
bool isBroadcastAddress(const QHostAddress &address)
{
    if (address.isBroadcast())
        return true;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &ni : interfaces) {
        const auto entries = ni.addressEntries();
        for (const QNetworkAddressEntry &entry : entries) {
            if (!entry.broadcast().isNull() && entry.broadcast().isEqual(address))
                return true;
        }
    }
    return false;
}

QByteArray keyStateBytes(const Variant &parameter)
{
    constexpr int Size = 8;
    if (const QByteArray *bytes = parameter.bytes()) {
        if (bytes->size() != Size)
            raiseError(ErrInvalidArgument,
                       QStringLiteral("The key state needs %1 bytes, not %2").arg(Size).arg(bytes->size()));
        return *bytes;
    }
    if (const VariantArray *items = parameter.arrayItems()) {
        if (items->size() != Size)
            raiseError(ErrInvalidArgument,
                       QStringLiteral("The key state needs %1 bytes, not %2").arg(Size).arg(items->size()));
        QByteArray out(Size, '\0');
        for (int i = 0; i < Size; ++i)
            out[i] = char((*items)[i].toByte());
        return out;
    }
    raiseError(ErrTypeMismatch, QStringLiteral("The key state must be an array of %1 bytes").arg(Size));
}

QString endpointText(const QHostAddress &address, quint16 port)
{
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        return QStringLiteral("[%1]:%2").arg(address.toString()).arg(port);
    return QStringLiteral("%1:%2").arg(address.toString()).arg(port);
}

class UdpLinkMessage final : public ILinkMessage
{
public:
    UdpLinkMessage(UdpPendantLink *link, const linkwire::Datagram &d)
        : m_link(link)
        , m_number(d.number)
        , m_value(d.value)
        , m_sequence(d.sequence)
    {}

    int32_t Number() const override { return m_number; }
    Variant Value() const override { return m_value; }
    void Reply(const Variant &value) override
    {
        if (!m_link)
            raiseError(ErrObjectNotSet, QStringLiteral("The pendant link of this message is gone"));
        m_link->sendReply(m_number, m_sequence, value);
    }

private:
    QPointer<UdpPendantLink> m_link;
    int32_t m_number;
    Variant m_value;
    std::optional<quint32> m_sequence;
};

class UdpLinkVariable final : public ILinkVariable
{
public:
    UdpLinkVariable(UdpPendantLink *link, QString name)
        : m_link(link)
        , m_name(std::move(name))
    {}

    Variant Value() const override { return m_value; }
    void setValue(const Variant &value) override
    {
        if (!m_link)
            raiseError(ErrObjectNotSet, QStringLiteral("The pendant link of the variable \"%1\" is gone").arg(m_name));
        m_link->writeVariable(m_name, value);
        m_value = value;
    }

private:
    QPointer<UdpPendantLink> m_link;
    QString m_name;
    Variant m_value;
};

} // namespace

UdpLinkEndpoints parseUdpLinkOptions(const QString &options)
{
    bool role = false;
    std::optional<QString> udp;
    const QStringList items = options.split(u',');
    for (const QString &rawItem : items) {
        const QString item = rawItem.trimmed();
        if (item.isEmpty())
            continue;
        const qsizetype eq = item.indexOf(u'=');
        if (eq < 0) {
            if (item.compare(u"TPClient", Qt::CaseInsensitive) != 0)
                badOptions(options, QStringLiteral("\"%1\" is no option of the pendant link").arg(item));
            role = true;
            continue;
        }
        const QString key = item.left(eq).trimmed();
        if (key.compare(u"UDP", Qt::CaseInsensitive) != 0)
            badOptions(options, QStringLiteral("\"%1\" is no option of the pendant link").arg(key));
        if (udp)
            badOptions(options, QStringLiteral("UDP is given twice"));
        udp = item.mid(eq + 1).trimmed();
    }
    if (!role)
        badOptions(options, QStringLiteral("the role TPClient is missing"));
    if (!udp)
        badOptions(options, QStringLiteral("the UDP addresses are missing"));

    const QStringList parts = splitEndpoint(*udp);
    if (parts.size() != 4)
        badOptions(options, QStringLiteral("UDP needs four parts separated by \":\", found %1").arg(parts.size()));

    using Part = LinkOptionError::Part;
    const QString controllerAddress = QStringLiteral("controller address");
    const QString ownAddress = QStringLiteral("own address");
    UdpLinkEndpoints ep;
    if (!parseAddress(parts[0], &ep.controllerAddress))
        badPart(options, Part::ControllerAddress, controllerAddress, parts[0], QStringLiteral("is no IP address"));
    if (ep.controllerAddress.isEqual(QHostAddress::AnyIPv4) || ep.controllerAddress.isEqual(QHostAddress::AnyIPv6))
        badPart(options, Part::ControllerAddress, controllerAddress, parts[0], QStringLiteral("names no host"), false);
    parsePort(options, Part::ControllerPort, QStringLiteral("controller port"), parts[1], &ep.controllerPort);
    if (ep.controllerPort == 0)
        badPart(options, Part::ControllerPort, QStringLiteral("controller port"), parts[1],
                QStringLiteral("cannot be sent to"), false);

    const bool v6 = ep.controllerAddress.protocol() == QAbstractSocket::IPv6Protocol;
    if (parts[2] == AnyOwnAddress) {
        ep.ownAddress = QHostAddress(v6 ? QHostAddress::AnyIPv6 : QHostAddress::AnyIPv4);
    } else {
        if (!parseAddress(parts[2], &ep.ownAddress))
            badPart(options, Part::OwnAddress, ownAddress, parts[2], QStringLiteral("is no IP address"));
        if (ep.ownAddress.protocol() != ep.controllerAddress.protocol())
            badPart(options, Part::OwnAddress, ownAddress, parts[2],
                    QStringLiteral("and the controller address %1 are of different IP versions").arg(parts[0]), false);
    }
    parsePort(options, Part::OwnPort, QStringLiteral("own port"), parts[3], &ep.ownPort);
    return ep;
}

UdpPendantLink::UdpPendantLink(QObject *parent)
    : IPendantLink(parent)
{
    m_heartbeat.setInterval(HeartbeatPeriodMs);
    m_heartbeat.setTimerType(Qt::PreciseTimer);
    connect(&m_heartbeat, &QTimer::timeout, this, &UdpPendantLink::sendHeartbeat);
    connect(&m_healthTimer, &QTimer::timeout, this, &UdpPendantLink::checkHealth);
}

UdpPendantLink::~UdpPendantLink()
{
    Close();
}

void UdpPendantLink::Open(const QString &name, const QString &options)
{
    if (isOpen())
        raiseError(ErrInvalidArgument, QStringLiteral("The pendant link is already open"));
    const UdpLinkEndpoints ep = parseUdpLinkOptions(options);

    auto *socket = new QUdpSocket(this);
    // Datagrams to a robot controller never go through a proxy. Without this, binding asks the
    // desktop's proxy settings first, which starts a resolver thread and its libraries.
    socket->setProxy(QNetworkProxy::NoProxy);
    if (!socket->bind(ep.ownAddress, ep.ownPort, QAbstractSocket::DontShareAddress)) {
        const QString why = socket->errorString();
        delete socket;
        raiseError(ErrLinkNetwork, QStringLiteral("The pendant link cannot receive on %1 port %2: %3")
                                       .arg(ep.ownAddress.toString())
                                       .arg(ep.ownPort)
                                       .arg(why));
    }
    connect(socket, &QUdpSocket::readyRead, this, &UdpPendantLink::readPending);
    udpbounces::enable(*socket);
    m_endpoints = ep;
    m_socket = socket;
    m_nextSequence = 0;
    m_keyState.clear();
    m_anyControllerAddress = isBroadcastAddress(ep.controllerAddress);
    // A new identity for every opening, never the one before it.
    const quint32 previous = m_session;
    do {
        m_session = QRandomGenerator::system()->generate();
    } while (m_session == previous);
    m_clock.start();
    m_lastHeardMs = -1;
    m_lastBounceMs = -1;
    m_health.setUnknown();
    m_health.setController(endpointText(ep.controllerAddress, ep.controllerPort));
    m_healthTimer.start(std::max(1, m_timing.pingMs));

    linkwire::Datagram hello;
    hello.kind = linkwire::Kind::Hello;
    hello.name = name;
    try {
        sendOrThrow(hello, "the hello");
    } catch (...) {
        m_healthTimer.stop();
        m_health.setUnknown();
        m_health.setController(QString());
        m_socket = nullptr;
        delete socket;
        throw;
    }
}

std::shared_ptr<ILinkVariable> UdpPendantLink::GetVariable(const QString &name, const QString &options)
{
    requireOpen("GetVariable");
    if (name.trimmed().isEmpty())
        raiseError(ErrInvalidArgument, QStringLiteral("GetVariable needs a variable name"));
    if (!options.trimmed().isEmpty())
        raiseError(ErrInvalidArgument, QStringLiteral("GetVariable takes no options, got \"%1\"").arg(options));
    return std::make_shared<UdpLinkVariable>(this, name);
}

Variant UdpPendantLink::Execute(const QString &command, const Variant &parameter)
{
    requireOpen("Execute");
    if (command.trimmed().isEmpty())
        raiseError(ErrInvalidArgument, QStringLiteral("Execute needs a command name"));
    linkwire::Datagram d;
    d.kind = linkwire::Kind::Exec;
    if (command.compare(u"SetKeyState", Qt::CaseInsensitive) == 0) {
        m_keyState = keyStateBytes(parameter);
        d.command = QStringLiteral("SetKeyState");
        d.value = Variant(m_keyState);
        // Restarted, so that the first repeat comes one period after this send; it also repeats a
        // state the socket refuses now.
        m_heartbeat.start();
    } else {
        d.command = command;
        d.value = parameter;
    }
    sendOrThrow(d, "the command");
    return {};
}

void UdpPendantLink::Close()
{
    if (!m_socket)
        return;
    m_heartbeat.stop();
    m_healthTimer.stop();
    // A controller that misses the close must not keep a key held: the last state it hears
    // from a closing pendant holds no key.
    if (!m_keyState.isEmpty() && m_keyState.count('\0') != m_keyState.size()) {
        linkwire::Datagram last;
        last.kind = linkwire::Kind::Exec;
        last.command = QStringLiteral("SetKeyState");
        last.value = Variant(QByteArray(8, '\0'));
        send(last);
    }
    linkwire::Datagram d;
    d.kind = linkwire::Kind::Close;
    send(d);
    QUdpSocket *socket = m_socket;
    m_socket = nullptr;
    m_keyState.clear();
    m_health.setUnknown();
    m_health.setController(QString());
    socket->close();
    // Deferred and detached: Close (or the destructor) may run in an OnMessage handler while the
    // socket is still emitting readyRead, and deleting it then would pull it from under Qt.
    socket->setParent(nullptr);
    socket->deleteLater();
}

quint16 UdpPendantLink::localPort() const
{
    return m_socket ? m_socket->localPort() : 0;
}

void UdpPendantLink::sendReply(int32_t number, std::optional<quint32> replyTo, const Variant &value)
{
    requireOpen("Reply");
    linkwire::Datagram d;
    d.kind = linkwire::Kind::Reply;
    d.number = number;
    d.replyTo = replyTo;
    d.value = value;
    sendOrThrow(d, "the reply");
}

void UdpPendantLink::writeVariable(const QString &name, const Variant &value)
{
    requireOpen("A variable write");
    linkwire::Datagram d;
    d.kind = linkwire::Kind::Set;
    d.name = name;
    d.value = value;
    sendOrThrow(d, "the variable write");
}

void UdpPendantLink::requireOpen(const char *operation) const
{
    if (!m_socket)
        raiseError(ErrObjectNotSet,
                   QStringLiteral("%1 needs an open pendant link").arg(QString::fromLatin1(operation)));
}

bool UdpPendantLink::send(linkwire::Datagram datagram)
{
    datagram.sequence = m_nextSequence;
    datagram.session = m_session;
    const QByteArray bytes = linkwire::encode(datagram);
    ++m_nextSequence;
    // A bounce of an earlier datagram leaves an error on the socket that the next send would
    // fail with; it is taken first. One that comes in between fails this send: taken, the send
    // goes again.
    collectBounces();
    qint64 written = m_socket->writeDatagram(bytes, m_endpoints.controllerAddress, m_endpoints.controllerPort);
    if (written != bytes.size()) {
        const quint64 before = m_counters.bounces;
        collectBounces();
        if (m_socket && m_counters.bounces != before)
            written = m_socket->writeDatagram(bytes, m_endpoints.controllerAddress, m_endpoints.controllerPort);
    }
    if (written != bytes.size()) {
        ++m_counters.sendFailures;
        return false;
    }
    ++m_counters.datagramsSent;
    return true;
}

void UdpPendantLink::sendOrThrow(linkwire::Datagram datagram, const char *what)
{
    if (!send(std::move(datagram)))
        raiseError(ErrLinkNetwork, QStringLiteral("The pendant link cannot send %1 to %2 port %3: %4")
                                       .arg(QString::fromLatin1(what), m_endpoints.controllerAddress.toString())
                                       .arg(m_endpoints.controllerPort)
                                       .arg(m_socket->errorString()));
}

void UdpPendantLink::sendHeartbeat()
{
    if (!m_socket || m_keyState.isEmpty())
        return;
    linkwire::Datagram d;
    d.kind = linkwire::Kind::Exec;
    d.command = QStringLiteral("SetKeyState");
    d.value = Variant(m_keyState);
    d.heartbeat = true;
    if (send(d))
        ++m_counters.heartbeatsSent;
}

bool UdpPendantLink::fromController(const QHostAddress &from, quint16 port) const
{
    return port == m_endpoints.controllerPort &&
           (m_anyControllerAddress || from.isEqual(m_endpoints.controllerAddress, QHostAddress::TolerantConversion));
}

void UdpPendantLink::collectBounces()
{
    if (!m_socket)
        return;
    bool any = false;
    for (const UdpBounce &b : udpbounces::take(*m_socket)) {
        // Only what was sent to the controller tells about it.
        if (b.port != m_endpoints.controllerPort ||
            !b.to.isEqual(m_endpoints.controllerAddress, QHostAddress::TolerantConversion))
            continue;
        ++m_counters.bounces;
        m_lastBounceMs = m_clock.elapsed();
        m_lastBounceHost = !b.portUnreachable;
        any = true;
    }
    if (any)
        m_health.setNoController(m_lastBounceHost);
}

void UdpPendantLink::noteHeard()
{
    m_lastHeardMs = m_clock.elapsed();
    m_lastBounceMs = -1;
    m_health.setAnswering();
}

// Every ping period: what the controller's answers (or their absence) say, and a ping when it has
// not been heard for a period.
void UdpPendantLink::checkHealth()
{
    if (!m_socket)
        return;
    collectBounces();
    const qint64 now = m_clock.elapsed();
    const int period = std::max(1, m_timing.pingMs);
    const qint64 quiet = now - (m_lastHeardMs >= 0 ? m_lastHeardMs : 0);
    if (m_lastHeardMs >= 0 && quiet < m_timing.silentAfterMs)
        m_health.setAnswering();
    else if (m_lastBounceMs >= 0 && now - m_lastBounceMs < 2 * period + period / 2)
        m_health.setNoController(m_lastBounceHost);
    else if (quiet >= m_timing.silentAfterMs)
        m_health.setSilent(int(std::max<qint64>(1, quiet / 1000)));
    if (m_lastHeardMs < 0 || now - m_lastHeardMs >= period) {
        linkwire::Datagram ping;
        ping.kind = linkwire::Kind::Ping;
        if (send(ping))
            ++m_counters.pingsSent;
    }
}

void UdpPendantLink::readPending()
{
    const QPointer<UdpPendantLink> self(this);
    const QPointer<QUdpSocket> socket(m_socket);
    // A bounce wakes the socket up like a datagram; its report is taken first.
    collectBounces();
    bool readAny = false;
    // A handler may close or delete the link, or run a nested event loop that reads on its own.
    while (self && socket && m_socket == socket && socket->hasPendingDatagrams()) {
        readAny = true;
        const qint64 size = socket->pendingDatagramSize();
        QHostAddress from;
        quint16 port = 0;
        if (size > linkwire::MaxDatagramSize) {
            char first = 0;
            if (socket->readDatagram(&first, 1, &from, &port) < 0)
                return;
            if (fromController(from, port))
                ++m_counters.droppedOversized;
            else
                ++m_counters.droppedForeign;
            continue;
        }
        QByteArray bytes(qMax<qint64>(size, 0), Qt::Uninitialized);
        const qint64 got = socket->readDatagram(bytes.data(), bytes.size(), &from, &port);
        if (got < 0)
            return;
        bytes.truncate(got);
        handleDatagram(bytes, from, port);
    }
    // Woken up with nothing to read (a bounce), the socket reports no more until something is
    // read from it; a read turns the reports back on. What it finds, if a datagram came in just
    // now, is handled like any other.
    if (!readAny && self && socket && m_socket == socket) {
        const QNetworkDatagram d = socket->receiveDatagram(linkwire::MaxDatagramSize + 1);
        if (d.isValid()) {
            if (d.data().size() > linkwire::MaxDatagramSize)
                ++(fromController(d.senderAddress(), quint16(d.senderPort())) ? m_counters.droppedOversized
                                                                              : m_counters.droppedForeign);
            else
                handleDatagram(d.data(), d.senderAddress(), quint16(d.senderPort()));
        }
    }
}

void UdpPendantLink::handleDatagram(const QByteArray &bytes, const QHostAddress &from, quint16 port)
{
    if (!fromController(from, port)) {
        ++m_counters.droppedForeign;
        return;
    }
    const linkwire::Decoded decoded = linkwire::decode(bytes);
    // Any datagram of the protocol shows that the controller is there, also one of a later version.
    if (decoded.status == linkwire::DecodeStatus::Ok || decoded.status == linkwire::DecodeStatus::UnknownKind)
        noteHeard();
    switch (decoded.status) {
    case linkwire::DecodeStatus::Ok:
        break;
    case linkwire::DecodeStatus::TooLarge:
        ++m_counters.droppedOversized;
        return;
    case linkwire::DecodeStatus::TooDeep:
        ++m_counters.droppedTooDeep;
        return;
    case linkwire::DecodeStatus::Malformed:
        ++m_counters.droppedMalformed;
        return;
    case linkwire::DecodeStatus::UnknownKind:
        ++m_counters.droppedUnexpected;
        return;
    }
    if (decoded.datagram.kind == linkwire::Kind::Pong) {
        ++m_counters.pongsReceived;
        return;
    }
    if (decoded.datagram.kind != linkwire::Kind::Message) {
        ++m_counters.droppedUnexpected;
        return;
    }
    ++m_counters.messagesReceived;
    UdpLinkMessage message(this, decoded.datagram);
    const QPointer<UdpPendantLink> self(this);
    try {
        emit OnMessage(message, 0);
    } catch (...) {
        // Handlers are to report their own errors; one that escapes must not end the event loop.
        if (self)
            ++m_counters.handlerExceptions;
    }
}

} // namespace tarvisk
