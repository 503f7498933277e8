// Openings of the pendant as the virtual controller tells them apart, over UDP on 127.0.0.1: real
// pendant links behind a relay that loses the datagrams a test names, and forged datagrams of a
// pendant of protocol 1 (no session id).

#include "capturedcontroller.h"
#include "virtualcontroller.h"

#include "link/udplink.h"
#include "support/keybits.h"
#include "support/udppeer.h"

#include <QNetworkDatagram>
#include <QTest>
#include <QTextStream>
#include <QUdpSocket>

#include <functional>

using namespace tarvisk;
using namespace tarvisk::controller;
using namespace tarvisk::testing;
using linkwire::Kind;

namespace {

constexpr int Generous = 5000; // ms; only an upper bound for something expected much sooner

// A controller on a free port of 127.0.0.1, its lines captured.
struct ControllerUnderTest : CapturedController
{
    explicit ControllerUnderTest(int watchdogMs)
        : CapturedController(withWatchdog(watchdogMs))
    {
    }
    static ControllerOptions withWatchdog(int watchdogMs)
    {
        ControllerOptions options;
        options.watchdogMs = watchdogMs;
        return options;
    }
};

// Stands between pendants and the controller: the pendants send to its front, the controller
// sees every pendant at its back, one address and port, as it sees a pendant that restarted on
// its fixed port. Forwards both ways, except the pendant datagrams `lose` picks.
class Relay : public QObject
{
public:
    explicit Relay(quint16 controllerPort)
        : m_controllerPort(controllerPort)
    {
        m_front.bind(QHostAddress::LocalHost, 0);
        m_back.bind(QHostAddress::LocalHost, 0);
        connect(&m_front, &QUdpSocket::readyRead, this, [this] {
            while (m_front.hasPendingDatagrams()) {
                const QNetworkDatagram d = m_front.receiveDatagram();
                m_pendantPort = quint16(d.senderPort());
                const linkwire::Decoded decoded = linkwire::decode(d.data());
                if (decoded.status == linkwire::DecodeStatus::Ok && lose && lose(decoded.datagram)) {
                    lost.append(d.data());
                    continue;
                }
                forward(d.data());
            }
        });
        connect(&m_back, &QUdpSocket::readyRead, this, [this] {
            while (m_back.hasPendingDatagrams())
                m_front.writeDatagram(m_back.receiveDatagram().data(), QHostAddress::LocalHost, m_pendantPort);
        });
    }
    QString options() const
    {
        return QStringLiteral("TPClient, UDP=127.0.0.1:%1:127.0.0.1:0").arg(m_front.localPort());
    }
    void forward(const QByteArray &bytes) { m_back.writeDatagram(bytes, QHostAddress::LocalHost, m_controllerPort); }

    std::function<bool(const linkwire::Datagram &)> lose;
    QList<QByteArray> lost;

private:
    quint16 m_controllerPort;
    quint16 m_pendantPort = 0;
    QUdpSocket m_front;
    QUdpSocket m_back;
};

// Datagrams of a pendant of protocol 1 (no session id), from one socket.
struct OldPendant
{
    void send(Kind kind, quint32 sequence, std::initializer_list<int> codes = {})
    {
        linkwire::Datagram d;
        d.kind = kind;
        d.sequence = sequence;
        d.name = QStringLiteral("TPComm");
        d.version = 1;
        if (kind == Kind::Exec) {
            d.command = QStringLiteral("SetKeyState");
            d.value = Variant(bitmapOf(codes));
        } else if (kind == Kind::Set) {
            d.name = QStringLiteral("@Enabled");
            d.value = Variant(true);
        }
        peer.send(d, controllerPort);
    }
    UdpPeer peer;
    quint16 controllerPort = 0;
};

} // namespace

class TestControllerSessions : public QObject
{
    Q_OBJECT
private slots:
    void restartWhoseHelloIsLostIsHeard();
    void protocolOnePendantIsHeardAfterTheWatchdog();
    void anotherPendantTakesOverOnlyOnceTheFirstIsGone();
    void pingsAreAnswered();
};

// A pendant holds OK, dies without a word (its last key state and close are lost), starts again on
// the same address and port, and its hello is lost too. Without a watchdog to help, its new session
// id alone makes the controller take it: OK goes, CANCEL comes. Late datagrams of the dead opening
// change nothing.
void TestControllerSessions::restartWhoseHelloIsLostIsHeard()
{
    ControllerUnderTest c(0);
    QVERIFY(c.bound);
    Relay relay(c.controller->localPort());
    auto first = std::make_unique<UdpPendantLink>();
    first->Open(QStringLiteral("TPComm"), relay.options());
    first->Execute(QStringLiteral("SetKeyState"), Variant(bitmapOf({14})));
    QTRY_COMPARE_WITH_TIMEOUT(c.keyLines(), QStringList{QStringLiteral("TP_KEY_OK pressed")}, Generous);
    // Heartbeats carry the count far beyond what a new opening starts with.
    QTRY_VERIFY_WITH_TIMEOUT(c.controller->counters().heartbeats >= 10, Generous);

    const quint32 dead = first->sessionId();
    relay.lose = [&](const linkwire::Datagram &d) { return d.session == dead || d.kind == Kind::Hello; };
    first.reset(); // its zero state and close are lost

    UdpPendantLink second;
    second.Open(QStringLiteral("TPComm"), relay.options());
    second.GetVariable(QStringLiteral("@Enabled"), QString())->setValue(Variant(true));
    second.Execute(QStringLiteral("SetKeyState"), Variant(bitmapOf({15})));
    QTRY_COMPARE_WITH_TIMEOUT(c.keyLines().size(), 3, Generous);
    QCOMPARE(c.keyLines().mid(1), (QStringList{"TP_KEY_OK released", "TP_KEY_CANCEL pressed"}));
    QCOMPARE(c.lines().count(QStringLiteral("pendant connected")), 2);
    QCOMPARE(c.controller->counters().stale, quint64(0));

    // A heartbeat of the dead opening, overtaken on the way, arrives now: it is stale.
    QVERIFY(!relay.lost.isEmpty());
    relay.forward(relay.lost.first());
    QTRY_COMPARE_WITH_TIMEOUT(c.controller->counters().stale, quint64(1), Generous);
    QTest::qWait(3 * UdpPendantLink::HeartbeatPeriodMs);
    QCOMPARE(c.controller->heldKeys(), QList<int>{15});
    QCOMPARE(c.keyLines().size(), 3);
}

// A pendant of protocol 1 has no session id: after a restart with a lost hello, its key states
// are older than those of its first life. Once the watchdog declared it gone, the controller takes
// whatever count it speaks with.
void TestControllerSessions::protocolOnePendantIsHeardAfterTheWatchdog()
{
    ControllerUnderTest c(300);
    OldPendant pendant;
    pendant.controllerPort = c.controller->localPort();
    pendant.send(Kind::Hello, 0);
    for (quint32 s = 1; s <= 30; ++s)
        pendant.send(Kind::Exec, s, {14});
    QTRY_COMPARE_WITH_TIMEOUT(c.keyLines(), QStringList{QStringLiteral("TP_KEY_OK pressed")}, Generous);
    // Dead: the watchdog lets OK go.
    QTRY_COMPARE_WITH_TIMEOUT(c.keyLines().size(), 2, Generous);
    QCOMPARE(c.keyLines().last(), QStringLiteral("TP_KEY_OK released"));

    // Restarted, hello lost: @Enabled and the first key state count from 1 again.
    pendant.send(Kind::Set, 1);
    pendant.send(Kind::Exec, 2, {15});
    QTRY_COMPARE_WITH_TIMEOUT(c.keyLines().size(), 3, Generous);
    QCOMPARE(c.keyLines().last(), QStringLiteral("TP_KEY_CANCEL pressed"));
    QVERIFY(c.lines().contains(QStringLiteral("pendant heard again")));
    // From then on the usual order holds.
    pendant.send(Kind::Exec, 1, {});
    QTRY_COMPARE_WITH_TIMEOUT(c.controller->counters().stale, quint64(1), Generous);
    QCOMPARE(c.controller->heldKeys(), QList<int>{15});
}

// A second pendant elsewhere is foreign while the first is alive, and takes over once the watchdog
// declared the first gone, also when its hello was lost.
void TestControllerSessions::anotherPendantTakesOverOnlyOnceTheFirstIsGone()
{
    ControllerUnderTest c(300);
    OldPendant a, b;
    a.controllerPort = b.controllerPort = c.controller->localPort();
    a.send(Kind::Hello, 0);
    a.send(Kind::Exec, 1, {14});
    b.send(Kind::Exec, 5, {15});
    QTRY_COMPARE_WITH_TIMEOUT(c.controller->counters().foreign, quint64(1), Generous);
    QCOMPARE(c.keyLines(), QStringList{QStringLiteral("TP_KEY_OK pressed")});
    QTRY_COMPARE_WITH_TIMEOUT(c.keyLines().size(), 2, Generous); // a is gone
    b.send(Kind::Exec, 6, {15});
    QTRY_COMPARE_WITH_TIMEOUT(c.keyLines().size(), 3, Generous);
    QCOMPARE(c.keyLines().last(), QStringLiteral("TP_KEY_CANCEL pressed"));
    // Now a is the stranger.
    a.send(Kind::Exec, 2, {14});
    QTRY_COMPARE_WITH_TIMEOUT(c.controller->counters().foreign, quint64(2), Generous);
    QCOMPARE(c.controller->heldKeys(), QList<int>{15});
}

// The pendant pings a controller that sends it nothing; the controller answers, so the pendant
// shows nothing wrong.
void TestControllerSessions::pingsAreAnswered()
{
    ControllerUnderTest c(0);
    UdpPendantLink link;
    link.setTiming({100, 400});
    link.Open(QStringLiteral("TPComm"),
              QStringLiteral("TPClient, UDP=127.0.0.1:%1:127.0.0.1:0").arg(c.controller->localPort()));
    QTRY_VERIFY_WITH_TIMEOUT(link.counters().pongsReceived >= 2, Generous);
    QCOMPARE(link.health()->state(), LinkHealth::State::Answering);
    QTest::qWait(600);
    QCOMPARE(link.health()->text(), QString());
    QVERIFY(c.controller->counters().pongs >= 2);
    QCOMPARE(c.controller->counters().unexpected, quint64(0));
}

QTEST_GUILESS_MAIN(TestControllerSessions)
#include "tst_controllersessions.moc"
