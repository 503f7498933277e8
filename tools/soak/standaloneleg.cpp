// The standalone leg: the mini pendant as a user starts it, this program as its robot
// controller on 127.0.0.1, and real X input on its window.
#include "soakleg.h"

#include "link/linkwire.h"

#include <QCoreApplication>
#include <QFile>
#include <QNetworkDatagram>
#include <QProcess>
#include <QSet>
#include <QUdpSocket>

namespace tarvisk::soak {

namespace {

using linkwire::Datagram;
using linkwire::Kind;

class StandaloneLeg : public SoakLeg
{
public:
    explicit StandaloneLeg(const LegOptions &options)
        : SoakLeg(QStringLiteral("standalone"), options)
    {}

    int run() override;

private:
    bool start();
    void drive();
    void stop();
    QStringList summary() const;

    void onDatagrams();
    void handle(const Datagram &d);
    void send(int32_t number, const Variant &value);

    // The state the held key and the switch imply, expected from now on.
    void expectNow();
    // Waits until the last key state is the one expected; a mismatch when it is not in time.
    bool settle(const QString &after);

    void pressKey();
    void releaseKey();
    void clickSwitch();
    // Ctrl under a held key: the latch view replaces the keys and lets the held one go at once,
    // and the mouse's late release reports nothing; a click on a twin latches its key or lets
    // the latch go.
    void latchViewWhileHeld();
    void sendLed();
    void sendBeep();
    void sendDisplay();
    void sendPing();
    void sendLcd();
    Variant randomDrawing();
    Variant randomCoordinate(int max);

    PendantLayout m_layout;
    QUdpSocket m_socket;
    QProcess m_process;
    quint16 m_pendantPort = 0;
    quint32 m_sequence = 100;

    KeyStateTracker m_tracker;
    SequenceCounter m_pendantSequence;
    bool m_helloSeen = false;
    bool m_enabledSeen = false;
    bool m_closeSeen = false;
    std::optional<quint32> m_session; // of the pendant's one opening
    bool m_synced = false;            // the first key state came
    bool m_closing = false;           // the window was asked to close
    QByteArray m_stateBeforeClose;
    QSet<quint32> m_pendingPings;
    qint64 m_lastDatagramMs = -1;
    qint64 m_longestGapMs = 0;
    bool m_watchGaps = false;

    const KeyTarget *m_held = nullptr; // the key the mouse holds
    QSet<int32_t> m_latched;           // keys latched by their twins
    int32_t m_switchCode = -1;
};

int StandaloneLeg::run()
{
    if (start())
        drive();
    stop();
    return finish(summary());
}

bool StandaloneLeg::start()
{
    QString error;
    if (!m_x.open(&error)) {
        failure(error);
        return false;
    }
    m_layout = miniPendantLayout();
    for (const KeyTarget &t : m_layout.keys + m_layout.switchAreas) {
        if (t.points.isEmpty()) {
            failure(QStringLiteral("no point of %1 takes the mouse").arg(t.name));
            return false;
        }
    }

    if (!m_socket.bind(QHostAddress::LocalHost, 0)) {
        failure(QStringLiteral("cannot bind the controller port: ") + m_socket.errorString());
        return false;
    }
    connect(&m_socket, &QUdpSocket::readyRead, this, &StandaloneLeg::onDatagrams);
    {
        QUdpSocket probe;
        probe.bind(QHostAddress::LocalHost, 0);
        m_pendantPort = probe.localPort();
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_options.logDir + QStringLiteral("/standalone-config"));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_options.logDir + QStringLiteral("/standalone-tarvisk.log"));
    const QStringList args = {QStringLiteral("127.0.0.1"), QString::number(m_socket.localPort()),
                              QStringLiteral("127.0.0.1"), QString::number(m_pendantPort), QStringLiteral("1")};
    m_process.start(m_options.tarvisk, args);
    if (!m_process.waitForStarted(10000)) {
        failure(QStringLiteral("cannot start %1: %2").arg(m_options.tarvisk, m_process.errorString()));
        return false;
    }
    note(QStringLiteral("started %1 %2 (process %3)")
             .arg(m_options.tarvisk, args.join(u' '))
             .arg(m_process.processId()));

    if (!waitUntil([this] { return m_helloSeen && m_enabledSeen; }, 20000)) {
        failure(QStringLiteral("no hello and @Enabled from the pendant"));
        return false;
    }
    // The first key state comes with the first-connection tick, a few seconds after the start.
    if (!waitUntil([this] { return m_synced; }, 20000)) {
        failure(QStringLiteral("no first key state from the pendant"));
        return false;
    }
    const QByteArray first = m_tracker.lastReceived();
    for (const KeyTarget &area : std::as_const(m_layout.switchAreas)) {
        if (first == bitmapOf({area.code}))
            m_switchCode = area.code;
    }
    if (m_switchCode < 0 && first != QByteArray(8, 0)) {
        failure(
            QStringLiteral("the first key state %1 is neither empty nor one switch position").arg(bitmapText(first)));
        return false;
    }
    if (!findWindow(m_layout, 10000))
        return false;
    note(QStringLiteral("window at %1,%2; %3 keys, first key state %4")
             .arg(m_windowRect.x())
             .arg(m_windowRect.y())
             .arg(m_layout.keys.size())
             .arg(bitmapText(first)));
    startMemorySampling(m_process.processId());
    m_watchGaps = true;
    return true;
}

void StandaloneLeg::drive()
{
    const qint64 end = m_clock.elapsed() + qint64(m_options.seconds) * 1000;
    while (m_clock.elapsed() < end && m_process.state() == QProcess::Running) {
        if (m_held) {
            const double r = m_random.generateDouble();
            if (r < 0.15) {
                // Moving within the key changes nothing.
                moveTo(pointIn(*m_held));
            } else if (r < 0.16) {
                // Held a while: the heartbeat repeats the state.
                pause(randomInt(150, 450));
            } else if (r < 0.18) {
                latchViewWhileHeld();
            } else if (r < 0.28) {
                // The link's messages while a key is held.
                sendLed();
                sendDisplay();
            } else {
                releaseKey();
            }
        } else {
            const double r = m_random.generateDouble();
            if (r < 0.50)
                pressKey();
            else if (r < 0.58)
                clickSwitch();
            else if (r < 0.68)
                sendLed();
            else if (r < 0.76)
                sendBeep();
            else if (r < 0.84)
                sendDisplay();
            else if (r < 0.88)
                sendPing();
            else if (r < 0.90)
                sendLcd();
            else if (r < 0.905)
                pause(randomInt(150, 450));
            else if (r < 0.95)
                moveTo(chance(0.5) ? pointOutside()
                                   : toRoot(QPoint(randomInt(0, m_windowRect.width() - 1),
                                                   randomInt(0, m_windowRect.height() - 1))));
            else
                settle(QStringLiteral("an idle check"));
        }
        // The link's datagrams between actions.
        QCoreApplication::processEvents();
    }
    if (m_process.state() != QProcess::Running)
        failure(QStringLiteral("tarvisk ended during the run (exit status %1)").arg(m_process.exitCode()));
}

void StandaloneLeg::expectNow()
{
    QList<int32_t> codes;
    if (m_switchCode >= 0)
        codes << m_switchCode;
    if (m_held)
        codes << m_held->code;
    codes << QList<int32_t>(m_latched.begin(), m_latched.end());
    m_tracker.expect(bitmapOf(codes));
}

bool StandaloneLeg::settle(const QString &after)
{
    if (waitUntil([this] { return m_tracker.settled(); }, m_options.settleMs))
        return true;
    mismatch(QStringLiteral("after %1 the last key state is %2, expected %3")
                 .arg(after, bitmapText(m_tracker.lastReceived()), bitmapText(m_tracker.expected())));
    m_tracker.resync(m_tracker.lastReceived());
    return false;
}

void StandaloneLeg::pressKey()
{
    const KeyTarget &key = pick(m_layout.keys);
    moveTo(pointIn(key));
    pressButton();
    m_held = &key;
    expectNow();
    count(QStringLiteral("presses"));
    // Often the next action follows at once; the release then checks both states in order.
    if (chance(0.5))
        settle(QStringLiteral("pressing ") + key.name);
}

void StandaloneLeg::releaseKey()
{
    const double r = m_random.generateDouble();
    QString where;
    if (r < 0.2) {
        // The press holds the mouse: released over another key, the held one is let go.
        moveTo(pointIn(pick(m_layout.keys)));
        where = QStringLiteral(" over another key");
        count(QStringLiteral("releases over another key"));
    } else if (r < 0.4) {
        moveTo(pointOutside());
        where = QStringLiteral(" outside the window");
        count(QStringLiteral("releases outside"));
    }
    const QString name = m_held->name;
    releaseButton();
    m_held = nullptr;
    expectNow();
    count(QStringLiteral("releases"));
    settle(QStringLiteral("releasing ") + name + where);
}

void StandaloneLeg::clickSwitch()
{
    const KeyTarget &area = pick(m_layout.switchAreas);
    moveTo(pointIn(area));
    pressButton();
    // A release outside the area it was pressed on chooses nothing.
    const bool elsewhere = chance(0.2);
    if (elsewhere)
        moveTo(chance(0.5) ? pointOutside() : pointIn(pick(m_layout.keys)));
    releaseButton();
    if (!elsewhere)
        m_switchCode = area.code;
    expectNow();
    count(QStringLiteral("switch clicks"));
    settle(QStringLiteral("clicking ") + area.name +
           (elsewhere ? QStringLiteral(" and releasing elsewhere") : QString()));
}

void StandaloneLeg::latchViewWhileHeld()
{
    const uint8_t ctrl = m_x.keycodeOf(0xffe3); // Control_L
    if (!ctrl)
        return;
    const KeyTarget *key = m_held;
    m_x.keyDown(ctrl);
    m_x.sync();
    m_held = nullptr;
    expectNow();
    settle(QStringLiteral("Ctrl under ") + key->name);
    releaseButton();
    for (int n = randomInt(0, 3); n > 0; --n) {
        const KeyTarget &target = pick(m_layout.keys);
        const int at = randomInt(0, int(target.points.size()) - 1);
        moveTo(toRoot(target.points[at]));
        pressButton();
        releaseButton();
        const int32_t code = at < target.latchCodes.size() ? target.latchCodes[at] : -1;
        if (code >= 0) {
            if (!m_latched.remove(code))
                m_latched.insert(code);
            count(QStringLiteral("latch clicks"));
        }
        expectNow();
        settle(QStringLiteral("a click in the latch view"));
    }
    m_x.keyUp(ctrl);
    m_x.sync();
    settle(QStringLiteral("clicks in the latch view"));
    count(QStringLiteral("latch views under a held key"));
}

void StandaloneLeg::sendLed()
{
    send(257, Variant::array({Variant(int32_t(randomInt(1, 3))), Variant(int32_t(randomInt(0, 2)))}));
    count(QStringLiteral("LED messages"));
}

void StandaloneLeg::sendBeep()
{
    const int choice = randomInt(0, 9);
    const int32_t ms = choice == 0 ? -1 : choice == 1 ? 0 : randomInt(20, 800);
    send(256, Variant(ms));
    count(QStringLiteral("beep messages"));
}

Variant StandaloneLeg::randomCoordinate(int max)
{
    switch (randomInt(0, 2)) {
    case 0:
        return Variant(int32_t(randomInt(0, max)));
    case 1:
        return Variant(float(randomInt(0, max * 2)) / 2.0f);
    default:
        return Variant(double(randomInt(0, max * 4)) / 4.0);
    }
}

Variant StandaloneLeg::randomDrawing()
{
    static const int frames[] = {0, 1, 2, 4, 32, 64, 100};
    static const char escapes[] = "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e"
                                  "012345X";
    VariantArray items;
    const int n = chance(0.1) ? randomInt(60, 120) : randomInt(1, 25);
    if (chance(0.3)) {
        // Cleared first, as a controller repaints a screen.
        items << Variant::array({Variant(int32_t(17)), Variant(int32_t(15))});
        items << Variant::array({Variant(int32_t(49)), Variant::array({Variant(int32_t(0)), Variant(int32_t(0)),
                                                                       Variant(int32_t(125)), Variant(int32_t(61))})});
    }
    for (int i = 0; i < n; ++i) {
        switch (randomInt(0, 4)) {
        case 0:
            items << Variant::array({Variant(int32_t(16)), Variant(int32_t(chance(0.5) ? 15 : randomInt(0, 255)))});
            break;
        case 1: {
            const int fill = pick(QList<int>{255, 15, 0, randomInt(0, 254)});
            items << Variant::array({Variant(int32_t(17)), Variant(int32_t(fill))});
            break;
        }
        case 2: {
            QString text;
            const int len = randomInt(0, 14);
            for (int c = 0; c < len; ++c) {
                if (chance(0.1)) {
                    text += QChar(27);
                    text += QChar(escapes[randomInt(0, int(sizeof escapes) - 2)]);
                } else {
                    text += QChar(randomInt(0x20, 0x7e));
                }
            }
            items << Variant::array(
                {Variant(int32_t(32)),
                 Variant::array({Variant(text), Variant(int32_t(randomInt(0, 118))), Variant(int32_t(randomInt(0, 54))),
                                 Variant(int32_t(frames[randomInt(0, 6)])), Variant(int32_t(randomInt(0, 1)))})});
            break;
        }
        default:
            items << Variant::array({Variant(int32_t(randomInt(0, 1) ? 48 : 49)),
                                     Variant::array({randomCoordinate(126), randomCoordinate(62), randomCoordinate(126),
                                                     randomCoordinate(62)})});
            break;
        }
    }
    return Variant(items);
}

void StandaloneLeg::sendDisplay()
{
    send(259, randomDrawing());
    count(QStringLiteral("display messages"));
}

void StandaloneLeg::sendPing()
{
    m_pendingPings.insert(m_sequence);
    send(0, Variant());
    count(QStringLiteral("pings"));
}

void StandaloneLeg::sendLcd()
{
    send(258, Variant(QStringLiteral("LCD %1").arg(randomInt(0, 999))));
    count(QStringLiteral("lcd"));
}

void StandaloneLeg::send(int32_t number, const Variant &value)
{
    Datagram d;
    d.kind = Kind::Message;
    d.number = number;
    d.value = value;
    d.sequence = m_sequence++;
    const QByteArray bytes = linkwire::encode(d);
    if (m_socket.writeDatagram(bytes, QHostAddress::LocalHost, m_pendantPort) != bytes.size())
        failure(QStringLiteral("cannot send message %1: %2").arg(number).arg(m_socket.errorString()));
    count(QStringLiteral("messages sent"));
}

void StandaloneLeg::onDatagrams()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram();
        const qint64 now = m_clock.elapsed();
        if (m_watchGaps && m_lastDatagramMs >= 0)
            m_longestGapMs = qMax(m_longestGapMs, now - m_lastDatagramMs);
        m_lastDatagramMs = now;
        count(QStringLiteral("datagrams"));
        if (datagram.senderPort() != m_pendantPort) {
            mismatch(QStringLiteral("a datagram from port %1, not the pendant's %2")
                         .arg(datagram.senderPort())
                         .arg(m_pendantPort));
            continue;
        }
        const linkwire::Decoded decoded = linkwire::decode(datagram.data());
        if (decoded.status != linkwire::DecodeStatus::Ok) {
            mismatch(QStringLiteral("a datagram that does not decode: %1")
                         .arg(QString::fromLatin1(datagram.data().toHex(' '))));
            continue;
        }
        handle(decoded.datagram);
    }
}

void StandaloneLeg::handle(const Datagram &d)
{
    if (!d.sequence)
        mismatch(QStringLiteral("a %1 without a sequence number").arg(linkwire::kindName(d.kind)));
    else
        m_pendantSequence.add(*d.sequence);
    if (m_closeSeen)
        mismatch(QStringLiteral("a %1 after the close").arg(linkwire::kindName(d.kind)));
    if (!d.session)
        mismatch(QStringLiteral("a %1 without a session id").arg(linkwire::kindName(d.kind)));
    else if (!m_session)
        m_session = d.session;
    else if (d.session != m_session)
        mismatch(QStringLiteral("a %1 of session %2 in session %3")
                     .arg(linkwire::kindName(d.kind))
                     .arg(*d.session)
                     .arg(*m_session));

    switch (d.kind) {
    case Kind::Hello:
        if (m_helloSeen)
            mismatch(QStringLiteral("a second hello"));
        if (d.version != linkwire::ProtocolVersion || d.sequence != 0u)
            mismatch(
                QStringLiteral("a hello of version %1 with sequence %2").arg(d.version).arg(d.sequence.value_or(0)));
        m_helloSeen = true;
        break;
    case Kind::Set:
        if (d.name == QLatin1String("@Enabled") && d.value == Variant(true))
            m_enabledSeen = true;
        else
            mismatch(QStringLiteral("a write of %1").arg(d.name));
        break;
    case Kind::Exec: {
        if (d.command != QLatin1String("SetKeyState")) {
            mismatch(QStringLiteral("an unknown command %1").arg(d.command));
            break;
        }
        const QByteArray *bits = d.value.bytes();
        if (!bits || bits->size() != 8) {
            mismatch(QStringLiteral("a key state that is no 8-byte string: %1").arg(d.value.debugText()));
            break;
        }
        if (d.heartbeat) {
            if (!m_tracker.heartbeat(*bits))
                mismatch(QStringLiteral("a heartbeat with %1 after the key state %2")
                             .arg(bitmapText(*bits), bitmapText(m_tracker.lastReceived())));
        } else {
            m_stateBeforeClose = *bits;
            const quint64 skipped = m_tracker.skipped();
            if (m_closing) {
                // Checked against the close below.
            } else if (!m_synced) {
                m_tracker.resync(*bits);
                m_synced = true;
            } else if (!m_tracker.received(*bits)) {
                mismatch(QStringLiteral("the key state %1 follows from no action (expected %2)")
                             .arg(bitmapText(*bits), bitmapText(m_tracker.expected())));
                m_tracker.resync(*bits);
            } else if (m_tracker.skipped() > skipped) {
                mismatch(QStringLiteral("%1 key-state changes never reported before %2")
                             .arg(m_tracker.skipped() - skipped)
                             .arg(bitmapText(*bits)));
            }
        }
        break;
    }
    case Kind::Reply:
        if (d.number != 0 || !d.replyTo || !m_pendingPings.remove(*d.replyTo))
            mismatch(QStringLiteral("a reply to message %1 (sequence %2) that was not asked for")
                         .arg(d.number)
                         .arg(d.replyTo.value_or(0)));
        else
            count(QStringLiteral("ping replies"));
        break;
    case Kind::Ping: {
        // The pendant heard nothing for a second; a controller answers.
        Datagram pong;
        pong.kind = Kind::Pong;
        pong.replyTo = d.sequence;
        m_socket.writeDatagram(linkwire::encode(pong), QHostAddress::LocalHost, m_pendantPort);
        count(QStringLiteral("pings of the pendant"));
        break;
    }
    case Kind::Close:
        m_closeSeen = true;
        break;
    case Kind::Message:
    case Kind::Pong:
        mismatch(QStringLiteral("a controller's %1 from the pendant").arg(linkwire::kindName(d.kind)));
        break;
    }
}

void StandaloneLeg::stop()
{
    if (m_buttonDown) {
        releaseButton();
        m_held = nullptr;
        expectNow();
        settle(QStringLiteral("the last release"));
    }
    if (m_process.state() == QProcess::Running && m_window) {
        if (!waitUntil([this] { return m_pendingPings.isEmpty(); }, 3000))
            mismatch(QStringLiteral("%1 pings never answered").arg(m_pendingPings.size()));
        // Closing the window ends the process, and the link with a close.
        sampleMemory();
        m_watchGaps = false;
        m_closing = true;
        m_x.requestClose(m_window);
        if (!m_process.waitForFinished(15000)) {
            failure(QStringLiteral("tarvisk still runs 15 s after its window was closed"));
        } else {
            if (m_process.exitStatus() != QProcess::NormalExit || m_process.exitCode() != 0)
                failure(QStringLiteral("tarvisk ended with status %1").arg(m_process.exitCode()));
            waitUntil([this] { return m_closeSeen; }, 2000);
            if (!m_closeSeen)
                mismatch(QStringLiteral("no close datagram when the window closed"));
            else if (m_stateBeforeClose != QByteArray(8, 0))
                mismatch(QStringLiteral("the link closed with the key state %1, not all zero")
                             .arg(bitmapText(m_stateBeforeClose)));
        }
    }
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    // Run without a session bus, the pendant says once that it cannot be scripted.
    checkQuietLog(m_options.logDir + QStringLiteral("/standalone-tarvisk.log"),
                  {QStringLiteral("tarvisk: no D-Bus session bus")});
}

QStringList StandaloneLeg::summary() const
{
    const quint64 lost = m_pendantSequence.missing();
    QStringList lines;
    lines << QStringLiteral("%1 s of input: %2 presses, %3 releases (%4 over another key, %5 outside the window), %6 "
                            "switch clicks, %7 pointer moves, %8 Ctrl latch views under a held key, %9 twins "
                            "latched or let go")
                 .arg(m_options.seconds)
                 .arg(counted(QStringLiteral("presses")))
                 .arg(counted(QStringLiteral("releases")))
                 .arg(counted(QStringLiteral("releases over another key")))
                 .arg(counted(QStringLiteral("releases outside")))
                 .arg(counted(QStringLiteral("switch clicks")))
                 .arg(counted(QStringLiteral("pointer moves")))
                 .arg(counted(QStringLiteral("latch views under a held key")))
                 .arg(counted(QStringLiteral("latch clicks")));
    lines << QStringLiteral("%1 messages to the pendant: %2 LED, %3 beep, %4 display, %5 lcd, %6 pings (%7 answered)")
                 .arg(counted(QStringLiteral("messages sent")))
                 .arg(counted(QStringLiteral("LED messages")))
                 .arg(counted(QStringLiteral("beep messages")))
                 .arg(counted(QStringLiteral("display messages")))
                 .arg(counted(QStringLiteral("lcd")))
                 .arg(counted(QStringLiteral("pings")))
                 .arg(counted(QStringLiteral("ping replies")));
    lines << QStringLiteral("%1 datagrams from the pendant: %2 key states, %3 heartbeats; %4 lost, %5 late; "
                            "longest silence %6 ms")
                 .arg(counted(QStringLiteral("datagrams")))
                 .arg(m_tracker.keyStates())
                 .arg(m_tracker.heartbeats())
                 .arg(lost)
                 .arg(m_pendantSequence.late())
                 .arg(m_longestGapMs);
    lines << QStringLiteral("key states: %1 unexpected, %2 changes never reported, %3 heartbeats not repeating the "
                            "last state")
                 .arg(m_tracker.unexpected())
                 .arg(m_tracker.skipped())
                 .arg(m_tracker.badHeartbeats());
    return lines;
}

} // namespace

int runStandaloneLeg(const LegOptions &options)
{
    StandaloneLeg leg(options);
    return leg.run();
}

} // namespace tarvisk::soak
