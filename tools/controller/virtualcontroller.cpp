#include "virtualcontroller.h"

#include "commands.h"
#include "demoscreens.h"
#include "jsonvariant.h"

#include "common/proverror.h"
#include "provider/provstate.h"

#include <QNetworkDatagram>
#include <QTextStream>

namespace tarvisk::controller {

namespace {

constexpr int DemoBeepMs = 300;

QString endpointText(const QHostAddress &address, quint16 port)
{
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        return QStringLiteral("[%1]:%2").arg(address.toString()).arg(port);
    return QStringLiteral("%1:%2").arg(address.toString()).arg(port);
}

bool sameAddress(const QHostAddress &a, const QHostAddress &b)
{
    return a.isEqual(b, QHostAddress::TolerantConversion);
}

// The 8-byte bitmap of a SetKeyState: a byte string, or (from a lenient sender) eight numbers
// 0 to 255.
std::optional<std::array<uint8_t, 8>> keyBitsOf(const Variant &value)
{
    std::array<uint8_t, 8> bits{};
    if (const QByteArray *bytes = value.bytes()) {
        if (bytes->size() != 8)
            return std::nullopt;
        for (int i = 0; i < 8; ++i)
            bits[i] = uint8_t(bytes->at(i));
        return bits;
    }
    const VariantArray *items = value.arrayItems();
    if (!items || items->size() != 8)
        return std::nullopt;
    for (int i = 0; i < 8; ++i) {
        const Variant &v = items->at(i);
        switch (v.type()) {
        case Variant::Type::Byte:
        case Variant::Type::Integer:
        case Variant::Type::Long:
        case Variant::Type::Single:
        case Variant::Type::Double: {
            const double d = v.toDouble();
            if (!(d >= 0 && d <= 255) || d != double(int(d)))
                return std::nullopt;
            bits[i] = uint8_t(d);
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return bits;
}

bool isHeld(const std::array<uint8_t, 8> &bits, int code)
{
    return (bits[code / 8] >> (code % 8)) & 1;
}

} // namespace

VirtualController::VirtualController(const ControllerOptions &options, QTextStream &out, QTextStream &err,
                                     QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_out(out)
    , m_err(err)
{
    if (!g_TPKeyTable || !g_MPKeyTable)
        InitKeyTables();
    const KeyTable &table = options.mini ? *g_MPKeyTable : *g_TPKeyTable;
    // The tables map names to codes only; each code has one name within a family.
    for (const KeyTable::Entry &e : table.entries())
        m_names.insert(e.code, e.name);
    const QString prefix = options.mini ? QStringLiteral("MP_KEY_") : QStringLiteral("TP_KEY_");
    m_motorCode = table.Item(prefix + QStringLiteral("MOTOR"));
    m_stopCode = table.Item(prefix + QStringLiteral("STOP"));
    m_upCode = table.Item(prefix + QStringLiteral("UP"));
    m_downCode = table.Item(prefix + QStringLiteral("DOWN"));
    m_okCode = table.Item(prefix + QStringLiteral("OK"));
    m_cancelCode = table.Item(prefix + QStringLiteral("CANCEL"));

    m_pendantKnown = options.pendantAddress.has_value() && options.pendantPort.has_value();
    if (m_pendantKnown) {
        m_pendantAddress = *options.pendantAddress;
        m_pendantPort = *options.pendantPort;
    }

    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, &VirtualController::watchdogExpired);
    connect(&m_socket, &QUdpSocket::readyRead, this, &VirtualController::readPending);
}

VirtualController::~VirtualController() = default;

bool VirtualController::start(QString *error)
{
    if (!m_socket.bind(m_options.address, m_options.port, QAbstractSocket::DontShareAddress)) {
        *error = QStringLiteral("cannot bind %1: %2")
                     .arg(endpointText(m_options.address, m_options.port), m_socket.errorString());
        return false;
    }
    printVerbose(QStringLiteral("listening on %1").arg(endpointText(m_options.address, localPort())));
    return true;
}

void VirtualController::printEvent(const QString &line)
{
    if (!m_options.quiet)
        printAnswer(line);
}

void VirtualController::printVerbose(const QString &line)
{
    if (m_options.verbose)
        printAnswer(line);
}

void VirtualController::printAnswer(const QString &line)
{
    m_out << line << '\n';
    m_out.flush();
}

void VirtualController::printError(const QString &line)
{
    m_err << "error: " << line << '\n';
    m_err.flush();
}

QList<int> VirtualController::heldKeys() const
{
    QList<int> codes;
    for (int code = 0; code < 64; ++code) {
        if (isHeld(m_keys, code))
            codes.append(code);
    }
    return codes;
}

QString VirtualController::keyName(int code) const
{
    return m_names.value(code, QStringLiteral("key %1").arg(code));
}

void VirtualController::printState()
{
    QStringList names;
    for (int code : heldKeys())
        names << keyName(code);
    const QString pendant = m_connected
                                ? QStringLiteral("pendant %1").arg(endpointText(m_pendantAddress, m_pendantPort))
                                : QStringLiteral("no pendant");
    printAnswer(
        QStringLiteral("held: %1 (%2)").arg(names.isEmpty() ? QStringLiteral("none") : names.join(u' '), pendant));
}

void VirtualController::printCounters()
{
    const ControllerCounters &c = m_counters;
    printAnswer(QStringLiteral("received %1, key states %2 (heartbeats %3), sent %4, pongs %5, send failures %6")
                    .arg(c.received)
                    .arg(c.keyStates)
                    .arg(c.heartbeats)
                    .arg(c.sent)
                    .arg(c.pongs)
                    .arg(c.sendFailures));
    printAnswer(QStringLiteral("ignored %1: malformed %2, too deep %3, too large %4, unknown kind %5, unexpected %6, "
                               "foreign %7, stale %8, bad key state %9")
                    .arg(c.ignored())
                    .arg(c.malformed)
                    .arg(c.tooDeep)
                    .arg(c.tooLarge)
                    .arg(c.unknownKind)
                    .arg(c.unexpected)
                    .arg(c.foreign)
                    .arg(c.stale)
                    .arg(c.badKeyState));
}

bool VirtualController::sendMessage(int32_t number, const Variant &value)
{
    if (!m_pendantKnown) {
        printError(QStringLiteral("message %1 not sent: no pendant yet (it has not sent its hello)").arg(number));
        return false;
    }
    linkwire::Datagram d;
    d.kind = linkwire::Kind::Message;
    d.sequence = m_nextSequence;
    d.number = number;
    d.value = value;
    QByteArray bytes;
    try {
        bytes = linkwire::encode(d);
    } catch (const ProvError &e) {
        printError(QStringLiteral("message %1 not sent: %2").arg(number).arg(e.description()));
        return false;
    }
    if (m_socket.writeDatagram(bytes, m_pendantAddress, m_pendantPort) != bytes.size()) {
        ++m_counters.sendFailures;
        printError(QStringLiteral("message %1 not sent: %2").arg(number).arg(m_socket.errorString()));
        return false;
    }
    ++m_nextSequence;
    ++m_counters.sent;
    printVerbose(QStringLiteral("sent message %1 %2").arg(number).arg(variantText(value)));
    return true;
}

void VirtualController::readPending()
{
    while (m_socket.hasPendingDatagrams()) {
        // One byte more than allowed is enough to tell an oversized datagram; the rest is dropped.
        const QNetworkDatagram datagram = m_socket.receiveDatagram(linkwire::MaxDatagramSize + 1);
        if (!datagram.isValid())
            continue;
        handleDatagram(datagram.data(), datagram.senderAddress(), quint16(datagram.senderPort()));
    }
}

void VirtualController::handleDatagram(const QByteArray &bytes, const QHostAddress &from, quint16 port)
{
    ++m_counters.received;
    const QString origin = endpointText(from, port);
    const linkwire::Decoded decoded = linkwire::decode(bytes);
    switch (decoded.status) {
    case linkwire::DecodeStatus::Ok:
        break;
    case linkwire::DecodeStatus::Malformed:
        ++m_counters.malformed;
        printVerbose(QStringLiteral("ignored a malformed datagram of %1 bytes from %2").arg(bytes.size()).arg(origin));
        return;
    case linkwire::DecodeStatus::TooDeep:
        ++m_counters.tooDeep;
        printVerbose(QStringLiteral("ignored a datagram nested too deeply from %1").arg(origin));
        return;
    case linkwire::DecodeStatus::TooLarge:
        ++m_counters.tooLarge;
        printVerbose(QStringLiteral("ignored an oversized datagram from %1").arg(origin));
        return;
    case linkwire::DecodeStatus::UnknownKind:
        ++m_counters.unknownKind;
        printVerbose(QStringLiteral("ignored a datagram of an unknown kind from %1").arg(origin));
        return;
    }

    const linkwire::Datagram &d = decoded.datagram;
    if (!linkwire::isPendantKind(d.kind)) {
        ++m_counters.unexpected;
        printVerbose(QStringLiteral("ignored a controller's datagram (%1) sent to the controller from %2")
                         .arg(linkwire::kindName(d.kind), origin));
        return;
    }
    if (d.session && m_endedSessions.contains(*d.session)) {
        ++m_counters.stale;
        printVerbose(
            QStringLiteral("ignored a late datagram of the ended opening %1 from %2").arg(*d.session).arg(origin));
        return;
    }
    if (d.kind == linkwire::Kind::Close && (!m_connected || d.session != m_session)) {
        printVerbose(QStringLiteral("ignored a close from %1, which is not connected").arg(origin));
        return;
    }
    if (!acceptSender(d, from, port))
        return;

    if (m_silent) {
        m_silent = false;
        printEvent(QStringLiteral("pendant heard again"));
    }
    if (m_lastKeySequence && m_options.watchdogMs > 0)
        m_watchdog.start(m_options.watchdogMs);

    switch (d.kind) {
    case linkwire::Kind::Hello:
        break; // handled by acceptSender
    case linkwire::Kind::Exec:
        handleExec(d, origin);
        break;
    case linkwire::Kind::Set:
        handleSet(d);
        break;
    case linkwire::Kind::Reply:
        printAnswer(QStringLiteral("reply to message %1: %2").arg(d.number).arg(variantText(d.value)));
        break;
    case linkwire::Kind::Ping:
        answerPing(d);
        break;
    case linkwire::Kind::Close:
        m_watchdog.stop();
        releaseAll(QString());
        m_connected = false;
        m_lastKeySequence.reset();
        m_session.reset();
        if (!(m_options.pendantAddress && m_options.pendantPort))
            m_pendantKnown = false;
        printEvent(QStringLiteral("pendant closed"));
        emit pendantGone();
        break;
    case linkwire::Kind::Message:
    case linkwire::Kind::Pong:
        break; // refused above
    }
}

// The pendant speaks from one address and port. A new opening of it takes over: its hello; a
// datagram with another session id from the same place (the hello was lost); or, once the
// watchdog declared the pendant gone, the first datagram from anywhere allowed.
bool VirtualController::acceptSender(const linkwire::Datagram &d, const QHostAddress &from, quint16 port)
{
    const bool matchesGiven = (!m_options.pendantAddress || sameAddress(from, *m_options.pendantAddress)) &&
                              (!m_options.pendantPort || port == *m_options.pendantPort);
    const bool samePlace = m_connected && port == m_pendantPort && sameAddress(from, m_pendantAddress);
    const bool hello = d.kind == linkwire::Kind::Hello;
    if (!matchesGiven || (m_connected && !samePlace && !hello && !m_silent)) {
        ++m_counters.foreign;
        printVerbose(
            QStringLiteral("ignored a datagram from %1, which is not the pendant").arg(endpointText(from, port)));
        return false;
    }
    if (samePlace && !hello && d.session == m_session)
        return true;

    // A new opening, or the first datagram of a pendant that spoke before the controller listened.
    if (m_connected) {
        m_watchdog.stop();
        releaseAll(QString());
        if (m_session && m_session != d.session) {
            m_endedSessions.append(*m_session);
            if (m_endedSessions.size() > 8)
                m_endedSessions.removeFirst();
        }
    }
    m_connected = true;
    m_pendantKnown = true;
    m_pendantAddress = from;
    m_pendantPort = port;
    m_session = d.session;
    m_silent = false;
    m_lastKeySequence.reset();
    m_keys = {};
    m_led1On = false;
    m_screenShown = false;
    m_selected = 0;
    m_chosen = -1;
    handleHello(d);
    emit pendantConnected();
    return true;
}

void VirtualController::handleHello(const linkwire::Datagram &d)
{
    printEvent(QStringLiteral("pendant connected"));
    const QString session = d.session ? QStringLiteral(", session %1").arg(*d.session) : QString();
    if (d.kind != linkwire::Kind::Hello) {
        printVerbose(
            QStringLiteral("  at %1%2, no hello seen").arg(endpointText(m_pendantAddress, m_pendantPort), session));
        return;
    }
    printVerbose(QStringLiteral("  at %1, name \"%2\", protocol %3%4")
                     .arg(endpointText(m_pendantAddress, m_pendantPort), d.name)
                     .arg(d.version)
                     .arg(session));
    if (d.version != linkwire::ProtocolVersion)
        printEvent(QStringLiteral("pendant speaks protocol %1, this controller %2")
                       .arg(d.version)
                       .arg(linkwire::ProtocolVersion));
}

void VirtualController::handleExec(const linkwire::Datagram &d, const QString &origin)
{
    if (d.command.compare(QLatin1String("SetKeyState"), Qt::CaseInsensitive) != 0) {
        printVerbose(QStringLiteral("ignored command \"%1\" %2").arg(d.command, variantText(d.value)));
        return;
    }
    const std::optional<KeyBits> bits = keyBitsOf(d.value);
    if (!bits) {
        ++m_counters.badKeyState;
        printVerbose(QStringLiteral("ignored a key state that is no 8-byte bitmap from %1: %2")
                         .arg(origin, variantText(d.value)));
        return;
    }
    if (d.sequence) {
        // Serial-number order: a state overtaken on the way must not bring back an older one.
        if (m_lastKeySequence && int32_t(*d.sequence - *m_lastKeySequence) <= 0) {
            ++m_counters.stale;
            printVerbose(
                QStringLiteral("ignored a key state %1 older than %2").arg(*d.sequence).arg(*m_lastKeySequence));
            return;
        }
        m_lastKeySequence = d.sequence;
    } else if (!m_lastKeySequence) {
        m_lastKeySequence = 0;
    }
    if (m_options.watchdogMs > 0)
        m_watchdog.start(m_options.watchdogMs);
    applyKeyState(*bits, d.heartbeat);
}

void VirtualController::handleSet(const linkwire::Datagram &d)
{
    if (d.name.compare(QLatin1String("@Enabled"), Qt::CaseInsensitive) == 0 &&
        d.value.type() == Variant::Type::Boolean) {
        printEvent(d.value.toBool() ? QStringLiteral("pendant enabled") : QStringLiteral("pendant disabled"));
        return;
    }
    printEvent(QStringLiteral("variable %1 = %2").arg(d.name, variantText(d.value)));
}

void VirtualController::answerPing(const linkwire::Datagram &ping)
{
    linkwire::Datagram pong;
    pong.kind = linkwire::Kind::Pong;
    pong.sequence = m_nextSequence;
    pong.replyTo = ping.sequence;
    const QByteArray bytes = linkwire::encode(pong);
    if (m_socket.writeDatagram(bytes, m_pendantAddress, m_pendantPort) != bytes.size()) {
        ++m_counters.sendFailures;
        printVerbose(QStringLiteral("pong not sent: %1").arg(m_socket.errorString()));
        return;
    }
    ++m_nextSequence;
    ++m_counters.pongs;
}

void VirtualController::applyKeyState(const KeyBits &bits, bool heartbeat)
{
    ++m_counters.keyStates;
    if (heartbeat)
        ++m_counters.heartbeats;
    changeKeys(bits);
    // The first key state shows the pendant's windows are up, so a screen drawn now is not lost.
    if (m_options.demo && m_options.mini && !m_screenShown)
        drawDemoScreen();
}

void VirtualController::changeKeys(const KeyBits &bits)
{
    const KeyBits before = m_keys;
    m_keys = bits;
    QList<int> pressed;
    for (int code = 0; code < 64; ++code) {
        if (isHeld(before, code) && !isHeld(bits, code))
            printEvent(QStringLiteral("%1 released").arg(keyName(code)));
        else if (!isHeld(before, code) && isHeld(bits, code))
            pressed.append(code);
    }
    for (int code : pressed)
        printEvent(QStringLiteral("%1 pressed").arg(keyName(code)));
    if (m_options.demo) {
        for (int code : pressed)
            demoKeyPressed(code);
    }
}

void VirtualController::releaseAll(const QString &why)
{
    if (!why.isEmpty())
        printEvent(why);
    changeKeys(KeyBits{});
}

void VirtualController::watchdogExpired()
{
    if (!m_connected)
        return;
    m_silent = true;
    // The pendant is gone; whatever speaks for it next starts a new count (a pendant of protocol 1
    // that restarted and lost its hello has no other way to be heard).
    m_lastKeySequence.reset();
    releaseAll(QStringLiteral("pendant silent for %1 ms; releasing its keys").arg(m_options.watchdogMs));
}

void VirtualController::demoKeyPressed(int code)
{
    if (code == m_motorCode) {
        m_led1On = !m_led1On;
        printEvent(QStringLiteral("demo: LED 1 %1").arg(m_led1On ? QStringLiteral("on") : QStringLiteral("off")));
        sendMessage(MsgLed, Variant::array({Variant(int32_t(1)), Variant(int32_t(m_led1On ? 1 : 0))}));
    } else if (code == m_stopCode) {
        printEvent(QStringLiteral("demo: beep %1 ms").arg(DemoBeepMs));
        sendMessage(MsgBeep, Variant(int32_t(DemoBeepMs)));
    }
    if (!m_options.mini)
        return;
    const int entries = int(demoMenuEntries().size());
    if (m_chosen >= 0) {
        if (code == m_okCode || code == m_cancelCode) {
            m_chosen = -1;
            drawDemoScreen();
        }
        return;
    }
    if (code == m_upCode || code == m_downCode) {
        m_selected = (m_selected + (code == m_upCode ? entries - 1 : 1)) % entries;
        printEvent(QStringLiteral("demo: menu at \"%1\"").arg(demoMenuEntries().at(m_selected)));
        drawDemoScreen();
    } else if (code == m_okCode) {
        m_chosen = m_selected;
        printEvent(QStringLiteral("demo: chose \"%1\"").arg(demoMenuEntries().at(m_chosen)));
        drawDemoScreen();
    }
}

void VirtualController::drawDemoScreen()
{
    m_screenShown = true;
    sendMessage(MsgDraw, m_chosen >= 0 ? demoChoiceScreen(m_chosen) : demoMenuScreen(m_selected));
}

} // namespace tarvisk::controller
