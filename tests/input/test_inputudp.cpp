// Two hands on one desk, end to end: a standalone start over the real UDP link, the enabling
// switch and J1+ held together, and a test socket on 127.0.0.1 in the controller's place.
#include "inputtest.h"
#include "link/linkwire.h"
#include "link/udplink.h"
#include "pendant/frmtp.h"
#include "pendant/pendants.h"
#include "provider/provstate.h"
#include "provider/startup.h"

#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>

using namespace tarvisk;
using namespace tarvisk::inputtest;

class TestInputUdp : public QObject
{
    Q_OBJECT

    QUdpSocket *controller = nullptr;
    std::unique_ptr<ConfigHome> home;
    frmTP *tp = nullptr;

    // The key states that reached the socket so far, heartbeats included.
    QList<QByteArray> keyStates()
    {
        QList<QByteArray> out;
        while (controller->hasPendingDatagrams()) {
            const linkwire::Decoded d = linkwire::decode(controller->receiveDatagram().data());
            if (d.status == linkwire::DecodeStatus::Ok && d.datagram.kind == linkwire::Kind::Exec &&
                d.datagram.command == QLatin1String("SetKeyState") && d.datagram.value.bytes())
                m_states << *d.datagram.value.bytes();
        }
        out = m_states;
        return out;
    }
    bool reached(const QList<int> &codes)
    {
        const QList<QByteArray> states = keyStates();
        return std::any_of(states.begin(), states.end(), [&](const QByteArray &b) { return codesOf(b) == codes; });
    }
    QList<QByteArray> m_states;

private slots:
    void init()
    {
        resetProcessState();
        registerPendantWindows();
        home = std::make_unique<ConfigHome>();
        m_states.clear();
        controller = new QUdpSocket(this);
        QVERIFY(controller->bind(QHostAddress::LocalHost, 0));
        StartupEnvironment env;
        env.commandLine = QStringLiteral("127.0.0.1 %1 127.0.0.1 0 0").arg(controller->localPort());
        env.createLink = [] { return std::make_shared<UdpPendantLink>(); };
        Main(env);
        QVERIFY(g_Standalone);
        tp = static_cast<frmTP *>(existingPendantWindow(PendantKind::Standard));
        QVERIFY(tp && tp->isVisible());
        emit tp->firstConnectionTimer()->Timer();
    }
    void cleanup()
    {
        resetProcessState();
        delete controller;
        controller = nullptr;
        home.reset();
    }

    void keyboardHoldsTheEnablingSwitchAndJ1Plus()
    {
        keyDown(tp, Qt::Key_Space);
        keyDown(tp, Qt::Key_1);
        QTRY_VERIFY_WITH_TIMEOUT(reached({4, 48, 51}), 5000); // the switch on MAN, DEAD and J1+
        keyUp(tp, Qt::Key_1);
        keyUp(tp, Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(codesOf(keyStates().last()) == QList<int>{4}, 5000);
    }

    void mouseHoldsTheEnablingSwitchAndJ1Plus()
    {
        const QPoint body(3, 200);
        const QPoint plusJ1 = centreIn(tp, tp->hardKey(14));
        QTest::mousePress(tp, Qt::RightButton, {}, body);
        QTest::mousePress(tp, Qt::LeftButton, {}, plusJ1);
        QTRY_VERIFY_WITH_TIMEOUT(reached({4, 48, 51}), 5000);
        QTest::mouseRelease(tp, Qt::LeftButton, {}, plusJ1);
        QTest::mouseRelease(tp, Qt::RightButton, {}, body);
        QTRY_VERIFY_WITH_TIMEOUT(codesOf(keyStates().last()) == QList<int>{4}, 5000);
    }
};

QObject *makeInputUdpTest()
{
    return new TestInputUdp;
}

#include "test_inputudp.moc"
