// Two hands on one desk, end to end: a standalone start over the real UDP link, the enabling
// switch and J1+ held together, and a test socket on 127.0.0.1 in the controller's place.
#include "inputtest.h"
#include "link/udplink.h"
#include "pendant/frmtp.h"
#include "pendant/pendants.h"
#include "provider/provstate.h"
#include "provider/startup.h"
#include "support/udppeer.h"

#include <QTest>

using namespace tarvisk;
using namespace tarvisk::inputtest;

class TestInputUdp : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::UdpPeer> controller;
    std::unique_ptr<ConfigHome> home;
    frmTP *tp = nullptr;

    // Whether one key state with exactly these codes reached the socket, heartbeats included.
    bool reached(const QList<int> &codes)
    {
        const QList<QByteArray> states = controller->keyStates(true);
        return std::any_of(states.begin(), states.end(), [&](const QByteArray &b) { return codesOf(b) == codes; });
    }
    QList<int> lastState()
    {
        const QList<QByteArray> states = controller->keyStates(true);
        return states.isEmpty() ? QList<int>() : codesOf(states.last());
    }

private slots:
    void init()
    {
        testing::startPendantProcess();
        home = std::make_unique<ConfigHome>();
        controller = std::make_unique<testing::UdpPeer>();
        QVERIFY(controller->bound());
        StartupEnvironment env;
        env.commandLine = QStringLiteral("127.0.0.1 %1 127.0.0.1 0 0").arg(controller->port());
        env.createLink = [] { return std::make_shared<UdpPendantLink>(); };
        Main(env);
        QVERIFY(g_Standalone);
        tp = testing::pendantOf<frmTP>(PendantKind::Standard);
        QVERIFY(tp && tp->isVisible());
        emit tp->firstConnectionTimer()->Timer();
    }
    void cleanup()
    {
        resetProcessState();
        controller.reset();
        home.reset();
    }

    void keyboardHoldsTheEnablingSwitchAndJ1Plus()
    {
        keyDown(tp, Qt::Key_Space);
        keyDown(tp, Qt::Key_1);
        QTRY_VERIFY_WITH_TIMEOUT(reached({4, 48, 51}), 5000); // the switch on MAN, DEAD and J1+
        keyUp(tp, Qt::Key_1);
        keyUp(tp, Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(lastState() == QList<int>{4}, 5000);
    }

    void mouseHoldsTheEnablingSwitchAndJ1Plus()
    {
        const QPoint body(3, 200);
        const QPoint plusJ1 = centreIn(tp->hardKey(14));
        QTest::mousePress(tp, Qt::RightButton, {}, body);
        QTest::mousePress(tp, Qt::LeftButton, {}, plusJ1);
        QTRY_VERIFY_WITH_TIMEOUT(reached({4, 48, 51}), 5000);
        QTest::mouseRelease(tp, Qt::LeftButton, {}, plusJ1);
        QTest::mouseRelease(tp, Qt::RightButton, {}, body);
        QTRY_VERIFY_WITH_TIMEOUT(lastState() == QList<int>{4}, 5000);
    }
};

QObject *makeInputUdpTest()
{
    return new TestInputUdp;
}

#include "test_inputudp.moc"
