// A standalone start end to end: Main with a command line, the real UDP link, the standard
// pendant, and a test socket on 127.0.0.1 playing the robot controller.
#include "common/diagnostics.h"
#include "link/linkwire.h"
#include "link/udplink.h"
#include "pendant/frmtp.h"
#include "pendant/pendants.h"
#include "provider/provstate.h"
#include "provider/startup.h"
#include "support/pendantprocess.h"
#include "support/udppeer.h"

#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

using namespace tarvisk;
using namespace tarvisk::testing;

class TestStandalone : public QObject
{
    Q_OBJECT

    std::unique_ptr<UdpPeer> controller;
    frmTP *tp = nullptr;
    UdpPendantLink *link = nullptr;

    // The key states the controller got, heartbeats left out unless asked for.
    QList<QByteArray> keyStates(bool withHeartbeats = false) { return controller->keyStates(withHeartbeats); }

    void send(int number, const Variant &value, UdpPeer *from = nullptr, UdpPendantLink *to = nullptr)
    {
        (from ? from : controller.get())->sendMessage(number, value, (to ? to : link)->localPort());
    }

private slots:
    void init()
    {
        resetProcessState();
        registerPendantWindows();
        controller = std::make_unique<UdpPeer>();
        QVERIFY(controller->bound());
        StartupEnvironment env;
        env.commandLine = QStringLiteral("127.0.0.1 %1 127.0.0.1 0").arg(controller->port());
        env.createLink = [] {
            auto link = std::make_shared<UdpPendantLink>();
            link->setTiming({100, 400});
            return link;
        };
        Main(env);
        QVERIFY(g_Standalone);
        link = static_cast<UdpPendantLink *>(g_TPComm.get());
        QVERIFY(link && link->isOpen());
        tp = pendantOf<frmTP>(PendantKind::Standard);
        QVERIFY(tp && tp->isVisible());
        emit tp->firstConnectionTimer()->Timer(); // the 3 s wait, without waiting
    }
    void cleanup()
    {
        resetProcessState();
        controller.reset();
    }

    void openingSequence()
    {
        QTRY_VERIFY_WITH_TIMEOUT(controller->datagrams().size() >= 3, 5000);
        const QList<linkwire::Datagram> received = controller->datagrams();
        QCOMPARE(received[0].kind, linkwire::Kind::Hello);
        QCOMPARE(received[0].name, QStringLiteral("TPComm"));
        QCOMPARE(received[1].kind, linkwire::Kind::Set);
        QCOMPARE(received[1].name, QStringLiteral("@Enabled"));
        QCOMPARE(received[1].value, Variant(true));
        // The default mode put the switch on MAN (code 4) at the first tick.
        QCOMPARE(keyStates().first(), QByteArray("\x10\0\0\0\0\0\0\0", 8));
    }

    void okClickSetsThenClearsBit14()
    {
        QWidget *ok = tp->hardKey(7);
        QTest::mousePress(ok, Qt::LeftButton, {}, ok->rect().center());
        QTRY_VERIFY_WITH_TIMEOUT(keyStates().size() >= 2, 5000);
        QCOMPARE(keyStates().last(), QByteArray("\x10\x40\0\0\0\0\0\0", 8));
        QTest::mouseRelease(ok, Qt::LeftButton, {}, ok->rect().center());
        QTRY_VERIFY_WITH_TIMEOUT(keyStates().size() >= 3, 5000);
        QCOMPARE(keyStates().last(), QByteArray("\x10\0\0\0\0\0\0\0", 8));
    }

    void heartbeatResendsTheHeldState()
    {
        QTest::mousePress(tp->hardKey(5), Qt::LeftButton, {}, {5, 5}); // STOP, code 2
        const QByteArray held("\x14\0\0\0\0\0\0\0", 8);
        QTRY_VERIFY_WITH_TIMEOUT(keyStates(true).count(held) >= 3, 5000);
        QTest::mouseRelease(tp->hardKey(5), Qt::LeftButton, {}, {5, 5});
    }

    void controllerMessagesDriveTheWindow()
    {
        send(257, Variant::array({2, 1}));
        send(256, Variant(-1));
        QTRY_VERIFY_WITH_TIMEOUT(tp->leds()->isLit(1) && tp->beeperIcon()->isVisible(), 5000);
        send(257, Variant::array({1, 0}));
        QTRY_VERIFY_WITH_TIMEOUT(!tp->leds()->isLit(0), 5000);
        // A liveness check is answered with Empty.
        send(0, Variant(5));
        QTRY_VERIFY_WITH_TIMEOUT(!controller->ofKind(linkwire::Kind::Reply).isEmpty(), 5000);
    }

    void foreignAndMalformedDatagramsAreDropped()
    {
        UdpPeer stranger;
        QVERIFY(stranger.bound());
        const quint64 before = link->counters().droppedForeign;
        send(257, Variant::array({2, 1}), &stranger);
        stranger.sendRaw(QByteArray("\xff\x00garbage", 9), link->localPort());
        controller->sendRaw(QByteArray("\xa1\x61k", 3), link->localPort());
        QTRY_VERIFY_WITH_TIMEOUT(link->counters().droppedForeign >= before + 2, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(link->counters().droppedMalformed >= 1, 5000);
        QVERIFY(!tp->leds()->isLit(1)); // the window is unchanged
    }

    // The test's socket takes the datagrams and answers nothing: silent. A message from it
    // ends that; once it is gone the datagrams bounce. The title and the window's tool tip say
    // so, and not one control moves.
    void titleAndToolTipTellWhetherTheControllerAnswers()
    {
        const QString caption = QStringLiteral("Halvex Pendant");
        QMap<QObject *, QRect> places;
        for (QWidget *w : tp->findChildren<QWidget *>())
            places.insert(w, w->geometry());
        const QSize size = tp->size();

        QTRY_COMPARE_WITH_TIMEOUT(tp->windowTitle(), caption + QStringLiteral(" (controller silent for 1 s)"), 5000);
        QVERIFY(tp->toolTip().contains(QStringLiteral("has sent nothing")));
        // Asked over a key, the window's tool tip shows.
        QWidget *key = tp->hardKey(7);
        QHelpEvent help(QEvent::ToolTip, key->rect().center(), key->mapToGlobal(key->rect().center()));
        QCoreApplication::sendEvent(key, &help);
        QTRY_COMPARE_WITH_TIMEOUT(QToolTip::text(), tp->toolTip(), 5000);

        send(258, Variant("anything"));
        QTRY_COMPARE_WITH_TIMEOUT(tp->windowTitle(), caption, 5000);
        QCOMPARE(tp->toolTip(), QString());

        const quint16 port = controller->port();
        controller->socket().close();
        QTRY_COMPARE_WITH_TIMEOUT(tp->windowTitle(),
                                  caption + QStringLiteral(" (no controller at 127.0.0.1:%1)").arg(port), 5000);
        QVERIFY(tp->toolTip().contains(QStringLiteral("Start the controller")));

        for (QWidget *w : tp->findChildren<QWidget *>()) {
            if (places.contains(w))
                QCOMPARE(w->geometry(), places.value(w));
        }
        QCOMPARE(tp->size(), size);
    }

    // The mini and old pendants show it the same way, after their own captions.
    void everyPendantShowsTheHealth_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("caption");
        QTest::newRow("mini") << 1 << QStringLiteral("Halvex Mini Pendant");
        QTest::newRow("old") << -1 << QStringLiteral("Halvex Pendant");
    }
    void everyPendantShowsTheHealth()
    {
        QFETCH(int, type);
        QFETCH(QString, caption);
        resetProcessState();
        registerPendantWindows();
        StartupEnvironment env;
        env.commandLine = QStringLiteral("127.0.0.1 %1 127.0.0.1 0 %2").arg(controller->port()).arg(type);
        env.createLink = [] {
            auto link = std::make_shared<UdpPendantLink>();
            link->setTiming({100, 400});
            return link;
        };
        QVERIFY(Main(env));
        QWidget *window = existingPendantWindow(PendantKind(type))->widget();
        QVERIFY(window->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), caption + QStringLiteral(" (controller silent for 1 s)"),
                                  5000);
        send(258, Variant(), nullptr, static_cast<UdpPendantLink *>(g_TPComm.get()));
        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), caption, 5000);
        QCOMPARE(window->toolTip(), QString());
    }

    void closingTheWindowClosesTheLink()
    {
        QTest::mousePress(tp->hardKey(5), Qt::LeftButton, {}, {5, 5});
        QVERIFY(tp->close());
        QVERIFY(!g_TPComm);
        QTRY_VERIFY_WITH_TIMEOUT(
            !controller->datagrams().isEmpty() && controller->datagrams().last().kind == linkwire::Kind::Close, 5000);
        // The last key state before the close holds nothing, not even the switch.
        QCOMPARE(keyStates(true).last(), QByteArray(8, '\0'));
    }
};

QTEST_MAIN(TestStandalone)
#include "test_standalone.moc"
