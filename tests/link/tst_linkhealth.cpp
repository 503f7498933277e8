// Whether the controller answers, as the UDP link tells it, on 127.0.0.1: a closed port, a socket
// that never answers, and one that answers the pings.

#include "link/udplink.h"
#include "support/udppeer.h"

#include <QSignalSpy>
#include <QTest>

using namespace tarvisk;
using namespace tarvisk::testing;
using linkwire::Kind;
using State = LinkHealth::State;

namespace {

constexpr int Generous = 5000; // ms; only an upper bound for something expected much sooner
const UdpLinkTiming Fast{100, 400};

// A port that nothing listens on (bound once, then given back).
quint16 closedPort()
{
    QUdpSocket probe;
    if (!probe.bind(QHostAddress::LocalHost, 0))
        return 0;
    return probe.localPort();
}

QString optionsFor(quint16 port)
{
    return QStringLiteral("TPClient, UDP=127.0.0.1:%1:127.0.0.1:0").arg(port);
}

} // namespace

class TestLinkHealth : public QObject
{
    Q_OBJECT
private slots:
    void closedPortMeansNoController();
    void silentControllerIsCountedInSeconds();
    void controllerThatStartsAndStops();
    void healthIsOnlyKnownWhileOpen();
};

// Every datagram bounces. The link says so, and key states still go out without an error (the
// socket's pending error from a bounce must not fail the next send).
void TestLinkHealth::closedPortMeansNoController()
{
    const quint16 port = closedPort();
    QVERIFY(port != 0);
    UdpPendantLink link;
    link.setTiming(Fast);
    QSignalSpy changed(link.health(), &LinkHealth::changed);
    link.Open(QStringLiteral("TPComm"), optionsFor(port));
    QTRY_COMPARE_WITH_TIMEOUT(link.health()->state(), State::NoController, Generous);
    QCOMPARE(link.health()->text(), QStringLiteral("no controller at 127.0.0.1:%1").arg(port));
    QVERIFY(link.health()->toolTip().contains(QStringLiteral("Start the controller")));
    QVERIFY(!link.health()->hostUnreachable());
    QVERIFY(changed.count() >= 1);

    // Back to back, as a key press and the switch do: a bounce may come in between.
    for (int i = 0; i < 10; ++i) {
        for (int j = 0; j < 3; ++j)
            link.Execute(QStringLiteral("SetKeyState"), Variant(QByteArray(8, char(i + j))));
        QTest::qWait(15);
    }
    QCOMPARE(link.counters().sendFailures, quint64(0));
    QVERIFY(link.counters().bounces >= 5);
    // It stays so while the datagrams keep coming back: no flicker to "silent".
    QTest::qWait(6 * Fast.pingMs);
    QCOMPARE(link.health()->state(), State::NoController);
}

// A socket that takes the datagrams and never answers: pings go out once a period, and the link
// counts the silence in whole seconds.
void TestLinkHealth::silentControllerIsCountedInSeconds()
{
    UdpPeer peer;
    QVERIFY(peer.bound());
    UdpPendantLink link;
    link.setTiming(Fast);
    link.Open(QStringLiteral("TPComm"), optionsFor(peer.port()));
    QCOMPARE(link.health()->state(), State::Unknown);
    QCOMPARE(link.health()->text(), QString());
    QTRY_COMPARE_WITH_TIMEOUT(link.health()->state(), State::Silent, Generous);
    QCOMPARE(link.health()->text(), QStringLiteral("controller silent for 1 s"));
    QTRY_VERIFY_WITH_TIMEOUT(peer.ofKind(Kind::Ping).size() >= 3, Generous);
    QTRY_COMPARE_WITH_TIMEOUT(link.health()->text(), QStringLiteral("controller silent for 2 s"), Generous);
    QVERIFY(link.health()->toolTip().contains(QStringLiteral("127.0.0.1:%1").arg(peer.port())));
    // Every ping belongs to this opening and counts on with the other datagrams.
    for (const linkwire::Datagram &d : peer.datagrams())
        QCOMPARE(d.session, std::optional<quint32>(link.sessionId()));

    // An answer ends the silence at once; while the answers come, nothing changes.
    peer.answersPings = true;
    QTRY_COMPARE_WITH_TIMEOUT(link.health()->state(), State::Answering, Generous);
    QCOMPARE(link.health()->text(), QString());
    QSignalSpy changed(link.health(), &LinkHealth::changed);
    QTest::qWait(8 * Fast.pingMs);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(link.health()->state(), State::Answering);
    QVERIFY(link.counters().pongsReceived >= 4);

    // Silent again once the answers stop.
    peer.answersPings = false;
    QTRY_COMPARE_WITH_TIMEOUT(link.health()->state(), State::Silent, Generous);
}

// Bounces while nothing listens; answers once a controller runs on the port; bounces again
// after it stopped.
void TestLinkHealth::controllerThatStartsAndStops()
{
    const quint16 port = closedPort();
    UdpPendantLink link;
    link.setTiming(Fast);
    link.Open(QStringLiteral("TPComm"), optionsFor(port));
    QTRY_COMPARE_WITH_TIMEOUT(link.health()->state(), State::NoController, Generous);
    {
        UdpPeer peer(QHostAddress::LocalHost, port);
        QVERIFY(peer.bound());
        peer.answersPings = true;
        QTRY_COMPARE_WITH_TIMEOUT(link.health()->state(), State::Answering, Generous);
        // The controller's messages reach the windows: the bounces before did not stop the reads.
        int raised = 0;
        connect(&link, &IPendantLink::OnMessage, this, [&](ILinkMessage &, qint32) { ++raised; });
        for (int i = 0; i < 3; ++i)
            peer.sendMessage(256, Variant(int32_t(5)), link.localPort());
        QTRY_COMPARE_WITH_TIMEOUT(raised, 3, Generous);
    }
    QTRY_COMPARE_WITH_TIMEOUT(link.health()->state(), State::NoController, Generous);
    QCOMPARE(link.counters().sendFailures, quint64(0));
}

void TestLinkHealth::healthIsOnlyKnownWhileOpen()
{
    const quint16 port = closedPort();
    UdpPendantLink link;
    link.setTiming(Fast);
    QCOMPARE(link.health()->state(), State::Unknown);
    QCOMPARE(link.health()->controller(), QString());
    link.Open(QStringLiteral("TPComm"), optionsFor(port));
    const quint32 first = link.sessionId();
    QCOMPARE(link.health()->controller(), QStringLiteral("127.0.0.1:%1").arg(port));
    QTRY_COMPARE_WITH_TIMEOUT(link.health()->state(), State::NoController, Generous);
    link.Close();
    QCOMPARE(link.health()->state(), State::Unknown);
    QCOMPARE(link.health()->text(), QString());
    QTest::qWait(3 * Fast.pingMs);
    QCOMPARE(link.health()->state(), State::Unknown);
    // A new opening is a new session.
    link.Open(QStringLiteral("TPComm"), optionsFor(port));
    QVERIFY(link.sessionId() != first);
}

QTEST_GUILESS_MAIN(TestLinkHealth)
#include "tst_linkhealth.moc"
