// The provider served in this process on a private bus, with the real standard pendant, driven
// by clients outside the service: a second Qt connection, gdbus, dbus-send and tarvisk-client.
#include "hostservicefixture.h"

#include "host/hostobjects.h"

#include <QDBusConnectionInterface>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QXmlStreamReader>

using namespace tarvisk;
using namespace tarvisk::testing;

namespace {

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

class TestHostService : public QObject, protected HostServiceFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { startCase(); }
    void cleanupTestCase() { endCase(); }
    void init() { startTest(); }
    void cleanup() { endTest(); }

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

public slots:
    void onQueued(uint n) { m_queued << n; }

private:
    QList<uint> m_queued;
};

QTEST_MAIN(TestHostService)
#include "test_hostservice.moc"
