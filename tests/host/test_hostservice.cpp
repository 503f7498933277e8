// The provider served in this process on a private bus, with the real standard pendant, driven
// by clients outside the service: a second Qt connection, gdbus, dbus-send and tarvisk-client.
#include "common/diagnostics.h"
#include "host/dbusvalue.h"
#include "host/hostobjects.h"
#include "host/hostservice.h"
#include "host/messagerecord.h"
#include "pendant/frmtp.h"
#include "pendant/pendants.h"
#include "provider/keytables.h"
#include "provider/pendantwindow.h"
#include "provider/provstate.h"
#include "support/busclient.h"
#include "support/privatebus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QXmlStreamReader>

#include <functional>
#include <optional>

using namespace tarvisk;
using namespace tarvisk::testing;

namespace {

const QString kControllerIface = QStringLiteral("ZephProv.IProviderController");
const QString kMessageIface = QStringLiteral("ZephProv.IProviderMessage");
const QString kProviderIface = QStringLiteral("ZephProv.Halvex.Tarvisk.Provider");
const QString kHandleIface = QStringLiteral("ZephProv.Halvex.Tarvisk.Handle");
const QString kQueueIface = QStringLiteral("ZephProv.Halvex.Tarvisk.Queue");

struct Msg
{
    int number = -1;
    QString value; // debug text
    QString source;
    QString destination;
    int attribute = -1;
};

QString toText(const QList<Msg> &list)
{
    QStringList parts;
    for (const Msg &m : list)
        parts << QStringLiteral("%1:%2:%3:%4:%5").arg(m.number).arg(m.value, m.source, m.destination).arg(m.attribute);
    return parts.join(QStringLiteral(" | "));
}

// Message boxes that run an event loop of their own until the test presses OK, as real ones do:
// the provider goes on serving its clients inside them.
class NestedLoopBoxes : public Diagnostics
{
public:
    NestedLoopBoxes() { install(this); }
    ~NestedLoopBoxes() override { install(nullptr); }
    void debugOutput(const QString &) override {}
    void messageBox(const QString &text, Icon, const QString &) override
    {
        texts << text;
        QEventLoop loop;
        m_open = &loop;
        if (onShown)
            onShown();
        loop.exec();
        m_open = nullptr;
    }
    void pressOk()
    {
        if (m_open)
            m_open->quit();
    }

    QStringList texts;
    std::function<void()> onShown;

private:
    QEventLoop *m_open = nullptr;
};

// The method names of an interface, in the order an introspection document lists them.
QStringList methodsOf(const QString &xml, const QString &interface)
{
    QStringList names;
    QXmlStreamReader reader(xml);
    bool inside = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == u"interface")
            inside = reader.attributes().value(QStringLiteral("name")) == interface;
        else if (reader.isEndElement() && reader.name() == u"interface")
            inside = false;
        else if (inside && reader.isStartElement() && reader.name() == u"method")
            names << reader.attributes().value(QStringLiteral("name")).toString();
    }
    return names;
}

} // namespace

class TestHostService : public QObject
{
    Q_OBJECT

    PrivateBus bus;
    QDBusConnection serviceBus{QString()};
    QDBusConnection clientBus{QString()};
    std::unique_ptr<CapturingDiagnostics> diagnostics;
    std::unique_ptr<HostService> service;

    // A call from the client connection, answered while this thread's event loop runs.
    QDBusMessage call(const QString &path, const QString &interface, const QString &method,
                      const QVariantList &arguments = {}, QDBusConnection *from = nullptr)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(HostService::kServiceName, path, interface, method);
        message.setArguments(arguments);
        return callServed(from ? *from : clientBus, message, 15000);
    }

    static QVariant tagged(const Variant &v) { return QVariant::fromValue(DBusValue(v)); }

    static Variant valueAt(const QDBusMessage &reply, int i)
    {
        return qdbus_cast<DBusValue>(reply.arguments().value(i)).value;
    }

    QString create(const QString &kind, const QString &holder = QString(), QDBusConnection *from = nullptr)
    {
        const QDBusMessage r =
            call(HostService::kRootPath, kProviderIface, QStringLiteral("Create") + kind, {holder}, from);
        if (r.type() != QDBusMessage::ReplyMessage)
            return QStringLiteral("error: ") + r.errorName();
        return qdbus_cast<QDBusObjectPath>(r.arguments().first()).path();
    }

    int connectPendant(const QString &controller, const QString &options, QDBusConnection *from = nullptr)
    {
        const QDBusMessage r = call(controller, kControllerIface, QStringLiteral("FinalConnect"),
                                    {tagged(Variant::array({Variant(), Variant(options), Variant()}))}, from);
        return r.type() == QDBusMessage::ReplyMessage ? r.arguments().first().toInt() : -1000;
    }

    // FinalExecute: the status, and the result in *result.
    int execute(const QString &controller, const QString &command, const Variant &parameter = {},
                Variant *result = nullptr)
    {
        const QDBusMessage r =
            call(controller, kControllerIface, QStringLiteral("FinalExecute"), {command, tagged(parameter)});
        if (r.type() != QDBusMessage::ReplyMessage)
            return -1000;
        if (result)
            *result = valueAt(r, 1);
        return r.arguments().first().toInt();
    }

    void release(const QString &path) { call(path, kHandleIface, QStringLiteral("Release")); }

    // The oldest message, read through its own object and released; nothing when none waits.
    std::optional<Msg> fetch(const QString &controller)
    {
        const QDBusMessage r = call(controller, kControllerIface, QStringLiteral("GetMessage"));
        if (r.type() != QDBusMessage::ReplyMessage || r.arguments().first().toInt() != 0)
            return Msg{-1000, r.errorMessage(), {}, {}, -1};
        const QString path = qdbus_cast<QDBusObjectPath>(r.arguments().at(1)).path();
        if (path == u"/")
            return std::nullopt;
        Msg m;
        m.number = call(path, kMessageIface, QStringLiteral("FinalGetNumber")).arguments().at(1).toInt();
        m.value = valueAt(call(path, kMessageIface, QStringLiteral("FinalGetValue")), 1).debugText();
        m.source = call(path, kMessageIface, QStringLiteral("FinalGetSource")).arguments().at(1).toString();
        m.destination = call(path, kMessageIface, QStringLiteral("FinalGetDestination")).arguments().at(1).toString();
        m.attribute =
            valueAt(call(path, kMessageIface, QStringLiteral("FinalInitialize"), {tagged(Variant())}), 1).toLong();
        release(path);
        return m;
    }

    // TakeMessages(max) through the client connection; an error reply gives one Msg of number
    // -1000 whose value is the error name.
    QList<Msg> take(const QString &controller, uint max)
    {
        const QDBusMessage r = call(controller, kQueueIface, QStringLiteral("TakeMessages"), {max});
        if (r.type() != QDBusMessage::ReplyMessage)
            return {Msg{-1000, r.errorName(), {}, {}, -1}};
        QList<Msg> out;
        for (const MessageRecord &m : qdbus_cast<MessageRecordList>(r.arguments().value(0)))
            out << Msg{m.number, m.value.value.debugText(), m.source, m.destination, m.attribute};
        return out;
    }

    void clickOk()
    {
        QWidget *ok = standardPendant()->hardKey(7);
        QTest::mouseClick(ok, Qt::LeftButton, {}, ok->rect().center());
    }

    QList<Msg> drain(const QString &controller)
    {
        QList<Msg> out;
        while (const std::optional<Msg> m = fetch(controller))
            out << *m;
        return out;
    }

    RunResult gdbus(const QString &path, const QString &method, const QStringList &arguments = {})
    {
        return runProgram(QStringLiteral("gdbus"),
                          QStringList{QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("-d"),
                                      HostService::kServiceName, QStringLiteral("-o"), path, QStringLiteral("-m"),
                                      method} +
                              arguments,
                          bus.environment());
    }

    frmTP *standardPendant() { return static_cast<frmTP *>(existingPendantWindow(PendantKind::Standard)); }

    // Waits for the first-connection tick to enable the keys, then empties the queue.
    void waitForKeys(const QString &controller)
    {
        QTRY_VERIFY_WITH_TIMEOUT(standardPendant() && standardPendant()->hardKey(7)->isEnabled(), 10000);
        drain(controller);
    }

private slots:
    void initTestCase()
    {
        registerMessageRecordTypes();
        QString error;
        QVERIFY2(bus.start({}, &error), qPrintable(error));
        serviceBus = QDBusConnection::connectToBus(bus.address(), QStringLiteral("service"));
        clientBus = QDBusConnection::connectToBus(bus.address(), QStringLiteral("client"));
        QVERIFY(serviceBus.isConnected() && clientBus.isConnected());
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        bus.stop();
    }

    void init()
    {
        resetProcessState();
        registerPendantWindows();
        InitKeyTables();
        diagnostics = std::make_unique<CapturingDiagnostics>();
        service = std::make_unique<HostService>(serviceBus);
        QVERIFY2(service->start(), qPrintable(service->lastError()));
    }

    void cleanup()
    {
        service.reset();
        resetProcessState();
        diagnostics.reset();
    }

    void gdbusConnectsAndShows()
    {
        const RunResult created = gdbus(HostService::kRootPath, kProviderIface + QStringLiteral(".CreateController"),
                                        {QStringLiteral("org.freedesktop.DBus")});
        QVERIFY2(created.exitCode == 0, qPrintable(created.err));
        const QString path = firstMatch(created.out, QStringLiteral("'(/[^']+)'"));
        QVERIFY2(path.startsWith(HostService::kRootPath + QStringLiteral("/Controller/")), qPrintable(created.out));

        const QString method = kControllerIface + QStringLiteral(".FinalExecute");
        const RunResult connected =
            gdbus(path, kControllerIface + QStringLiteral(".FinalConnect"),
                  {QStringLiteral("(0x61, <@a(yv) [(0x45, <byte 0>), (0x73, <'PendantType=0, StateDestination=x'>), "
                                  "(0x45, <byte 0>)]>)")});
        // Status 0, and the array comes back with element 2 set to True.
        QVERIFY2(connected.out.startsWith(u"(0, (byte 0x61, <["), qPrintable(connected.out + connected.err));
        QVERIFY2(connected.out.contains(u"(0x62, <true>)]"), qPrintable(connected.out));
        QVERIFY(standardPendant() && !standardPendant()->isVisible());

        QCOMPARE(gdbus(path, method, {QStringLiteral("getvisible"), QStringLiteral("(0x45, <byte 0>)")}).out.trimmed(),
                 QStringLiteral("(0, (byte 0x62, <false>))"));
        QCOMPARE(gdbus(path, method, {QStringLiteral("show"), QStringLiteral("(0x45, <byte 0>)")}).out.trimmed(),
                 QStringLiteral("(0, (byte 0x45, <byte 0x00>))"));
        QCOMPARE(gdbus(path, method, {QStringLiteral("getvisible"), QStringLiteral("(0x45, <byte 0>)")}).out.trimmed(),
                 QStringLiteral("(0, (byte 0x62, <true>))"));
        QVERIFY(standardPendant()->isVisible());
        // Held by the bus itself: the object outlives the gdbus calls.
        QCOMPARE(service->heldObjects(), 1);
    }

    void keyClickQueuesAddressedThenGeneral()
    {
        const QString controller = create(QStringLiteral("Controller"));
        QCOMPARE(connectPendant(controller, QStringLiteral("PendantType=0, StateDestination=x")), 0);
        QCOMPARE(execute(controller, QStringLiteral("show")), 0);
        waitForKeys(controller);

        QWidget *ok = standardPendant()->hardKey(7);
        QTest::mousePress(ok, Qt::LeftButton, {}, ok->rect().center());
        QTest::mouseRelease(ok, Qt::LeftButton, {}, ok->rect().center());

        // Fetched by gdbus, which knows nothing of this program.
        QList<Msg> got;
        for (;;) {
            const RunResult r = gdbus(controller, kControllerIface + QStringLiteral(".GetMessage"));
            QVERIFY2(r.exitCode == 0, qPrintable(r.err));
            const QString path = firstMatch(r.out, QStringLiteral("objectpath '([^']+)'"));
            if (path == u"/")
                break;
            Msg m;
            m.number = firstMatch(gdbus(path, kMessageIface + QStringLiteral(".FinalGetNumber")).out,
                                  QStringLiteral("\\(0, (-?\\d+)\\)"))
                           .toInt();
            m.value = gdbus(path, kMessageIface + QStringLiteral(".FinalGetValue")).out.trimmed();
            m.destination = firstMatch(gdbus(path, kMessageIface + QStringLiteral(".FinalGetDestination")).out,
                                       QStringLiteral("\\(0, '([^']*)'\\)"));
            m.attribute = firstMatch(gdbus(path, kMessageIface + QStringLiteral(".FinalInitialize"),
                                           {QStringLiteral("(0x45, <0>)")})
                                         .out,
                                     QStringLiteral("<(\\d+)>"))
                              .toInt();
            QCOMPARE(gdbus(path, kHandleIface + QStringLiteral(".Release")).exitCode, 0);
            got << m;
            QVERIFY(got.size() <= 6);
        }
        const QString v = QStringLiteral("(0, (byte 0x69, <14>))");
        QCOMPARE(toText(got), toText({{1, v, {}, "x", 1048576},
                                      {1, v, {}, "", 0},
                                      {2, v, {}, "x", 1048576},
                                      {2, v, {}, "", 0},
                                      {3, v, {}, "x", 1048576},
                                      {3, v, {}, "", 0}}));
        // Every fetched message was released; the controller alone is left.
        QCOMPARE(service->objectPaths(), QStringList{controller});
    }

    void takeMessagesMatchesSixCallFetching()
    {
        const QString controller = create(QStringLiteral("Controller"));
        QCOMPARE(connectPendant(controller, QStringLiteral("PendantType=0, StateDestination=x")), 0);
        QCOMPARE(execute(controller, QStringLiteral("show")), 0);
        waitForKeys(controller);

        clickOk();
        const QList<Msg> taken = take(controller, 100);
        QCOMPARE(toText(taken), toText({{1, "Long 14", "17", "x", 1048576},
                                        {1, "Long 14", "17", "", 0},
                                        {2, "Long 14", "17", "x", 1048576},
                                        {2, "Long 14", "17", "", 0},
                                        {3, "Long 14", "17", "x", 1048576},
                                        {3, "Long 14", "17", "", 0}}));
        QVERIFY(take(controller, 100).isEmpty());

        // The same click read the old way, one message object and its getters at a time.
        clickOk();
        QCOMPARE(toText(drain(controller)), toText(taken));
        // Nothing was made to be released: the controller alone is held.
        QCOMPARE(service->objectPaths(), QStringList{controller});
    }

    void takeAndGetInterleavedLoseAndRepeatNothing()
    {
        const QString controller = create(QStringLiteral("Controller"));
        QCOMPARE(connectPendant(controller, QStringLiteral("PendantType=0")), 0);
        QCOMPARE(execute(controller, QStringLiteral("show")), 0);
        waitForKeys(controller);
        clickOk();
        QCOMPARE(call(controller, kControllerIface, QStringLiteral("FinalDisconnect")).arguments().first().toInt(), 0);
        QCOMPARE(static_cast<HostController *>(service->object(controller))->controller()->queuedMessages(), size_t(4));

        // max 0 takes nothing and is no error.
        const QDBusMessage none = call(controller, kQueueIface, QStringLiteral("TakeMessages"), {0u});
        QCOMPARE(none.type(), QDBusMessage::ReplyMessage);
        QVERIFY(qdbus_cast<MessageRecordList>(none.arguments().value(0)).isEmpty());

        QList<Msg> got = take(controller, 1);
        got << *fetch(controller);
        got += take(controller, 1);
        got << *fetch(controller);
        QVERIFY(!fetch(controller));
        QVERIFY(take(controller, 5).isEmpty());
        QCOMPARE(toText(got), toText({{1, "Long 14", "17", "", 0},
                                      {2, "Long 14", "17", "", 0},
                                      {3, "Long 14", "17", "", 0},
                                      {0, "Integer 0", "17", "", 0}}));
    }

    void messageThatCannotTravelStaysForGetMessage()
    {
        const QString controller = create(QStringLiteral("Controller"));
        const std::shared_ptr<ProvController> c =
            static_cast<HostController *>(service->object(controller))->controller();
        for (int32_t n : {7, 8, 9}) {
            const Variant value = n == 8 ? Variant(std::make_shared<ProvMessage>()) : Variant(n);
            QCOMPARE(c->CreateMessage(n, value), 0);
        }
        QCOMPARE(toText(take(controller, 10)), toText({{7, "Long 7", "", "", 0}}));
        const QList<Msg> refused = take(controller, 10);
        QCOMPARE(refused.size(), 1);
        QCOMPARE(refused.first().value, QStringLiteral("ZephProv.Halvex.Tarvisk.Error.NotTransferable"));
        // Still there: GetMessage hands it out as an object, and the queue goes on after it.
        const QDBusMessage r = call(controller, kControllerIface, QStringLiteral("GetMessage"));
        const QString path = qdbus_cast<QDBusObjectPath>(r.arguments().at(1)).path();
        QCOMPARE(call(path, kMessageIface, QStringLiteral("FinalGetNumber")).arguments().at(1).toInt(), 8);
        QCOMPARE(toText(take(controller, 10)), toText({{9, "Long 9", "", "", 0}}));
    }

    void gdbusTakesMessages()
    {
        const QString controller = create(QStringLiteral("Controller"));
        QCOMPARE(connectPendant(controller, QStringLiteral("PendantType=0")), 0);
        QCOMPARE(call(controller, kControllerIface, QStringLiteral("FinalDisconnect")).arguments().first().toInt(), 0);
        const RunResult r = gdbus(controller, kQueueIface + QStringLiteral(".TakeMessages"), {QStringLiteral("5")});
        QCOMPARE(r.out.trimmed(), QStringLiteral("([(0, '17', '', (byte 0x6e, <int16 0>), 0)],)"));
    }

    void disconnectLeavesTheFinalMessage()
    {
        const QString controller = create(QStringLiteral("Controller"));
        QCOMPARE(connectPendant(controller, QStringLiteral("PendantType=0")), 0);
        waitForKeys(controller);
        QCOMPARE(call(controller, kControllerIface, QStringLiteral("FinalDisconnect")).arguments().first().toInt(), 0);
        QVERIFY(!standardPendant());
        QVERIFY(!g_Controller);

        // The message outlives the controller once fetched: the client owns it.
        const QDBusMessage r = call(controller, kControllerIface, QStringLiteral("GetMessage"));
        const QString message = qdbus_cast<QDBusObjectPath>(r.arguments().at(1)).path();
        QVERIFY(message.startsWith(HostService::kRootPath + QStringLiteral("/Message/")));
        QCOMPARE(qdbus_cast<QDBusObjectPath>(
                     call(controller, kControllerIface, QStringLiteral("GetMessage")).arguments().at(1))
                     .path(),
                 QStringLiteral("/"));
        release(controller);
        QCOMPARE(call(message, kMessageIface, QStringLiteral("FinalGetNumber")).arguments().at(1).toInt(), 0);
        QCOMPARE(valueAt(call(message, kMessageIface, QStringLiteral("FinalGetValue")), 1).debugText(),
                 QStringLiteral("Integer 0"));
        QCOMPARE(call(message, kMessageIface, QStringLiteral("FinalGetSource")).arguments().at(1).toString(),
                 QStringLiteral("17"));
        release(message);
        QCOMPARE(service->heldObjects(), 0);
    }

    void emptyQueueAnswersNoObject()
    {
        const QString controller = create(QStringLiteral("Controller"));
        const QDBusMessage r = call(controller, kControllerIface, QStringLiteral("GetMessage"));
        QCOMPARE(r.arguments().first().toInt(), 0);
        QCOMPARE(qdbus_cast<QDBusObjectPath>(r.arguments().at(1)).path(), QStringLiteral("/"));
        QCOMPARE(service->heldObjects(), 1);
    }

    void leavingClientFreesItsObjects()
    {
        const QString stayer = create(QStringLiteral("Controller"));
        QString controller;
        {
            QDBusConnection leaver = QDBusConnection::connectToBus(bus.address(), QStringLiteral("leaver"));
            controller = create(QStringLiteral("Controller"), {}, &leaver);
            QVERIFY(!create(QStringLiteral("Robot"), {}, &leaver).startsWith(u"error"));
            QVERIFY(!create(QStringLiteral("Variable"), {}, &leaver).startsWith(u"error"));
            QCOMPARE(connectPendant(controller, QStringLiteral("PendantType=0"), &leaver), 0);
        }
        QCOMPARE(execute(controller, QStringLiteral("show")), 0);
        QVERIFY(standardPendant() && standardPendant()->isVisible());
        QCOMPARE(service->heldObjects(), 4);

        // Gone without a word, as a crashed client goes.
        QDBusConnection::disconnectFromBus(QStringLiteral("leaver"));
        QTRY_COMPARE_WITH_TIMEOUT(service->heldObjects(), 1, 10000);
        QCOMPARE(service->objectPaths(), QStringList{stayer});
        // Its connected controller was disconnected, so no window is left behind.
        QVERIFY(!g_Controller);
        QVERIFY(!standardPendant());
        QCOMPARE(call(controller, kControllerIface, QStringLiteral("FinalGetHelp")).errorName(),
                 QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"));

        // gdbus holds what it creates with holder "" only for the length of its call.
        const RunResult r =
            gdbus(HostService::kRootPath, kProviderIface + QStringLiteral(".CreateTask"), {QStringLiteral("")});
        QVERIFY(r.out.contains(u"/Task/"));
        QTRY_COMPARE_WITH_TIMEOUT(service->heldObjects(), 1, 10000);
    }

    void lastReleaseFinishes()
    {
        QSignalSpy finished(service.get(), &HostService::finished);
        const QString robot = create(QStringLiteral("Robot"));
        const QString controller = create(QStringLiteral("Controller"));
        QCOMPARE(connectPendant(controller, QStringLiteral("PendantType=0")), 0);
        QCOMPARE(execute(controller, QStringLiteral("show")), 0);
        release(robot);
        QTest::qWait(50);
        QCOMPARE(finished.count(), 0);
        release(controller);
        // The name went before the release was answered: the client's next call would start a
        // fresh provider.
        QVERIFY(!service->ownsName());
        QVERIFY(!clientBus.interface()->isServiceRegistered(HostService::kServiceName).value());
        QTRY_COMPARE(finished.count(), 1);
        QVERIFY(!standardPendant());
        QDBusMessage stale =
            QDBusMessage::createMethodCall(serviceBus.baseService(), robot, kHandleIface, QStringLiteral("Release"));
        QCOMPARE(callServed(clientBus, stale).errorName(), QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"));
    }

    void createOnItsWayWhenTheNameWentIsServed()
    {
        // Served in this process, one after the other with no turn of the loop between: the
        // Create was on its way when the release made the service give the name up.
        QSignalSpy finished(service.get(), &HostService::finished);
        service->release(service->object(service->CreateController(QString()).path()));
        QVERIFY(!service->ownsName());
        const QString served = service->CreateController(QString()).path();
        QVERIFY(served.startsWith(HostService::kRootPath + QStringLiteral("/Controller/")));
        QVERIFY(service->ownsName());
        QTest::qWait(50);
        QCOMPARE(finished.count(), 0);

        // With another provider on the name by then, the late Create makes nothing.
        service->release(service->object(served));
        QVERIFY(!service->ownsName());
        QDBusConnection other = QDBusConnection::connectToBus(bus.address(), QStringLiteral("successor"));
        QVERIFY(other.registerService(HostService::kServiceName));
        QCOMPARE(service->CreateController(QString()).path(), QStringLiteral("/"));
        QCOMPARE(service->heldObjects(), 0);
        QTRY_COMPARE(finished.count(), 1);
        // Once it has finished, a call that still reaches it is told to call again.
        QDBusMessage late = QDBusMessage::createMethodCall(serviceBus.baseService(), HostService::kRootPath,
                                                           kProviderIface, QStringLiteral("CreateController"));
        late << QString();
        const QDBusMessage refused = callServed(clientBus, late);
        QCOMPARE(refused.errorName(), QStringLiteral("ZephProv.Halvex.Tarvisk.Error.Ending"));
        QDBusConnection::disconnectFromBus(QStringLiteral("successor"));
    }

    void graceEndsAnUnusedService()
    {
        QSignalSpy finished(service.get(), &HostService::finished);
        service->setStartupGrace(100);
        QTRY_COMPARE(finished.count(), 1);
    }

    void secondStartIsRefused()
    {
        QDBusConnection other = QDBusConnection::connectToBus(bus.address(), QStringLiteral("other"));
        {
            HostService second(other);
            QVERIFY(!second.start());
            QVERIFY2(second.lastError().contains(QStringLiteral("owned already by ") + serviceBus.baseService()),
                     qPrintable(second.lastError()));
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("other"));
        QCOMPARE(serviceBus.interface()->serviceOwner(HostService::kServiceName).value(), serviceBus.baseService());
    }

    void errorsAreAnswersNotCrashes()
    {
        const QString controller = create(QStringLiteral("Controller"));
        QCOMPARE(connectPendant(controller, QStringLiteral("PendantType=0")), 0);
        const auto dbusSend = [&](const QString &path, const QString &method, const QStringList &args) {
            return runProgram(QStringLiteral("dbus-send"),
                              QStringList{QStringLiteral("--session"), QStringLiteral("--print-reply"),
                                          QStringLiteral("--dest=") + HostService::kServiceName, path, method} +
                                  args,
                              bus.environment());
        };
        // Wrong signatures, told by a client that does not look at the introspection.
        RunResult r = dbusSend(controller, kControllerIface + QStringLiteral(".FinalExecute"),
                               {QStringLiteral("string:show"), QStringLiteral("int32:5")});
        QVERIFY(r.exitCode != 0);
        QVERIFY2(r.err.contains(u"UnknownMethod") && r.err.contains(u"'si'"), qPrintable(r.err));
        r = dbusSend(HostService::kRootPath, kProviderIface + QStringLiteral(".CreateController"),
                     {QStringLiteral("int32:1")});
        QVERIFY2(r.err.contains(u"UnknownMethod"), qPrintable(r.err));
        // Unknown methods, interfaces and objects.
        QCOMPARE(call(controller, kControllerIface, QStringLiteral("FinalFly")).errorName(),
                 QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"));
        QCOMPARE(call(controller, QStringLiteral("ZephProv.IProviderRobot"), QStringLiteral("FinalGoHome")).errorName(),
                 QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"));
        QCOMPARE(call(HostService::kRootPath + QStringLiteral("/Controller/999"), kControllerIface,
                      QStringLiteral("FinalDisconnect"))
                     .errorName(),
                 QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"));
        // A tagged value that does not decode: refused before the command runs.
        r = gdbus(controller, kControllerIface + QStringLiteral(".FinalExecute"),
                  {QStringLiteral("show"), QStringLiteral("(0x69, <'x'>)")});
        QVERIFY2(r.err.contains(u"InvalidArgs") && r.err.contains(u"needs the content i, not s"), qPrintable(r.err));
        QVERIFY(!standardPendant()->isVisible());
        // A holder without an owner.
        QCOMPARE(create(QStringLiteral("Robot"), QStringLiteral("no.such.Name")),
                 QStringLiteral("error: org.freedesktop.DBus.Error.NameHasNoOwner"));
        // The provider's own failures are statuses.
        QCOMPARE(execute(controller, QStringLiteral("lcd"), Variant(1)), 438);
        QCOMPARE(execute(controller, QStringLiteral("move"), Variant(5)), 13);
        Variant result(7);
        QCOMPARE(execute(controller, QStringLiteral("show"), Variant("x"), &result), 13);
        QVERIFY(result.isEmpty());
        const QDBusMessage c = call(controller, kControllerIface, QStringLiteral("FinalConnect"), {tagged(Variant(5))});
        QCOMPARE(c.arguments().first().toInt(), 13);
        // Still serving.
        QCOMPARE(execute(controller, QStringLiteral("getvisible"), {}, &result), 0);
        QCOMPARE(result, Variant(false));
        QCOMPARE(service->heldObjects(), 1);
    }

    void everyObjectExportsItsInterfaceInSlotOrder_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("interface");
        for (const char *kind : {"Controller", "Robot", "Task", "Variable", "File", "Command", "Extension"})
            QTest::newRow(kind) << QString::fromLatin1(kind)
                                << QStringLiteral("ZephProv.IProvider") + QString::fromLatin1(kind);
        QTest::newRow("Message") << QStringLiteral("Message") << kMessageIface;
    }

    void everyObjectExportsItsInterfaceInSlotOrder()
    {
        QFETCH(QString, kind);
        QFETCH(QString, interface);
        QString path;
        if (kind == u"Message") {
            const QString controller = create(QStringLiteral("Controller"));
            call(controller, kControllerIface, QStringLiteral("FinalDisconnect"));
            path = qdbus_cast<QDBusObjectPath>(
                       call(controller, kControllerIface, QStringLiteral("GetMessage")).arguments().at(1))
                       .path();
        } else {
            path = create(kind);
        }
        const QDBusMessage r =
            call(path, QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
        const QString xml = r.arguments().value(0).toString();
        QFile contract(qEnvironmentVariable("TARVISK_SOURCE_DIR") + QStringLiteral("/src/host/interfaces/") +
                       interface + QStringLiteral(".xml"));
        QVERIFY(contract.open(QIODevice::ReadOnly));
        const QStringList expected = methodsOf(QString::fromUtf8(contract.readAll()), interface);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(methodsOf(xml, interface), expected);
        QCOMPARE(methodsOf(xml, kHandleIface), QStringList{QStringLiteral("Release")});
        QCOMPARE(xml.contains(u"ZephProv.Halvex.Tarvisk.Queue"), kind == u"Controller");
    }

    void secondaryObjectsAnswerNeutrally()
    {
        const QString robot = create(QStringLiteral("Robot"));
        const QString variable = create(QStringLiteral("Variable"));
        const QString file = create(QStringLiteral("File"));
        const QString command = create(QStringLiteral("Command"));
        const QString iRobot = QStringLiteral("ZephProv.IProviderRobot");
        const QString iVariable = QStringLiteral("ZephProv.IProviderVariable");

        QCOMPARE(call(robot, iRobot, QStringLiteral("FinalPutID"), {tagged(Variant(5))}).arguments(), QVariantList{0});
        const QDBusMessage id = call(robot, iRobot, QStringLiteral("FinalGetID"));
        QCOMPARE(id.arguments().first().toInt(), 0);
        QVERIFY(valueAt(id, 1).isEmpty());
        QCOMPARE(call(robot, iRobot, QStringLiteral("FinalRotate"),
                      {tagged(Variant(1)), 2, tagged(Variant::array({})), QStringLiteral("o")})
                     .arguments(),
                 QVariantList{0});
        QCOMPARE(call(robot, iRobot, QStringLiteral("FinalGetAttribute")).arguments(), (QVariantList{0, 0}));
        QCOMPARE(call(robot, iRobot, QStringLiteral("FinalGetHelp")).arguments(), (QVariantList{0, QString()}));
        QCOMPARE(call(variable, iVariable, QStringLiteral("FinalPutValue"), {tagged(Variant("v"))}).arguments(),
                 QVariantList{0});
        QVERIFY(valueAt(call(variable, iVariable, QStringLiteral("FinalGetValue")), 1).isEmpty());
        // The one by-reference argument comes back untouched.
        const QDBusMessage micro =
            call(variable, iVariable, QStringLiteral("FinalGetMicrosecond"), {tagged(Variant(2.5f))});
        QCOMPARE(valueAt(micro, 1), Variant(2.5f));
        QCOMPARE(call(file, QStringLiteral("ZephProv.IProviderFile"), QStringLiteral("FinalRun"), {QStringLiteral("x")})
                     .arguments(),
                 (QVariantList{0, QString()}));
        QCOMPARE(call(file, QStringLiteral("ZephProv.IProviderFile"), QStringLiteral("FinalGetSize")).arguments(),
                 (QVariantList{0, 0}));
        const QDBusMessage exec =
            call(command, QStringLiteral("ZephProv.IProviderCommand"), QStringLiteral("FinalExecute"), {3});
        QCOMPARE(exec.arguments().first().toInt(), 0);
        QVERIFY(valueAt(exec, 1).isEmpty());
        QCOMPARE(service->heldObjects(), 4);
    }

    void messageQueuedIsSignalled()
    {
        const QString controller = create(QStringLiteral("Controller"));
        QCOMPARE(connectPendant(controller, QStringLiteral("PendantType=0, StateDestination=x")), 0);
        QCOMPARE(execute(controller, QStringLiteral("show")), 0); // a hidden pendant takes no press
        waitForKeys(controller);
        QSignalSpy spy(static_cast<HostController *>(service->object(controller)), &HostController::MessageQueued);
        QVERIFY(clientBus.connect(HostService::kServiceName, controller,
                                  QStringLiteral("ZephProv.Halvex.Tarvisk.Queue"), QStringLiteral("MessageQueued"),
                                  this, SLOT(onQueued(uint))));
        m_queued.clear();

        QWidget *ok = standardPendant()->hardKey(7);
        QTest::mousePress(ok, Qt::LeftButton, {}, ok->rect().center());
        QTRY_COMPARE(m_queued.size(), 1);
        QCOMPARE(m_queued.first(), 2u); // the addressed and the general message of one press
        QTest::qWait(100);
        QCOMPARE(m_queued.size(), 1); // one signal for one turn of the loop
        QCOMPARE(drain(controller).size(), 2);
        QTest::mouseRelease(ok, Qt::LeftButton, {}, ok->rect().center());
        QTRY_COMPARE(m_queued.size(), 2);
        QCOMPARE(m_queued.at(1), 4u);
        QCOMPARE(spy.count(), 2);
        clientBus.disconnect(HostService::kServiceName, controller, QStringLiteral("ZephProv.Halvex.Tarvisk.Queue"),
                             QStringLiteral("MessageQueued"), this, SLOT(onQueued(uint)));
    }

    void tarviskClientFollowsTheQueue()
    {
        QProcess client;
        client.setProcessEnvironment(bus.environment());
        client.start(qEnvironmentVariable("TARVISK_CLIENT"),
                     {QStringLiteral("-o"), QStringLiteral("PendantType=0, StateDestination=x"), QStringLiteral("show"),
                      QStringLiteral("getvisible"), QStringLiteral("led 1 1"), QStringLiteral("--count"),
                      QStringLiteral("14")});
        QVERIFY(client.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            standardPendant() && standardPendant()->isVisible() && standardPendant()->hardKey(7)->isEnabled(), 15000);
        QVERIFY(standardPendant()->leds()->isLit(0)); // "led 1 1" reached the window
        QWidget *ok = standardPendant()->hardKey(7);
        QTest::mousePress(ok, Qt::LeftButton, {}, ok->rect().center());
        QTest::mouseRelease(ok, Qt::LeftButton, {}, ok->rect().center());
        QTRY_VERIFY_WITH_TIMEOUT(client.state() == QProcess::NotRunning, 15000);
        QCOMPARE(client.exitCode(), 0);
        const QStringList lines = QString::fromUtf8(client.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.size() == 15, qPrintable(lines.join(u'\n')));
        QCOMPARE(lines.first(), QStringLiteral("getvisible\ttrue"));
        // CONNECT first, the mode switch of the default mode, then the click.
        QCOMPARE(lines.at(1), QStringLiteral("0\t1\t17\tx\t1048576"));
        QCOMPARE(lines.at(2), QStringLiteral("0\t1\t17\t\t0"));
        QCOMPARE(lines.mid(9),
                 (QStringList{QStringLiteral("1\t14\t17\tx\t1048576"), QStringLiteral("1\t14\t17\t\t0"),
                              QStringLiteral("2\t14\t17\tx\t1048576"), QStringLiteral("2\t14\t17\t\t0"),
                              QStringLiteral("3\t14\t17\tx\t1048576"), QStringLiteral("3\t14\t17\t\t0")}));
        // It disconnected and released what it held.
        QTRY_COMPARE(service->heldObjects(), 0);
        QVERIFY(!standardPendant());
    }

    void windowOutlivesAReleaseUnderItsMessageBox_data()
    {
        QTest::addColumn<bool>("leave");
        QTest::newRow("released") << false;
        QTest::newRow("client leaves") << true;
    }

    void windowOutlivesAReleaseUnderItsMessageBox()
    {
        QFETCH(bool, leave);
        const QString leaverName = QStringLiteral("boxLeaver");
        std::optional<QDBusConnection> leaver = QDBusConnection::connectToBus(bus.address(), leaverName);
        const QString controller = create(QStringLiteral("Controller"), {}, leave ? &*leaver : nullptr);
        // Shown without FinalConnect: no controller takes the window's messages.
        QCOMPARE(execute(controller, QStringLiteral("show")), 0);
        QPointer<frmTP> window = standardPendant();
        QVERIFY(window && window->isVisible());
        QSignalSpy finished(service.get(), &HostService::finished);

        NestedLoopBoxes boxes;
        bool aliveUnderBox = false;
        QTimer poll;
        QDeadlineTimer patience(10000);
        boxes.onShown = [&] {
            if (leave) {
                leaver.reset();
                QDBusConnection::disconnectFromBus(leaverName);
            } else {
                clientBus.asyncCall(QDBusMessage::createMethodCall(HostService::kServiceName, controller, kHandleIface,
                                                                   QStringLiteral("Release")));
            }
            // OK is pressed once the client's going has unloaded the window.
            connect(&poll, &QTimer::timeout, this, [&] {
                const bool gone = !existingPendantWindow(PendantKind::Standard) && service->heldObjects() == 0;
                if (!gone && !patience.hasExpired())
                    return;
                poll.stop();
                aliveUnderBox = gone && !window.isNull() && !window->isVisible();
                boxes.pressOk();
            });
            poll.start(20);
        };

        // The main loop runs the click; the switch cannot report to a missing controller, and the
        // "[5B]" box waits in its handler.
        QEventLoop mainLoop;
        QTimer::singleShot(0, window, [&] {
            QWidget *area = window->switchArea(0);
            QTest::mouseClick(area, Qt::LeftButton, {}, area->rect().center());
        });
        QTimer done;
        connect(&done, &QTimer::timeout, &mainLoop, [&] {
            if (window.isNull() && finished.count() == 1)
                mainLoop.quit();
        });
        done.start(20);
        QTimer::singleShot(15000, &mainLoop, &QEventLoop::quit);
        mainLoop.exec();

        QCOMPARE(boxes.texts, QStringList{QStringLiteral("[5B]\r\nObject variable or With block variable not set")});
        QVERIFY(aliveUnderBox);
        QVERIFY(window.isNull());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(retiredPendantWindows(), 0);
        leaver.reset();
        QDBusConnection::disconnectFromBus(leaverName);
    }

    void disconnectLetsHeldKeysGoBeforeTheFinalState()
    {
        const QString controller = create(QStringLiteral("Controller"));
        QCOMPARE(connectPendant(controller, QStringLiteral("PendantType=0, StateDestination=x")), 0);
        QCOMPARE(execute(controller, QStringLiteral("show")), 0);
        waitForKeys(controller);
        QWidget *ok = standardPendant()->hardKey(7);
        QTest::mousePress(ok, Qt::LeftButton, {}, ok->rect().center());
        QCOMPARE(drain(controller).size(), 2);

        QCOMPARE(call(controller, kControllerIface, QStringLiteral("FinalDisconnect")).arguments().first().toInt(), 0);
        QCOMPARE(toText(drain(controller)), toText({{2, "Long 14", "17", "x", 1048576},
                                                    {2, "Long 14", "17", "", 0},
                                                    {3, "Long 14", "17", "x", 1048576},
                                                    {3, "Long 14", "17", "", 0},
                                                    {0, "Integer 0", "17", "x", 1048576},
                                                    {0, "Integer 0", "17", "", 0}}));
        // The mouse lets go somewhere else; the window is gone.
        QWidget elsewhere;
        QTest::mouseRelease(&elsewhere, Qt::LeftButton);
    }

    void stateMessagesOutsideTheSelectorAreIntegers()
    {
        // The mini pendant's first tick, then its first key-state read.
        const QString mini = create(QStringLiteral("Controller"));
        QCOMPARE(connectPendant(mini, QStringLiteral("PendantType=1")), 0);
        QList<Msg> got;
        QTRY_VERIFY_WITH_TIMEOUT((got << drain(mini), !got.isEmpty()), 10000);
        QCOMPARE(toText(got.mid(0, 1)), toText({{0, "Integer 1", "26", "", 0}}));
        QCOMPARE(execute(mini, QStringLiteral("getkeystate")), 0);
        QCOMPARE(toText(drain(mini)), toText({{0, "Integer 1", "26", "", 0}}));
        // The tag itself, as a client that knows nothing of this program reads it.
        QCOMPARE(execute(mini, QStringLiteral("hide")), 0);
        QCOMPARE(call(mini, kControllerIface, QStringLiteral("FinalDisconnect")).arguments().first().toInt(), 0);
        const RunResult r = gdbus(mini, kControllerIface + QStringLiteral(".GetMessage"));
        const QString path = firstMatch(r.out, QStringLiteral("objectpath '([^']+)'"));
        QCOMPARE(gdbus(path, kMessageIface + QStringLiteral(".FinalGetValue")).out.trimmed(),
                 QStringLiteral("(0, (byte 0x6e, <int16 0>))"));

        // The pendant-less keep-alive: a period of 0 is refused, a short one repeats.
        const QString less = create(QStringLiteral("Controller"));
        QCOMPARE(connectPendant(less, QStringLiteral("PendantType=2, TPLessInterval=0")), 5);
        QVERIFY(!existingPendantWindow(PendantKind::TPLess));
        QCOMPARE(connectPendant(less, QStringLiteral("PendantType=2, TPLessInterval=-1")), 5);
        QCOMPARE(connectPendant(less, QStringLiteral("PendantType=2, TPLessInterval=200")), 0);
        got.clear();
        QTRY_VERIFY_WITH_TIMEOUT((got << drain(less), got.size() >= 2), 10000);
        QCOMPARE(toText(got.mid(0, 2)), toText({{0, "Integer 2", "", "", 0}, {0, "Integer 2", "", "", 0}}));
    }

public slots:
    void onQueued(uint n) { m_queued << n; }

private:
    QList<uint> m_queued;
};

QTEST_MAIN(TestHostService)
#include "test_hostservice.moc"
