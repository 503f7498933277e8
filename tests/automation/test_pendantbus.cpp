// The pendant interface on a private bus, served in this process over the real windows, read by
// a client on a connection of its own: standalone against a UDP socket playing the controller,
// and hosted beside the provider's objects.
#include "automation/pendantbus.h"
#include "automation/pendantobject.h"
#include "common/diagnostics.h"
#include "common/unitbitmap.h"
#include "host/dbusvalue.h"
#include "host/hostservice.h"
#include "link/udplink.h"
#include "pendant/frmminitp.h"
#include "pendant/frmtp.h"
#include "pendant/minidisplay.h"
#include "pendantclient.h"
#include "provider/provstate.h"
#include "provider/startup.h"
#include "support/displaytest.h"
#include "support/pendantprocess.h"
#include "support/privatebus.h"
#include "support/udppeer.h"

#include <QDBusConnectionInterface>
#include <QTest>

using namespace tarvisk;
using namespace tarvisk::testing;

namespace {

const QString kControllerIface = QStringLiteral("ZephProv.IProviderController");
const QString kProviderIface = QStringLiteral("ZephProv.Halvex.Tarvisk.Provider");

QVariant tagged(const Variant &v)
{
    return QVariant::fromValue(DBusValue(v));
}

} // namespace

class TestPendantBus : public QObject, protected PendantBusFixture
{
    Q_OBJECT

    std::unique_ptr<HostService> host;
    std::unique_ptr<PendantBus> pendant;
    std::unique_ptr<UdpPeer> controller;

    QString standaloneService() const { return PendantBus::kStandalonePrefix + QStringLiteral("t1"); }

    // A standalone start of the pendant type against the test's controller socket, scriptable
    // as "t1". The first-connection tick is left to the test.
    void startStandalone(int type)
    {
        pendant = std::make_unique<PendantBus>(serviceBus);
        QString error;
        QVERIFY2(pendant->publish(&error) && pendant->claimName(QStringLiteral("t1"), &error), qPrintable(error));
        controller = std::make_unique<UdpPeer>();
        StartupEnvironment env;
        env.commandLine = QStringLiteral("127.0.0.1 %1 127.0.0.1 0 %2").arg(controller->port()).arg(type);
        env.createLink = [] { return std::make_shared<UdpPendantLink>(); };
        QVERIFY(Main(env));
    }

    quint16 linkPort() const { return static_cast<UdpPendantLink *>(g_TPComm.get())->localPort(); }

    // The provider and the pendant interface on one connection, as `tarvisk --automation` serves.
    void startHosted()
    {
        host = std::make_unique<HostService>(serviceBus);
        QVERIFY2(host->start(), qPrintable(host->lastError()));
        pendant = std::make_unique<PendantBus>(serviceBus);
        QString error;
        QVERIFY2(pendant->publish(&error), qPrintable(error));
    }

    QDBusMessage hostCall(const QString &path, const QString &iface, const QString &method, const QVariantList &args)
    {
        QDBusMessage m = QDBusMessage::createMethodCall(HostService::kServiceName, path, iface, method);
        m.setArguments(args);
        return callServed(clientBus, m);
    }

    // A controller made and connected by the client over the bus; its path.
    QString connectHosted(const QString &options)
    {
        const QDBusMessage created =
            hostCall(HostService::kRootPath, kProviderIface, QStringLiteral("CreateController"), {QString()});
        const QString path = qdbus_cast<QDBusObjectPath>(created.arguments().value(0)).path();
        const QDBusMessage r = hostCall(path, kControllerIface, QStringLiteral("FinalConnect"),
                                        {tagged(Variant::array({Variant(), Variant(options), Variant()}))});
        return r.arguments().value(0).toInt() == 0 ? path : QString();
    }

    int execute(const QString &path, const QString &command, const Variant &parameter = {})
    {
        const QDBusMessage r =
            hostCall(path, kControllerIface, QStringLiteral("FinalExecute"), {command, tagged(parameter)});
        return r.type() == QDBusMessage::ReplyMessage ? r.arguments().value(0).toInt() : -1000;
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(startBus(&error), qPrintable(error));
    }
    void cleanupTestCase() { stopBus(); }
    void init() { startTest(); }

    void cleanup()
    {
        pendant.reset();
        host.reset();
        resetProcessState();
        controller.reset();
        diagnostics.reset();
    }

    // Link messages 257 and 256 show in GetLeds and GetBeeper, and raise their signals; every
    // request does, also one that leaves the LED as it was.
    void linkMessagesRaiseLedAndBeeperSignals()
    {
        startStandalone(0);
        PendantClient client(clientBus, standaloneService());
        QVERIFY(client.listen());
        // The standard pendant starts with LED 1 lit and LED 2 dark.
        QCOMPARE(client.leds(), (QStringList{QStringLiteral("1:1:1"), QStringLiteral("2:0:0")}));

        controller->sendMessage(257, Variant::array({2, 1}), linkPort());
        QVERIFY2(client.waitForSignal(QStringLiteral("LedChanged 2 1")), qPrintable(client.signalsSeen().join(u'|')));
        QCOMPARE(client.leds(), (QStringList{QStringLiteral("1:1:1"), QStringLiteral("2:1:1")}));
        controller->sendMessage(257, Variant::array({1, 1}), linkPort());
        QVERIFY(client.waitForSignal(QStringLiteral("LedChanged 1 1")));
        controller->sendMessage(257, Variant::array({1, 2}), linkPort());
        QVERIFY(client.waitForSignal(QStringLiteral("LedChanged 1 2")));
        QVERIFY(client.leds().first().startsWith(u"1:2:"));
        // LEDs the window does not have, and modes that mean nothing, raise nothing.
        controller->sendMessage(257, Variant::array({3, 1}), linkPort());
        controller->sendMessage(257, Variant::array({2, 7}), linkPort());
        controller->sendMessage(257, Variant::array({2, 0}), linkPort());
        QVERIFY(client.waitForSignal(QStringLiteral("LedChanged 2 0")));
        QCOMPARE(client.signalsSeen().filter(QStringLiteral("LedChanged")).size(), 4);

        controller->sendMessage(256, Variant(5000), linkPort());
        QVERIFY(client.waitForSignal(QStringLiteral("BeeperChanged true 5000")));
        const QDBusMessage beeper = client.call(QStringLiteral("GetBeeper"));
        QCOMPARE(beeper.arguments().value(0).toBool(), true);
        const int left = beeper.arguments().value(1).toInt();
        QVERIFY2(left > 0 && left <= 5000, qPrintable(QString::number(left)));
        // A new request restarts the time; a timed sound ends by itself.
        controller->sendMessage(256, Variant(100), linkPort());
        QVERIFY(client.waitForSignal(QStringLiteral("BeeperChanged true 100")));
        QVERIFY(client.waitForSignal(QStringLiteral("BeeperChanged false 0"), 3000));
        QCOMPARE(client.call(QStringLiteral("GetBeeper")).arguments(), (QVariantList{false, 0}));
        controller->sendMessage(256, Variant(-1), linkPort());
        QVERIFY(client.waitForSignal(QStringLiteral("BeeperChanged true -1")));
        QCOMPARE(client.call(QStringLiteral("GetBeeper")).arguments(), (QVariantList{true, -1}));
    }

    void stateFollowsTheFirstTick()
    {
        startStandalone(-1);
        PendantClient client(clientBus, standaloneService());
        QVERIFY(client.listen());
        QCOMPARE(client.value(QStringLiteral("GetState")).toString(), QStringLiteral("DISCONNECT"));
        QCOMPARE(client.value(QStringLiteral("GetPendantType")).toInt(), -1);
        auto *window = dynamic_cast<PendantWindowBase *>(existingPendantWindow(PendantKind::Old));
        QVERIFY(window);
        emit window->firstConnectionTimer()->Timer();
        QVERIFY(client.waitForSignal(QStringLiteral("StateChanged CONNECT")));
        QCOMPARE(client.value(QStringLiteral("GetState")).toString(), QStringLiteral("CONNECT"));
        // The default mode chose MAN at the tick; the bitmap the controller got says so too.
        QCOMPARE(client.value(QStringLiteral("GetHeldKeys")).toStringList(), QStringList{QStringLiteral("TP_KEY_MAN")});
        QCOMPARE(client.value(QStringLiteral("GetKeyState")).toByteArray(), QByteArray("\x10\0\0\0\0\0\0\0", 8));
        QTRY_VERIFY_WITH_TIMEOUT(controller->keyStates().contains(QByteArray("\x10\0\0\0\0\0\0\0", 8)), 5000);
    }

    // The link's health as the title shows it: the controller it sends to, and no controller once
    // the datagrams bounce; a hosted pendant has no such link.
    void linkStatusFollowsTheLink()
    {
        startStandalone(0);
        PendantClient client(clientBus, standaloneService());
        QVERIFY(client.listen());
        const QString endpoint = QStringLiteral("127.0.0.1:%1").arg(controller->port());
        QDBusMessage reply = client.call(QStringLiteral("GetLinkStatus"));
        QCOMPARE(reply.arguments().size(), 3);
        QVERIFY2(QStringList({QStringLiteral("UNKNOWN"), QStringLiteral("ANSWERING")})
                     .contains(reply.arguments().value(0).toString()),
                 qPrintable(reply.arguments().value(0).toString()));
        QCOMPARE(reply.arguments().value(1).toString(), QString());
        QCOMPARE(reply.arguments().value(2).toString(), endpoint);

        controller.reset(); // the port closes: what the pendant sends now comes back
        auto *window = dynamic_cast<PendantWindowBase *>(existingPendantWindow(PendantKind::Standard));
        QVERIFY(window);
        emit window->firstConnectionTimer()->Timer(); // sends the key state
        const QString text = QStringLiteral("no controller at ") + endpoint;
        QVERIFY(client.waitForSignal(QStringLiteral("LinkStatusChanged NOCONTROLLER ") + text, 10000));
        reply = client.call(QStringLiteral("GetLinkStatus"));
        QCOMPARE(reply.arguments().value(0).toString(), QStringLiteral("NOCONTROLLER"));
        QCOMPARE(reply.arguments().value(1).toString(), text);
        QVERIFY(window->windowTitle().endsWith(QStringLiteral("(%1)").arg(text)));
    }

    // A drawing list from a hosted client over the bus: GetDisplay holds, unit for unit, what
    // the window paints, and the PNG every pixel of the surface.
    void hostedDrawingShowsInGetDisplay()
    {
        startHosted();
        PendantClient client(clientBus, HostService::kServiceName);
        QVERIFY(client.listen());
        const QString path = connectHosted(QStringLiteral("PendantType=1"));
        QVERIFY(!path.isEmpty());
        QCOMPARE(execute(path, QStringLiteral("show")), 0);
        using namespace displaytest;
        const Variant drawing =
            list({fill(0), box(0, 0, 126, 62), fill(15), pen(15), box(2, 2, 123, 59), fill(255), pen(0),
                  text(QStringLiteral("MENU"), Variant(4), Variant(4)), line(0, 14, 125, 14), fill(15),
                  text(QStringLiteral("1 Jog"), Variant(10), Variant(20), Variant(0), Variant(1)), fill(255),
                  text(QStringLiteral("2 Info"), Variant(10), Variant(32), Variant(4))});
        QCOMPARE(execute(path, QStringLiteral("drawminitp"), drawing), 0);
        QVERIFY(client.waitForSignal(QStringLiteral("DisplayChanged")));
        QCOMPARE(client.value(QStringLiteral("GetLinkStatus")).toString(), QStringLiteral("NONE"));

        const QDBusMessage reply = client.call(QStringLiteral("GetDisplay"));
        QCOMPARE(reply.arguments().value(0).toUInt(), 126u);
        QCOMPARE(reply.arguments().value(1).toUInt(), 62u);
        const QByteArray bits = reply.arguments().value(2).toByteArray();
        QCOMPARE(bits.size(), 16 * 62);

        auto *mini = pendantOf<frmMiniTP>(PendantKind::Mini);
        const QImage window = mini->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRect inner = MiniDisplay::outerRect().adjusted(1, 1, -1, -1);
        int lit = 0, wrong = 0;
        for (int y = 0; y < 62; ++y) {
            for (int x = 0; x < 126; ++x) {
                bool dark = false;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx)
                        dark |= window.pixel(inner.x() + 2 * x + dx, inner.y() + 2 * y + dy) != Back;
                lit += dark;
                wrong += dark != unitbitmap::isLit(bits, 126, x, y);
            }
        }
        QCOMPARE(wrong, 0);
        QVERIFY(lit > 126 * 2 + 62 * 2); // the frame and more
        const QStringList rows = unitbitmap::textRows(bits);
        QCOMPARE(rows[0], QString(126, u'#'));              // the black box's edge
        QCOMPARE(rows[14].mid(2, 122), QString(122, u'#')); // the rule

        const QImage png = QImage::fromData(client.value(QStringLiteral("GetDisplayPng"), {3u}).toByteArray(), "PNG");
        QCOMPARE(png.size(), QSize(252 * 3, 124 * 3));
        const QImage surface = mini->display().image();
        int differing = 0;
        for (int y = 0; y < 124; ++y)
            for (int x = 0; x < 252; ++x)
                differing += png.pixel(3 * x + 1, 3 * y + 1) != surface.pixel(x, y);
        QCOMPARE(differing, 0);
        const QImage shot = QImage::fromData(client.value(QStringLiteral("GetWindowPng")).toByteArray(), "PNG");
        QCOMPARE(shot.size(), mini->size() * mini->devicePixelRatio());
    }

    // The interface stands for whichever window is loaded, and for none between connections.
    void hostedFollowsTheLoadedWindow()
    {
        startHosted();
        PendantClient client(clientBus, HostService::kServiceName);
        QVERIFY(client.listen());
        const QString none = PendantClient::errorOf(client.call(QStringLiteral("GetLeds")));
        QVERIFY2(none.startsWith(PendantObject::kErrorPrefix + QStringLiteral("NoPendant: ")), qPrintable(none));
        QVERIFY2(none.contains(u"FinalConnect"), qPrintable(none));
        QCOMPARE(client.value(QStringLiteral("GetState")).toString(), QStringLiteral("DISCONNECT"));

        QString path = connectHosted(QStringLiteral("PendantType=0"));
        QCOMPARE(client.value(QStringLiteral("GetPendantType")).toInt(), 0);
        QVERIFY(client.waitForSignal(QStringLiteral("StateChanged CONNECT"), 5000));
        QCOMPARE(execute(path, QStringLiteral("led"), Variant::array({2, 2})), 0);
        QVERIFY(client.waitForSignal(QStringLiteral("LedChanged 2 2")));
        const QString noDisplay = PendantClient::errorOf(client.call(QStringLiteral("GetDisplay")));
        QVERIFY2(noDisplay.startsWith(PendantObject::kErrorPrefix + QStringLiteral("NotOffered: ")) &&
                     noDisplay.contains(u"mini pendant"),
                 qPrintable(noDisplay));
        const QString badScale = PendantClient::errorOf(client.call(QStringLiteral("GetDisplayPng"), {0u}));
        QVERIFY2(badScale.contains(u"InvalidArgs") && badScale.contains(u"1 to 16"), qPrintable(badScale));

        QVERIFY(hostCall(path, kControllerIface, QStringLiteral("FinalDisconnect"), {}).type() ==
                QDBusMessage::ReplyMessage);
        QVERIFY(client.waitForSignal(QStringLiteral("StateChanged DISCONNECT")));
        QVERIFY(PendantClient::errorOf(client.call(QStringLiteral("GetKeyState"))).contains(u"NoPendant"));

        path = connectHosted(QStringLiteral("PendantType=2, TPLessInterval=500"));
        QCOMPARE(client.value(QStringLiteral("GetPendantType")).toInt(), 2);
        QVERIFY(client.waitForSignal(QStringLiteral("StateChanged TPLESS")));
        const QString noLeds = PendantClient::errorOf(client.call(QStringLiteral("GetLeds")));
        QVERIFY2(noLeds.contains(u"NotOffered") && noLeds.contains(u"pendant-less"), qPrintable(noLeds));
    }

    void standaloneNames()
    {
        QString why;
        for (const QString &good :
             {QStringLiteral("a"), QStringLiteral("cell_7"), QStringLiteral("_x"), QString(200, u'z')})
            QVERIFY2(PendantBus::isValidName(good, &why), qPrintable(good + u' ' + why));
        const QList<QPair<QString, QString>> bad = {{QString(), QStringLiteral("empty")},
                                                    {QStringLiteral("7up"), QStringLiteral("digit")},
                                                    {QStringLiteral("cell-1"), QStringLiteral("\"-\"")},
                                                    {QStringLiteral("a.b"), QStringLiteral("\".\"")},
                                                    {QString(201, u'z'), QStringLiteral("200")}};
        for (const auto &[name, reason] : bad) {
            QVERIFY2(!PendantBus::isValidName(name, &why), qPrintable(name));
            QVERIFY2(why.contains(reason), qPrintable(why));
        }
        QVERIFY(PendantBus::defaultName().startsWith(u'p'));
        QVERIFY(PendantBus::isValidName(PendantBus::defaultName()));

        // A second pendant under a name in use is refused, and told who has it.
        PendantBus first(serviceBus), second(clientBus);
        QString error;
        QVERIFY(first.publish(&error) && first.claimName(QStringLiteral("twin"), &error));
        QVERIFY(second.publish(&error));
        QVERIFY(!second.claimName(QStringLiteral("twin"), &error));
        QVERIFY2(error.contains(PendantBus::kStandalonePrefix + QStringLiteral("twin")) &&
                     error.contains(QString::number(QCoreApplication::applicationPid())) && error.contains(u"--name"),
                 qPrintable(error));
        QVERIFY(second.claimName(QStringLiteral("twin2"), &error));
    }
};

QObject *makePendantBusTest()
{
    return new TestPendantBus;
}

#include "test_pendantbus.moc"
