// The built program ended by SIGTERM, SIGINT and SIGHUP while the user holds a key with the
// mouse (real X input): it lets the key go and reports it, closes what it opened, and exits 0.
#include "host/dbusvalue.h"
#include "keytargets.h"
#include "link/linkwire.h"
#include "support/keybits.h"
#include "support/privatebus.h"
#include "support/udppeer.h"
#include "xinput.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QProcess>
#include <QTest>

#include <csignal>

using namespace tarvisk;
using namespace tarvisk::soak;
using namespace tarvisk::testing;

namespace {

const QString kName = QStringLiteral("ZephProv.Halvex.Tarvisk");
const QString kRoot = QStringLiteral("/ZephProv/Halvex/Tarvisk");
const QString kController = QStringLiteral("ZephProv.IProviderController");
constexpr int kOkCode = 14;
constexpr int kManCode = 4; // the mode switch on MAN, the default mode

} // namespace

class TestSignals : public QObject
{
    Q_OBJECT

    XInput x;
    PendantLayout layout;
    QProcess tarvisk;

    void startTarvisk(const QStringList &arguments, const QProcessEnvironment &env)
    {
        tarvisk.setProcessEnvironment(env);
        tarvisk.setProcessChannelMode(QProcess::ForwardedChannels);
        tarvisk.start(qEnvironmentVariable("TARVISK_EXE"), arguments);
        QVERIFY(tarvisk.waitForStarted(10000));
    }

    // Holds the left button down on OK of the standard pendant, the way a person does.
    void holdOk()
    {
        uint32_t window = 0;
        QRect rect;
        QTRY_VERIFY_WITH_TIMEOUT((window = x.findWindow(layout.title)) != 0 && x.windowRect(window, &rect), 15000);
        QCOMPARE(rect.size(), layout.size);
        const auto ok = std::find_if(layout.keys.begin(), layout.keys.end(),
                                     [](const KeyTarget &t) { return t.name == u"TP_KEY_OK"; });
        QVERIFY(ok != layout.keys.end() && !ok->points.isEmpty());
        x.moveTo(rect.topLeft() + ok->points.at(ok->points.size() / 2));
        x.press();
        x.sync();
    }

    static void addSignalRows()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    void endWith(int signalNumber)
    {
        QCOMPARE(::kill(pid_t(tarvisk.processId()), signalNumber), 0);
        QVERIFY(tarvisk.waitForFinished(20000));
        QCOMPARE(tarvisk.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tarvisk.exitCode(), 0);
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(x.open(&error), qPrintable(error));
        // The layout as the program builds it, on the same X server.
        layout = standardPendantLayout();
        QVERIFY(!layout.keys.isEmpty());
        registerDBusValueTypes();
    }

    void cleanup()
    {
        x.release();
        x.sync();
        if (tarvisk.state() != QProcess::NotRunning) {
            tarvisk.kill();
            tarvisk.waitForFinished(5000);
        }
    }

    void standaloneLetsGoAndClosesTheLink_data() { addSignalRows(); }
    void standaloneLetsGoAndClosesTheLink()
    {
        QFETCH(int, signalNumber);
        UdpPeer controller;
        QVERIFY(controller.bound());
        startTarvisk({QStringLiteral("127.0.0.1"), QString::number(controller.port()), QStringLiteral("127.0.0.1"),
                      QStringLiteral("0"), QStringLiteral("0")},
                     QProcessEnvironment::systemEnvironment());
        // The first key state comes with the first-connection tick.
        QTRY_VERIFY_WITH_TIMEOUT(!controller.keyStates().isEmpty(), 20000);
        QCOMPARE(controller.keyStates().last(), bitmapOf({kManCode}));
        holdOk();
        if (QTest::currentTestFailed())
            return;
        const QByteArray held = bitmapOf({kManCode, kOkCode});
        QTRY_VERIFY_WITH_TIMEOUT(controller.keyStates().contains(held), 10000);

        endWith(signalNumber);
        if (QTest::currentTestFailed())
            return;
        QTRY_VERIFY_WITH_TIMEOUT(
            !controller.datagrams().isEmpty() && controller.datagrams().last().kind == linkwire::Kind::Close, 5000);
        // The key let go (the switch stays), then nothing held, then the close.
        const QList<QByteArray> states = controller.keyStates();
        QCOMPARE(states.mid(states.indexOf(held)), (QList<QByteArray>{held, bitmapOf({kManCode}), bitmapOf({})}));
        // Nothing between that last state and the close.
        QList<linkwire::Datagram> sent = controller.datagrams();
        sent.removeIf([](const linkwire::Datagram &d) { return d.heartbeat; });
        QVERIFY(sent.size() >= 2);
        QCOMPARE(sent.at(sent.size() - 2).kind, linkwire::Kind::Exec);
    }

    void hostedLetsGoAndGivesUpTheName_data() { addSignalRows(); }
    void hostedLetsGoAndGivesUpTheName()
    {
        QFETCH(int, signalNumber);
        PrivateBus bus;
        QString error;
        QVERIFY2(bus.start({}, &error), qPrintable(error));
        const QString connectionName = QStringLiteral("client%1").arg(signalNumber);
        QDBusConnection client = QDBusConnection::connectToBus(bus.address(), connectionName);
        QVERIFY(client.isConnected());
        startTarvisk({QStringLiteral("--automation")}, bus.environment());
        QTRY_VERIFY_WITH_TIMEOUT(client.interface()->isServiceRegistered(kName).value(), 15000);

        const auto call = [&](const QString &path, const QString &interface, const QString &method,
                              const QVariantList &arguments = {}) {
            QDBusMessage m = QDBusMessage::createMethodCall(kName, path, interface, method);
            m.setArguments(arguments);
            return client.call(m, QDBus::Block, 15000);
        };
        const auto tagged = [](const Variant &v) { return QVariant::fromValue(DBusValue(v)); };
        const QDBusMessage made = call(kRoot, QStringLiteral("ZephProv.Halvex.Tarvisk.Provider"),
                                       QStringLiteral("CreateController"), {QString()});
        QCOMPARE(made.type(), QDBusMessage::ReplyMessage);
        const QString controller = qdbus_cast<QDBusObjectPath>(made.arguments().first()).path();
        QCOMPARE(call(controller, kController, QStringLiteral("FinalConnect"),
                      {tagged(Variant::array({Variant(), Variant("PendantType=0"), Variant()}))})
                     .arguments()
                     .value(0),
                 QVariant(0));
        QCOMPARE(call(controller, kController, QStringLiteral("FinalExecute"), {QStringLiteral("show"), tagged({})})
                     .arguments()
                     .value(0),
                 QVariant(0));
        // Messages by number, as they are fetched.
        QList<int> numbers;
        const auto fetch = [&] {
            for (;;) {
                const QDBusMessage r = call(controller, kController, QStringLiteral("GetMessage"));
                const QString path = qdbus_cast<QDBusObjectPath>(r.arguments().value(1)).path();
                if (path.isEmpty() || path == u"/")
                    return;
                numbers << call(path, QStringLiteral("ZephProv.IProviderMessage"), QStringLiteral("FinalGetNumber"))
                               .arguments()
                               .value(1)
                               .toInt();
                call(path, QStringLiteral("ZephProv.Halvex.Tarvisk.Handle"), QStringLiteral("Release"));
            }
        };
        // The keys are taken after the first-connection tick has announced "CONNECT".
        QTRY_VERIFY_WITH_TIMEOUT((fetch(), numbers.contains(0)), 15000);
        QVERIFY(client.connect(kName, controller, QStringLiteral("ZephProv.Halvex.Tarvisk.Queue"),
                               QStringLiteral("MessageQueued"), this, SLOT(onQueued(uint))));
        holdOk();
        if (QTest::currentTestFailed())
            return;
        QTRY_VERIFY_WITH_TIMEOUT((fetch(), numbers.contains(1)), 10000);
        // An announcement came; whatever was queued meanwhile is fetched, so the queue is empty
        // when the signal arrives.
        QTRY_VERIFY_WITH_TIMEOUT(!m_queued.isEmpty(), 5000);
        fetch();
        m_queued.clear();

        endWith(signalNumber);
        if (QTest::currentTestFailed())
            return;
        // Messages 2 and 3 of the key and the final 0 were queued and announced before the end.
        // (An announcement made before the queue was drained may still come first.)
        QTRY_VERIFY_WITH_TIMEOUT(!m_queued.isEmpty() && m_queued.last() == 3u, 5000);
        QVERIFY(!client.interface()->isServiceRegistered(kName).value());
        QDBusConnection::disconnectFromBus(connectionName);
        bus.stop();
    }

public slots:
    void onQueued(uint queued) { m_queued << queued; }

private:
    QList<uint> m_queued;
};

QTEST_MAIN(TestSignals)
#include "test_signals.moc"
