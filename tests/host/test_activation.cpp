// The built program as the bus starts it: a private bus whose service folder holds the generated
// activation file, and only outside clients (gdbus, tarvisk-client, a second tarvisk).
#include "support/privatebus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <csignal>
#include <sys/types.h>

using namespace tarvisk::testing;

namespace {

const QString kName = QStringLiteral("ZephProv.Halvex.Tarvisk");
const QString kRoot = QStringLiteral("/ZephProv/Halvex/Tarvisk");

} // namespace

class TestActivation : public QObject
{
    Q_OBJECT

    PrivateBus bus;

    RunResult gdbus(const QString &path, const QString &method, const QStringList &arguments = {})
    {
        return gdbusCall(bus.environment(), kName, path, method, arguments);
    }

    RunResult busCall(const QString &method, const QString &argument)
    {
        return gdbusCall(bus.environment(), QStringLiteral("org.freedesktop.DBus"),
                         QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus.") + method,
                         {argument});
    }

    bool nameOwned() { return busCall(QStringLiteral("NameHasOwner"), kName).out.contains(u"true"); }

    qint64 providerPid()
    {
        return firstMatch(busCall(QStringLiteral("GetConnectionUnixProcessID"), kName).out,
                          QStringLiteral("\\(uint32 (\\d+),\\)"))
            .toLongLong();
    }

    QString execute(const QString &controller, const QString &command)
    {
        return gdbus(controller, QStringLiteral("ZephProv.IProviderController.FinalExecute"),
                     {command, QStringLiteral("(0x45, <byte 0>)")})
            .out.trimmed();
    }

private slots:
    void initTestCase()
    {
        const QString services = qEnvironmentVariable("TARVISK_SERVICE_DIR");
        QVERIFY2(QFileInfo::exists(services + QStringLiteral("/ZephProv.Halvex.Tarvisk.service")),
                 qPrintable(services));
        QString error;
        QVERIFY2(bus.start({services}, &error), qPrintable(error));
    }

    void cleanupTestCase() { bus.stop(); }

    void activationConnectShowAndDisconnect()
    {
        QVERIFY(!nameOwned());
        // The first call starts the program; the bus itself holds the controller, since every
        // gdbus call is a connection of its own.
        const RunResult created = gdbus(kRoot, QStringLiteral("ZephProv.Halvex.Tarvisk.Provider.CreateController"),
                                        {QStringLiteral("org.freedesktop.DBus")});
        QVERIFY2(created.exitCode == 0, qPrintable(created.err));
        const QString controller = firstMatch(created.out, QStringLiteral("'(/[^']+)'"));
        QVERIFY(!controller.isEmpty());
        const qint64 pid = providerPid();
        QVERIFY(processAlive(pid));
        QCOMPARE(QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath(),
                 QFileInfo(qEnvironmentVariable("TARVISK_EXE")).canonicalFilePath());

        const RunResult connected =
            gdbus(controller, QStringLiteral("ZephProv.IProviderController.FinalConnect"),
                  {QStringLiteral("(0x61, <@a(yv) [(0x45, <byte 0>), (0x73, <'PendantType=0, StateDestination=x'>), "
                                  "(0x45, <byte 0>)]>)")});
        QVERIFY2(connected.out.startsWith(u"(0, "), qPrintable(connected.out + connected.err));
        QCOMPARE(execute(controller, QStringLiteral("getvisible")), QStringLiteral("(0, (byte 0x62, <false>))"));
        QCOMPARE(execute(controller, QStringLiteral("show")), QStringLiteral("(0, (byte 0x45, <byte 0x00>))"));
        QCOMPARE(execute(controller, QStringLiteral("getvisible")), QStringLiteral("(0, (byte 0x62, <true>))"));

        // A second start while the name is taken says so and fails.
        const RunResult second =
            runProgram(qEnvironmentVariable("TARVISK_EXE"), {QStringLiteral("--automation")}, bus.environment());
        QVERIFY(second.finished);
        QVERIFY(second.exitCode != 0);
        QVERIFY2(second.err.contains(QStringLiteral("the bus name ZephProv.Halvex.Tarvisk is owned already")),
                 qPrintable(second.err));
        QCOMPARE(providerPid(), pid);

        // The final message 0 stays fetchable after FinalDisconnect.
        QCOMPARE(gdbus(controller, QStringLiteral("ZephProv.IProviderController.FinalDisconnect")).out.trimmed(),
                 QStringLiteral("(0,)"));
        QCOMPARE(execute(controller, QStringLiteral("getvisible")), QStringLiteral("(0, (byte 0x62, <false>))"));
        QStringList numbersAndValues;
        QStringList messages;
        for (int i = 0; i < 50; ++i) {
            const QString path =
                firstMatch(gdbus(controller, QStringLiteral("ZephProv.IProviderController.GetMessage")).out,
                           QStringLiteral("objectpath '([^']+)'"));
            if (path == u"/" || path.isEmpty())
                break;
            messages << path;
            numbersAndValues
                << gdbus(path, QStringLiteral("ZephProv.IProviderMessage.FinalGetNumber")).out.trimmed() + u' ' +
                       gdbus(path, QStringLiteral("ZephProv.IProviderMessage.FinalGetValue")).out.trimmed();
        }
        QVERIFY(numbersAndValues.size() >= 2);
        // Addressed and general copies of state 0 (Integer 0) come last.
        QCOMPARE(numbersAndValues.mid(numbersAndValues.size() - 2),
                 (QStringList{QStringLiteral("(0, 0) (0, (byte 0x6e, <int16 0>))"),
                              QStringLiteral("(0, 0) (0, (byte 0x6e, <int16 0>))")}));

        // Releasing everything ends the program.
        for (const QString &m : std::as_const(messages))
            QCOMPARE(gdbus(m, QStringLiteral("ZephProv.Halvex.Tarvisk.Handle.Release")).exitCode, 0);
        QVERIFY(nameOwned());
        QCOMPARE(gdbus(controller, QStringLiteral("ZephProv.Halvex.Tarvisk.Handle.Release")).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(pid), 10000);
        QVERIFY(!nameOwned());
    }

    void callerHeldObjectsGoWithTheCall()
    {
        // Held by the gdbus connection, the controller goes when that call's connection ends; the
        // program then has nothing left and ends too.
        const RunResult created =
            gdbus(kRoot, QStringLiteral("ZephProv.Halvex.Tarvisk.Provider.CreateController"), {QStringLiteral("")});
        const QString controller = firstMatch(created.out, QStringLiteral("'(/[^']+)'"));
        QVERIFY2(!controller.isEmpty(), qPrintable(created.err));
        const qint64 pid = providerPid();
        if (pid != 0)
            QTRY_VERIFY_WITH_TIMEOUT(!processAlive(pid), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!nameOwned(), 10000);
    }

    void backToBackRoundsAreNeverRefused()
    {
        // Each round's release ends its provider; the next round's Create, sent the moment the
        // release is answered, must start a fresh one rather than reach the one that is ending.
        const QString connectionName = QStringLiteral("rounds");
        QDBusConnection client = QDBusConnection::connectToBus(bus.address(), connectionName);
        QVERIFY(client.isConnected());
        QStringList refused;
        QSet<uint> providers;
        for (int round = 1; round <= 25; ++round) {
            QDBusMessage create = QDBusMessage::createMethodCall(kName, kRoot, kName + QStringLiteral(".Provider"),
                                                                 QStringLiteral("CreateController"));
            create << QString();
            const QDBusMessage made = client.call(create, QDBus::Block, 30000);
            if (made.type() != QDBusMessage::ReplyMessage) {
                refused << QStringLiteral("round %1, create: %2").arg(round).arg(made.errorName());
                continue;
            }
            providers << client.interface()->servicePid(kName).value();
            const QString controller = qdbus_cast<QDBusObjectPath>(made.arguments().first()).path();
            const QDBusMessage released = client.call(QDBusMessage::createMethodCall(
                kName, controller, kName + QStringLiteral(".Handle"), QStringLiteral("Release")));
            if (released.type() != QDBusMessage::ReplyMessage)
                refused << QStringLiteral("round %1, release: %2").arg(round).arg(released.errorName());
        }
        QVERIFY2(refused.isEmpty(), qPrintable(refused.join(u'\n')));
        QCOMPARE(providers.size(), 25);
        for (uint pid : std::as_const(providers))
            QTRY_VERIFY_WITH_TIMEOUT(!processAlive(pid), 15000);
        QDBusConnection::disconnectFromBus(connectionName);
    }

    void tarviskClientDrivesTheActivatedProgram()
    {
        const RunResult r =
            runProgram(qEnvironmentVariable("TARVISK_CLIENT"),
                       {QStringLiteral("--options"), QStringLiteral("PendantType=0"), QStringLiteral("getvisible"),
                        QStringLiteral("show"), QStringLiteral("getvisible"), QStringLiteral("beep 500"),
                        QStringLiteral("getkeystate"), QStringLiteral("--timeout"), QStringLiteral("3")},
                       bus.environment());
        QVERIFY2(r.finished && r.exitCode == 0, qPrintable(r.err));
        const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.size() >= 4, qPrintable(r.out));
        QCOMPARE(lines.mid(0, 2),
                 (QStringList{QStringLiteral("getvisible\tfalse"), QStringLiteral("getvisible\ttrue")}));
        QVERIFY2(QRegularExpression(QStringLiteral("^getkeystate\tB:[0-9a-f]{16}$")).match(lines.at(2)).hasMatch(),
                 qPrintable(lines.at(2)));
        // Following for three seconds: "CONNECT" after the first-connection tick, the final 0 last.
        QCOMPARE(lines.at(3), QStringLiteral("0\t1\t17\t\t0"));
        QCOMPARE(lines.last(), QStringLiteral("0\tn:0\t17\t\t0"));

        // A failing command is reported with its status and what the status means.
        const RunResult failed = runProgram(qEnvironmentVariable("TARVISK_CLIENT"),
                                            {QStringLiteral("lcd 1"), QStringLiteral("show")}, bus.environment());
        QCOMPARE(failed.exitCode, 1);
        QVERIFY2(failed.err.contains(
                     QStringLiteral("\"lcd\" failed with status 438 (Object doesn't support this property or method)")),
                 qPrintable(failed.err));
        const RunResult backlight = runProgram(
            qEnvironmentVariable("TARVISK_CLIENT"),
            {QStringLiteral("-o"), QStringLiteral("PendantType=1"), QStringLiteral("backlight")}, bus.environment());
        QCOMPARE(backlight.exitCode, 1);
        QVERIFY2(backlight.err.contains(
                     QStringLiteral("\"backlight\" failed with status 5 (Invalid procedure call or argument)")),
                 qPrintable(backlight.err));

        // A name the provider does not know is warned about, and still sent: the provider accepts
        // it, so the run succeeds and goes on with the next command.
        const RunResult unknown = runProgram(qEnvironmentVariable("TARVISK_CLIENT"),
                                             {QStringLiteral("shwo"), QStringLiteral("GetVisible")}, bus.environment());
        QCOMPARE(unknown.exitCode, 0);
        QVERIFY2(unknown.err.contains(QStringLiteral("tarvisk-client: warning: \"shwo\" is no command of the provider; "
                                                     "it is sent all the same")),
                 qPrintable(unknown.err));
        QVERIFY2(!unknown.err.contains(QStringLiteral("GetVisible")), qPrintable(unknown.err));
        QCOMPARE(unknown.out, QStringLiteral("GetVisible\tfalse\n"));
        QTRY_VERIFY_WITH_TIMEOUT(!nameOwned(), 10000);
    }
};

QTEST_GUILESS_MAIN(TestActivation)
#include "test_activation.moc"
