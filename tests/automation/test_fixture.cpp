// The built programs as a user runs them, each test on a private bus with the windows offscreen:
// standalone pendants by name, tarvisk-client pendant and pendants, and the start-up errors.
#include "support/privatebus.h"
#include "support/udppeer.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <csignal>
#include <memory>
#include <sys/prctl.h>

using namespace tarvisk;
using namespace tarvisk::testing;

namespace {

const QString kPrefix = QStringLiteral("ZephProv.Halvex.Tarvisk.Pendant.");

Variant drawing(const QString &text)
{
    auto item = [](int code, const Variant &p) { return Variant::array({Variant(code), p}); };
    return Variant::array(
        {item(0x11, Variant(15)), item(0x10, Variant(15)),
         item(0x31, Variant::array({Variant(0), Variant(0), Variant(126), Variant(62)})), item(0x11, Variant(255)),
         item(0x10, Variant(0)),
         item(0x20, Variant::array({Variant(text), Variant(8), Variant(8), Variant(0), Variant(0)}))});
}

} // namespace

class TestFixture : public QObject
{
    Q_OBJECT

    PrivateBus bus;
    QDBusConnection client{QString()};
    QTemporaryDir home;
    std::vector<std::unique_ptr<QProcess>> pendants;

    QProcessEnvironment env() const
    {
        QProcessEnvironment e = bus.environment();
        e.insert(QStringLiteral("XDG_STATE_HOME"), home.filePath(QStringLiteral("state")));
        e.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        return e;
    }

    // A standalone pendant process; the caller waits for what it needs.
    QProcess *startPendant(const QStringList &arguments, QProcessEnvironment environment = {})
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(environment.isEmpty() ? env() : environment);
        p->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        p->start(qEnvironmentVariable("TARVISK_EXE"), arguments);
        pendants.push_back(std::move(p));
        return pendants.back().get();
    }

    bool waitForName(const QString &name, int timeoutMs = 10000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            if (client.interface()->isServiceRegistered(kPrefix + name).value())
                return true;
            QTest::qWait(50);
        }
        return false;
    }

    // A virtual controller on a free port, quiet but for what --verbose adds.
    QProcess *startController(const QStringList &arguments)
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env());
        p->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        p->start(qEnvironmentVariable("TARVISK_CONTROLLER"),
                 arguments + QStringList{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--verbose")});
        pendants.push_back(std::move(p));
        return pendants.back().get();
    }

    // The port a controller started by startController listens on; empty when it said none.
    static QString controllerPort(QProcess *controller)
    {
        QByteArray out;
        QDeadlineTimer deadline(10000);
        while (!out.contains('\n') && !deadline.hasExpired()) {
            controller->waitForReadyRead(100);
            out += controller->readAllStandardOutput();
        }
        return firstMatch(QString::fromUtf8(out), QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    }

    RunResult clientRun(const QStringList &arguments, int timeoutMs = 20000)
    {
        return runProgram(qEnvironmentVariable("TARVISK_CLIENT"), arguments, env(), timeoutMs);
    }

    // The pendant's state through the client, waited for.
    bool waitForState(const QString &name, const QString &state, int timeoutMs = 10000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            if (clientRun({QStringLiteral("pendant"), QStringLiteral("--name"), name, QStringLiteral("state")})
                    .out.trimmed() == state)
                return true;
            QTest::qWait(100);
        }
        return false;
    }

    // The script under "### In CI" in docs/automation.md, run with sh on the built programs and
    // a free port.
    RunResult runCiExample(const QString &session)
    {
        QFile doc(qEnvironmentVariable("TARVISK_SOURCE_DIR") + QStringLiteral("/docs/automation.md"));
        if (!doc.open(QIODevice::ReadOnly))
            return {-1, false, {}, QStringLiteral("cannot read ") + doc.fileName()};
        const QString text = QString::fromUtf8(doc.readAll());
        const qsizetype section = text.indexOf(QLatin1String("### In CI"));
        const qsizetype begin = text.indexOf(QLatin1String("```sh\n"), section);
        const qsizetype end = text.indexOf(QLatin1String("```"), begin + 6);
        if (section < 0 || begin < 0 || end < 0)
            return {-1, false, {}, QStringLiteral("no sh example under \"### In CI\"")};
        QFile script(home.filePath(QStringLiteral("replay.sh")));
        if (!script.open(QIODevice::WriteOnly) || script.write(text.mid(begin + 6, end - begin - 6).toUtf8()) < 0)
            return {-1, false, {}, QStringLiteral("cannot write the script")};
        script.close();
        // The programs by the names the example uses.
        QDir().mkpath(home.filePath(QStringLiteral("bin")));
        QFile::link(qEnvironmentVariable("TARVISK_EXE"), home.filePath(QStringLiteral("bin/tarvisk")));
        QFile::link(qEnvironmentVariable("TARVISK_CONTROLLER"),
                    home.filePath(QStringLiteral("bin/tarvisk-controller")));
        QUdpSocket probe;
        probe.bind(QHostAddress::LocalHost, 0);
        const QString port = QString::number(probe.localPort());
        probe.close();
        QProcessEnvironment e = env();
        e.insert(QStringLiteral("PATH"), home.filePath(QStringLiteral("bin:")) + e.value(QStringLiteral("PATH")));
        return runProgram(QStringLiteral("/bin/sh"), {script.fileName(), session, port}, e, 60000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(qEnvironmentVariable("TARVISK_EXE")));
        QVERIFY(QFile::exists(qEnvironmentVariable("TARVISK_CLIENT")));
        QString error;
        QVERIFY2(bus.start({}, &error), qPrintable(error));
        client = QDBusConnection::connectToBus(bus.address(), QStringLiteral("fixture-client"));
        QVERIFY(client.isConnected());
    }

    void cleanup()
    {
        for (auto &p : pendants) {
            p->terminate();
            if (!p->waitForFinished(5000))
                p->kill();
        }
        pendants.clear();
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("fixture-client"));
        bus.stop();
    }

    // Two pendants side by side, each reached by its name; the client lists both and reads each.
    void twoPendantsByName()
    {
        UdpPeer alphaController, betaController;
        QProcess *alpha =
            startPendant({QStringLiteral("--name"), QStringLiteral("alpha"), QStringLiteral("127.0.0.1"),
                          QString::number(alphaController.port()), QStringLiteral("127.0.0.1"), QStringLiteral("0")});
        QProcess *beta = startPendant({QStringLiteral("127.0.0.1"), QString::number(betaController.port()),
                                       QStringLiteral("127.0.0.1"), QStringLiteral("0"), QStringLiteral("1"),
                                       QStringLiteral("--name=beta")});
        QVERIFY2(waitForName(QStringLiteral("alpha")) && waitForName(QStringLiteral("beta")),
                 qPrintable(alpha->readAllStandardError() + beta->readAllStandardError()));

        const RunResult list = clientRun({QStringLiteral("pendants")});
        QCOMPARE(list.exitCode, 0);
        QStringList lines = list.out.trimmed().split(u'\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].startsWith(u"alpha\tstandard\t") && lines[0].endsWith(QString::number(alpha->processId())),
                 qPrintable(lines[0]));
        QVERIFY2(lines[1].startsWith(u"beta\tmini\t") && lines[1].endsWith(QString::number(beta->processId())),
                 qPrintable(lines[1]));

        // With two on the bus the client will not guess.
        const RunResult ambiguous = clientRun({QStringLiteral("pendant"), QStringLiteral("leds")});
        QCOMPARE(ambiguous.exitCode, 2);
        QVERIFY2(ambiguous.err.contains(u"alpha, beta") && ambiguous.err.contains(u"--name"),
                 qPrintable(ambiguous.err));
        const RunResult unknown = clientRun(
            {QStringLiteral("pendant"), QStringLiteral("--name"), QStringLiteral("gamma"), QStringLiteral("leds")});
        QCOMPARE(unknown.exitCode, 2);
        QVERIFY2(unknown.err.contains(u"no pendant named \"gamma\"") && unknown.err.contains(u"running: alpha, beta"),
                 qPrintable(unknown.err));

        QVERIFY(waitForState(QStringLiteral("alpha"), QStringLiteral("CONNECT")));
        QVERIFY(waitForState(QStringLiteral("beta"), QStringLiteral("CONNECT")));
        QTRY_VERIFY_WITH_TIMEOUT(!alphaController.received.isEmpty() && !betaController.received.isEmpty(), 5000);

        // Each controller talks to its own pendant only.
        alphaController.sendMessage(257, Variant::array({2, 2}), alphaController.received.first().fromPort);
        betaController.sendMessage(259, drawing(QStringLiteral("HELLO")), betaController.received.first().fromPort);
        QTRY_COMPARE_WITH_TIMEOUT(clientRun({QStringLiteral("pendant"), QStringLiteral("--name"),
                                             QStringLiteral("alpha"), QStringLiteral("leds")})
                                      .out,
                                  QStringLiteral("1\t1\tlit\n2\t2\tunlit\n"), 5000);
        RunResult text;
        QTRY_VERIFY_WITH_TIMEOUT(
            (text = clientRun({QStringLiteral("pendant"), QStringLiteral("--name"), QStringLiteral("beta"),
                               QStringLiteral("display"), QStringLiteral("--text")}))
                    .out.count(u'#') > 50,
            5000);
        const QStringList rows = text.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 62);
        QCOMPARE(rows[0].size(), 126);
        QCOMPARE(rows[0], QString(126, u'.')); // the text alone is lit, from row 8 on
        QVERIFY(rows[9].contains(u'#'));
        const QString noDisplay =
            clientRun({QStringLiteral("pendant"), QStringLiteral("--name"), QStringLiteral("alpha"),
                       QStringLiteral("display"), QStringLiteral("--text")})
                .err;
        QVERIFY2(noDisplay.contains(u"the standard pendant has no display"), qPrintable(noDisplay));

        const QString png = home.filePath(QStringLiteral("beta.png"));
        const RunResult saved = clientRun({QStringLiteral("pendant"), QStringLiteral("--name"), QStringLiteral("beta"),
                                           QStringLiteral("display"), QStringLiteral("--png"), png,
                                           QStringLiteral("--scale"), QStringLiteral("2")});
        QVERIFY2(saved.exitCode == 0, qPrintable(saved.err));
        QCOMPARE(QImage(png).size(), QSize(504, 248));
    }

    // A session recorded against the demo controller replays with status 0; against a controller
    // that answers nothing it ends with 1 and names the LED that stayed dark.
    void recordAndReplay()
    {
        QProcess *demo = startController({QStringLiteral("--demo"), QStringLiteral("--mini")});
        const QString demoPort = controllerPort(demo);
        QVERIFY(!demoPort.isEmpty());
        const QString address = QStringLiteral("127.0.0.1");
        QProcess *recording =
            startPendant({QStringLiteral("--record"), QStringLiteral("menu"), QStringLiteral("--name"),
                          QStringLiteral("rec"), address, demoPort, address, QStringLiteral("0"), QStringLiteral("1")});
        QVERIFY(waitForName(QStringLiteral("rec")));
        QVERIFY(waitForState(QStringLiteral("rec"), QStringLiteral("CONNECT")));
        for (const char *key : {"motor", "down", "ok"}) {
            const RunResult tap = clientRun({QStringLiteral("pendant"), QStringLiteral("tap"), QLatin1String(key)});
            QVERIFY2(tap.exitCode == 0, qPrintable(tap.err));
            QTest::qWait(150);
        }
        QTRY_COMPARE_WITH_TIMEOUT(
            clientRun({QStringLiteral("pendant"), QStringLiteral("leds")}).out.section(u'\n', 0, 0),
            QStringLiteral("1\t1\tlit"), 5000);
        QTest::qWait(300);
        recording->terminate(); // ends as the window closing does: the recording is complete
        QVERIFY(recording->waitForFinished(10000));
        QCOMPARE(recording->exitCode(), 0);

        QFile file(home.filePath(QStringLiteral("state/Tarvisk/menu")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(text.contains(u"{\"event\":\"press\",\"key\":\"MP_KEY_MOTOR\",\"source\":\"script\","),
                 qPrintable(text.left(2000)));
        QVERIFY(text.contains(u"{\"event\":\"led\",\"mode\":1,\"number\":1,"));
        QVERIFY(text.contains(u"\"event\":\"display\""));
        QVERIFY2(text.trimmed().section(u'\n', -1).startsWith(u"{\"event\":\"end\","), qPrintable(text.right(200)));

        // Against the same controller, with the recording's own arguments.
        const RunResult same =
            runProgram(qEnvironmentVariable("TARVISK_EXE"),
                       {QStringLiteral("--replay"), QStringLiteral("menu"), QStringLiteral("--fast")}, env(), 60000);
        QVERIFY2(same.exitCode == 0, qPrintable(same.out + same.err));
        QVERIFY2(same.out.startsWith(u"replay of menu: all "), qPrintable(same.out));
        demo->terminate();

        // The CI example of docs/automation.md, as it stands there, with its own controller.
        const RunResult ci = runCiExample(home.filePath(QStringLiteral("state/Tarvisk/menu")));
        QVERIFY2(ci.exitCode == 0, qPrintable(ci.out + ci.err));
        QVERIFY2(ci.out.startsWith(u"replay of menu: all "), qPrintable(ci.out));

        // Against a controller that answers nothing, given on the command line.
        QProcess *mute = startController({QStringLiteral("--mini")});
        const QString mutePort = controllerPort(mute);
        const RunResult other = runProgram(qEnvironmentVariable("TARVISK_EXE"),
                                           {QStringLiteral("--replay"), QStringLiteral("menu"), address, mutePort,
                                            address, QStringLiteral("0"), QStringLiteral("1")},
                                           env(), 60000);
        QCOMPARE(other.exitCode, 1);
        const QStringList lines = other.out.split(u'\n');
        const QStringList ledLines = lines.filter(QStringLiteral("  LED "));
        QVERIFY2(!ledLines.isEmpty() && ledLines.first().contains(u"LED 1: recorded mode 1, the replay gave nothing"),
                 qPrintable(other.out.left(3000)));
        QVERIFY2(lines.filter(QStringLiteral("  display: recorded sha256:")).size() >= 1,
                 qPrintable(other.out.left(3000)));
        QVERIFY(other.out.contains(u" | replay then (unchanged)"));
    }

    // watch prints the signals as lines, and ends after --count of them.
    void watchPrintsSignals()
    {
        UdpPeer controller;
        startPendant({QStringLiteral("--name"), QStringLiteral("w"), QStringLiteral("127.0.0.1"),
                      QString::number(controller.port()), QStringLiteral("127.0.0.1"), QStringLiteral("0")});
        QVERIFY(waitForName(QStringLiteral("w")));
        QTRY_VERIFY_WITH_TIMEOUT(!controller.received.isEmpty(), 5000);
        QProcess watch;
        watch.setProcessEnvironment(env());
        watch.start(qEnvironmentVariable("TARVISK_CLIENT"), {QStringLiteral("pendant"), QStringLiteral("watch"),
                                                             QStringLiteral("--count"), QStringLiteral("3")});
        QVERIFY(watch.waitForStarted());
        QTest::qWait(500); // the watch subscribes
        const quint16 port = controller.received.first().fromPort;
        controller.sendMessage(257, Variant::array({2, 1}), port);
        controller.sendMessage(256, Variant(-1), port);
        controller.sendMessage(256, Variant(0), port);
        QTRY_VERIFY_WITH_TIMEOUT(watch.state() == QProcess::NotRunning, 10000);
        QCOMPARE(watch.exitCode(), 0);
        const QStringList lines = QString::fromUtf8(watch.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        // The first tick may come between the messages; its state change is a signal too, and so
        // is what the link learns of the controller.
        QStringList withoutState = lines;
        withoutState.removeIf(
            [](const QString &l) { return l.startsWith(u"StateChanged") || l.startsWith(u"LinkStatusChanged"); });
        QVERIFY2(withoutState.size() >= 2, qPrintable(lines.join(u'|')));
        QCOMPARE(withoutState[0], QStringLiteral("LedChanged\t2\t1"));
        QCOMPARE(withoutState[1], QStringLiteral("BeeperChanged\ttrue\t-1"));
    }

    void startUpErrors()
    {
        UdpPeer controller;
        const QStringList address{QStringLiteral("127.0.0.1"), QString::number(controller.port()),
                                  QStringLiteral("127.0.0.1"), QStringLiteral("0")};
        QProcess *first = startPendant(QStringList{QStringLiteral("--name"), QStringLiteral("cell1")} + address);
        QVERIFY(waitForName(QStringLiteral("cell1")));

        // A name in use: a clear error at once, naming the holder.
        const RunResult taken =
            runProgram(qEnvironmentVariable("TARVISK_EXE"),
                       QStringList{QStringLiteral("--name"), QStringLiteral("cell1")} + address, env(), 20000);
        QCOMPARE(taken.exitCode, 1);
        QVERIFY2(taken.err.contains(kPrefix + QStringLiteral("cell1 is taken by process ") +
                                    QString::number(first->processId())) &&
                     taken.err.contains(u"--name"),
                 qPrintable(taken.err));

        const RunResult digit =
            runProgram(qEnvironmentVariable("TARVISK_EXE"),
                       QStringList{QStringLiteral("--name"), QStringLiteral("9lives")} + address, env(), 20000);
        QCOMPARE(digit.exitCode, 2);
        QVERIFY2(digit.err.contains(u"begins with a digit"), qPrintable(digit.err));
        const RunResult fast = runProgram(qEnvironmentVariable("TARVISK_EXE"),
                                          QStringList{QStringLiteral("--fast")} + address, env(), 20000);
        QCOMPARE(fast.exitCode, 2);
        QVERIFY2(fast.err.contains(u"--fast goes with --replay"), qPrintable(fast.err));
        const RunResult replay = runProgram(qEnvironmentVariable("TARVISK_EXE"),
                                            {QStringLiteral("--replay"), QStringLiteral("nothing-here")}, env(), 20000);
        QCOMPARE(replay.exitCode, 1);
        QVERIFY2(replay.err.contains(home.filePath(QStringLiteral("state/Tarvisk/nothing-here"))),
                 qPrintable(replay.err));

        // No session bus: the pendant runs all the same, and says once that it cannot be scripted.
        QProcessEnvironment noBus = env();
        noBus.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                     QStringLiteral("unix:path=") + home.filePath(QStringLiteral("no-such-bus")));
        QProcess *lone = startPendant(address, noBus);
        QTRY_VERIFY_WITH_TIMEOUT(!controller.received.isEmpty(), 10000);
        QTest::qWait(300);
        QCOMPARE(lone->state(), QProcess::Running);
        const QString err = QString::fromUtf8(lone->readAllStandardError());
        QCOMPARE(err.count(u"cannot be scripted"), 1);
        // Nor does it start a bus of its own when no address is set at all.
        QProcessEnvironment unset = noBus;
        unset.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        unset.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        QProcess *unaddressed = startPendant(address, unset);
        QTRY_VERIFY_WITH_TIMEOUT(unaddressed->bytesAvailable() > 0 || unaddressed->state() != QProcess::Running, 10000);
        QTest::qWait(300);
        QCOMPARE(unaddressed->state(), QProcess::Running);
        const QString said = QString::fromUtf8(unaddressed->readAllStandardError());
        QVERIFY2(said.contains(u"DBUS_SESSION_BUS_ADDRESS is not set") && said.count(u"cannot be scripted") == 1,
                 qPrintable(said));
    }

    // tarvisk --automation serves the pendant beside the provider: once a client connects one,
    // --hosted reaches it, with the key tables of a hosted start behind it.
    void hostedPendantBesideTheProvider()
    {
        QProcess *provider = startPendant({QStringLiteral("--automation")});
        QDeadlineTimer deadline(10000);
        while (!client.interface()->isServiceRegistered(QStringLiteral("ZephProv.Halvex.Tarvisk")).value() &&
               !deadline.hasExpired())
            QTest::qWait(50);
        QProcess session;
        session.setProcessEnvironment(env());
        session.start(qEnvironmentVariable("TARVISK_CLIENT"),
                      {QStringLiteral("-o"), QStringLiteral("PendantType=1"), QStringLiteral("show"),
                       QStringLiteral("--timeout"), QStringLiteral("30")});
        QVERIFY(session.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(
            clientRun({QStringLiteral("pendant"), QStringLiteral("--hosted"), QStringLiteral("keys")}).out,
            QStringLiteral("MP_KEY_MAN\n"), 10000);
        const RunResult listed = clientRun({QStringLiteral("pendants")});
        QVERIFY2(listed.out.startsWith(QStringLiteral("(hosted)\tmini\tCONNECT\t%1").arg(provider->processId())),
                 qPrintable(listed.out));
        // Its one pendant is found without asking.
        QCOMPARE(clientRun({QStringLiteral("pendant"), QStringLiteral("state")}).out, QStringLiteral("CONNECT\n"));
        session.terminate();
        session.waitForFinished(5000);
    }
};

QTEST_GUILESS_MAIN(TestFixture)
#include "test_fixture.moc"
