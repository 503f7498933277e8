// The start of the program: what it makes of its command line, which window system it runs on,
// and what a user sees when the start cannot go on. The last group runs the built program.
#include "app/commandline.h"
#include "app/platformchoice.h"
#include "common/diagnostics.h"
#include "common/twips.h"
#include "link/udplink.h"
#include "pendant/pendants.h"
#include "provider/pendantwindow.h"
#include "provider/provstate.h"
#include "provider/startup.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <cmath>

using namespace tarvisk;

namespace {

// An environment whose probes answer from the given sets instead of a real desktop.
DisplayEnvironment fakeDesktop(const QByteArray &display, bool xAnswers, const QString &waylandSocket = {})
{
    DisplayEnvironment env;
    env.display = display;
    env.runtimeDir = "/run/user/1000";
    env.x11Answers = [xAnswers](const QByteArray &) { return xAnswers; };
    env.socketExists = [waylandSocket](const QString &path) {
        return !waylandSocket.isEmpty() && path == waylandSocket;
    };
    return env;
}

struct Run
{
    int exitCode = -1;
    bool finished = false;
    QString out;
    QString err;
};

// Runs the built program; when it has not ended after timeoutMs (a message box waiting for a
// user), it is killed and what it wrote so far is returned.
Run runTarvisk(const QStringList &arguments, const QProcessEnvironment &env, int timeoutMs = 15000)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable("TARVISK_EXE"), arguments);
    Run r;
    r.finished = p.waitForFinished(timeoutMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished(5000);
    }
    r.exitCode = p.exitCode();
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

// Waits until the program has written text containing what to its standard error, then kills it.
QString stderrUntil(const QStringList &arguments, const QProcessEnvironment &env, const QString &what)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable("TARVISK_EXE"), arguments);
    QString err;
    QElapsedTimer t;
    t.start();
    while (!err.contains(what) && t.elapsed() < 15000 && p.state() != QProcess::NotRunning) {
        p.waitForReadyRead(200);
        err += QString::fromLocal8Bit(p.readAllStandardError());
    }
    p.kill();
    p.waitForFinished(5000);
    return err + QString::fromLocal8Bit(p.readAllStandardError());
}

QProcessEnvironment withoutDisplay(const QString &runtimeDir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "WAYLAND_SOCKET"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    return env;
}

} // namespace

class TestApp : public QObject
{
    Q_OBJECT

private slots:
    void optionsAndArgumentsAreToldApart_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QStringList>("positional");
        QTest::addColumn<QStringList>("qtOptions");
        QTest::addColumn<QString>("error");
        using A = CommandLine::Action;
        QTest::newRow("five arguments, the old pendant's -1 among them")
            << QStringList{"10.0.0.2", "5010", "255.255.255.255", "5009", "-1"} << int(A::Run)
            << QStringList{"10.0.0.2", "5010", "255.255.255.255", "5009", "-1"} << QStringList{} << "";
        QTest::newRow("version") << QStringList{"--version"} << int(A::Version) << QStringList{} << QStringList{} << "";
        QTest::newRow("help after an argument")
            << QStringList{"10.0.0.2", "-h"} << int(A::Help) << QStringList{"10.0.0.2"} << QStringList{} << "";
        QTest::newRow("mistyped option is refused, not taken for the address")
            << QStringList{"--automaton"} << int(A::Refuse) << QStringList{} << QStringList{}
            << "unknown option --automaton";
        QTest::newRow("single-dash word") << QStringList{"-verbose", "10.0.0.2"} << int(A::Refuse) << QStringList{}
                                          << QStringList{} << "unknown option -verbose";
        QTest::newRow("after --, a dash is an argument")
            << QStringList{"--", "-x", "5010"} << int(A::Run) << QStringList{"-x", "5010"} << QStringList{} << "";
        QTest::newRow("Qt's options pass on, with their values")
            << QStringList{"-platform", "offscreen", "--style=Fusion", "-reverse", "10.0.0.2"} << int(A::Run)
            << QStringList{"10.0.0.2"} << QStringList{"-platform", "offscreen", "-style", "Fusion", "-reverse"} << "";
        QTest::newRow("Qt option without its value")
            << QStringList{"10.0.0.2", "-display"} << int(A::Refuse) << QStringList{"10.0.0.2"} << QStringList{}
            << "the option -display needs a value";
    }
    void optionsAndArgumentsAreToldApart()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, action);
        QFETCH(QStringList, positional);
        QFETCH(QStringList, qtOptions);
        QFETCH(QString, error);
        const CommandLine cl = parseCommandLine(arguments);
        QCOMPARE(int(cl.action), action);
        QCOMPARE(cl.positional, positional);
        if (cl.action == CommandLine::Action::Run)
            QCOMPARE(cl.qtOptions, qtOptions);
        QCOMPARE(cl.error, error);
    }

    void zoomIsReadOrRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("zoom"); // 0: refused
        QTest::addColumn<QString>("error");
        QTest::newRow("value apart") << QStringList{"--zoom", "150", "10.0.0.2"} << 150 << "";
        QTest::newRow("joined, with a percent sign") << QStringList{"--zoom=200%"} << 200 << "";
        QTest::newRow("the range's ends") << QStringList{"--zoom", "50", "--zoom", "400"} << 400 << "";
        QTest::newRow("no number") << QStringList{"--zoom", "big"} << 0
                                   << "--zoom \"big\" is no percentage from 50 to 400; give a whole number such as 150";
        QTest::newRow("a factor, not a percentage")
            << QStringList{"--zoom=1.5"} << 0
            << "--zoom \"1.5\" is no percentage from 50 to 400; give a whole number such as 150";
        QTest::newRow("above the range") << QStringList{"--zoom", "401"} << 0
                                         << "--zoom \"401\" is no percentage from 50 to 400; give a whole number "
                                            "such as 150";
        QTest::newRow("without its value")
            << QStringList{"10.0.0.2", "--zoom"} << 0 << "the option --zoom needs a value, a percentage such as 150";
    }
    void zoomIsReadOrRefused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, zoom);
        QFETCH(QString, error);
        const CommandLine cl = parseCommandLine(arguments);
        QCOMPARE(int(cl.action), int(zoom ? CommandLine::Action::Run : CommandLine::Action::Refuse));
        QCOMPARE(cl.error, error);
        if (zoom)
            QCOMPARE(cl.zoomPercent, zoom);
    }

    // Which zoom a start shows its pendant at: the command line's, else the dialog's choice, else
    // the stored one; hosted, the command line's only.
    void startupAppliesTheZoom_data()
    {
        QTest::addColumn<bool>("byUser");
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<int>("option");
        QTest::addColumn<int>("dialog"); // 0: no dialog shown
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("arguments and --zoom") << true << "127.0.0.1 9 127.0.0.1 0" << 150 << 0 << 200 << 150;
        QTest::newRow("arguments, the stored zoom") << true << "127.0.0.1 9 127.0.0.1 0" << 0 << 0 << 200 << 200;
        QTest::newRow("the dialog's choice") << true << "" << 150 << 125 << 200 << 125;
        QTest::newRow("hosted, --zoom") << false << "" << 175 << 0 << 200 << 175;
        QTest::newRow("hosted reads no settings") << false << "" << 0 << 0 << 200 << 100;
    }
    void startupAppliesTheZoom()
    {
        QFETCH(bool, byUser);
        QFETCH(QString, commandLine);
        QFETCH(int, option);
        QFETCH(int, dialog);
        QFETCH(int, stored);
        QFETCH(int, expected);
        resetProcessState();
        registerPendantWindows();
        CapturingDiagnostics diag;
        StartupEnvironment env;
        env.startedByUser = byUser;
        env.commandLine = commandLine;
        env.zoomPercent = option;
        env.storedZoomPercent = [stored] { return stored; };
        bool dialogShown = false;
        env.runConnectDialog = [&] {
            dialogShown = true;
            ConnectChoice c;
            c.destIP = QStringLiteral("127.0.0.1");
            c.destPort = 1;
            c.zoomPercent = dialog;
            c.cancel = false;
            return c;
        };
        env.createLink = [] { return std::make_shared<UdpPendantLink>(); };
        QVERIFY2(Main(env) || !byUser, qPrintable(diag.boxes.isEmpty() ? QString() : diag.boxes[0].text));
        QCOMPARE(dialogShown, dialog != 0);
        QCOMPARE(twips::zoom(), expected / 100.0);
        if (byUser) {
            // The standard pendant, 3195 twips wide: 213 pixels at 100%.
            IPendantWindow *w = existingPendantWindow(PendantKind::Standard);
            QVERIFY(w);
            QCOMPARE(w->widget()->width(), int(std::nearbyint(213 * expected / 100.0)));
        }
        resetProcessState();
        QCOMPARE(twips::zoom(), 1.0);
    }

    void automationAndPlatformAreRead()
    {
        const CommandLine cl = parseCommandLine({"--automation", "-platform", "wayland"});
        QVERIFY(cl.automation);
        QCOMPARE(cl.platform, QStringLiteral("wayland"));
        QVERIFY(cl.positional.isEmpty());
    }

    // The scripting options take their value either way, and refuse what cannot go together
    // before anything starts.
    void scriptingOptions()
    {
        CommandLine cl = parseCommandLine(
            {"--name", "bench_1", "--record=s.jsonl", "10.0.0.2", "--replay", "r.jsonl", "--fast", "5010"});
        QCOMPARE(int(cl.action), int(CommandLine::Action::Run));
        QCOMPARE(cl.positional, (QStringList{"10.0.0.2", "5010"}));
        QCOMPARE(cl.scripting.name, QStringLiteral("bench_1"));
        QCOMPARE(cl.scripting.record, QStringLiteral("s.jsonl"));
        QCOMPARE(cl.scripting.replay, QStringLiteral("r.jsonl"));
        QVERIFY(cl.scripting.fast);
        // The old pendant's -1 after a valued option is still the argument.
        cl = parseCommandLine({"--record", "a", "127.0.0.1", "5010", "255.255.255.255", "5009", "-1"});
        QCOMPARE(cl.positional.last(), QStringLiteral("-1"));

        const struct
        {
            QStringList arguments;
            const char *error;
        } refused[] = {
            {{"--name", "9lives"}, "--name: \"9lives\" begins with a digit"},
            {{"--name=a-b"}, "--name: \"a-b\" holds \"-\""},
            {{"--record"}, "the option --record needs a value"},
            {{"--replay="}, "the option --replay needs a value"},
            {{"--fast", "10.0.0.2"}, "--fast goes with --replay FILE"},
            {{"--automation", "--name", "x"}, "--name names a standalone pendant"},
            {{"--automation", "--replay", "r"}, "--replay replays a standalone session"},
            {{"--fast=1", "--replay", "r"}, "unknown option --fast=1"},
        };
        for (const auto &r : refused) {
            const CommandLine bad = parseCommandLine(r.arguments);
            QCOMPARE(int(bad.action), int(CommandLine::Action::Refuse));
            QVERIFY2(bad.error.startsWith(QLatin1String(r.error)), qPrintable(bad.error));
        }
        QVERIFY(parseCommandLine({"--automation", "--record", "h"}).action == CommandLine::Action::Run);
    }

    void windowSystemChoice()
    {
        const QString socket = QStringLiteral("/run/user/1000/wayland-0");
        // A reachable X server wins over Wayland when nothing was asked for (XWayland).
        QCOMPARE(choosePlatform(fakeDesktop(":0", true, socket)).platform, QByteArray("xcb"));
        // Without X, the compositor is used.
        QCOMPARE(choosePlatform(fakeDesktop(":0", false, socket)).platform, QByteArray("wayland"));
        QCOMPARE(choosePlatform(fakeDesktop("", false, socket)).platform, QByteArray("wayland"));
        // WAYLAND_DISPLAY names the socket, relative to the runtime folder or absolute.
        DisplayEnvironment named = fakeDesktop("", false, QStringLiteral("/tmp/w-1"));
        named.waylandDisplay = "/tmp/w-1";
        QCOMPARE(choosePlatform(named).platform, QByteArray("wayland"));

        // What was asked for is kept, and never second-guessed.
        DisplayEnvironment asked = fakeDesktop(":0", true, socket);
        asked.qpaPlatform = "wayland";
        QCOMPARE(choosePlatform(asked).platform, QByteArray());
        QVERIFY(choosePlatform(asked).error.isEmpty());
        asked.qpaPlatform = "offscreen";
        QVERIFY(choosePlatform(asked).error.isEmpty());
        DisplayEnvironment byOption = fakeDesktop("", false);
        byOption.platformOption = QStringLiteral("offscreen");
        QCOMPARE(choosePlatform(byOption).platform, QByteArray());
        QVERIFY(choosePlatform(byOption).error.isEmpty());
        DisplayEnvironment list = fakeDesktop("", false);
        list.qpaPlatform = "wayland;xcb";
        QVERIFY(choosePlatform(list).error.isEmpty());
    }

    void noDisplayIsSaidPlainly()
    {
        const PlatformChoice none = choosePlatform(fakeDesktop("", false));
        QVERIFY(none.platform.isEmpty());
        QVERIFY2(none.error.startsWith(QLatin1String("no display found: DISPLAY is not set")), qPrintable(none.error));
        QVERIFY(none.error.contains(QLatin1String("wayland-0")));
        QVERIFY(none.error.contains(QLatin1String("QT_QPA_PLATFORM=offscreen")));

        const PlatformChoice deadX = choosePlatform(fakeDesktop(":7", false));
        QVERIFY2(deadX.error.contains(QLatin1String("no X server answers on DISPLAY=:7")), qPrintable(deadX.error));

        DisplayEnvironment askedX = fakeDesktop(":7", false);
        askedX.qpaPlatform = "xcb";
        QVERIFY2(
            choosePlatform(askedX).error.startsWith(QLatin1String("the xcb platform was asked for, but no X server")),
            qPrintable(choosePlatform(askedX).error));
        DisplayEnvironment askedWayland = fakeDesktop(":0", true);
        askedWayland.platformOption = QStringLiteral("wayland");
        QVERIFY(choosePlatform(askedWayland).error.startsWith(QLatin1String("the wayland platform was asked for")));
    }

    // The start-up tells a bad value by where the user gave it, never by the link's option text.
    void startupNamesTheFaultyValue_data()
    {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QString>("dialogAddress"); // set: the dialog's choice instead of a command line
        QTest::addColumn<QString>("expected");
        QTest::newRow("port above range") << "127.0.0.1 70000"
                                          << ""
                                          << "The controller port \"70000\" (argument 2) is outside 0 to 65535. "
                                             "Give a port from 1 to 65535.";
        QTest::newRow("controller port 0") << "127.0.0.1 0"
                                           << ""
                                           << "The controller port \"0\" (argument 2) cannot be sent to.";
        QTest::newRow("empty address") << "\"\""
                                       << ""
                                       << "The controller address \"\" (empty) (argument 1) is no IP address. Give "
                                          "an IPv4 address such as 192.168.0.10, or an IPv6 address in brackets such "
                                          "as [::1].";
        QTest::newRow("own address of another IP version")
            << "[::1] 5010 127.0.0.1"
            << ""
            << "The own address \"127.0.0.1\" (argument 3) and the controller address [::1] are of different IP "
               "versions.";
        QTest::newRow("IPv6 without brackets") << "127.0.0.1 5010 ::1"
                                               << ""
                                               << "The own address \"::1\" (argument 3) holds a \":\" outside "
                                                  "brackets.";
        QTest::newRow("dialog address part above 255")
            << ""
            << "10.0.0.999"
            << "The controller address \"10.0.0.999\" from the connection dialog is no IP address.";
    }
    void startupNamesTheFaultyValue()
    {
        QFETCH(QString, commandLine);
        QFETCH(QString, dialogAddress);
        QFETCH(QString, expected);
        resetProcessState();
        registerPendantWindows();
        CapturingDiagnostics diag;
        StartupEnvironment env;
        env.commandLine = commandLine;
        env.runConnectDialog = [&] {
            ConnectChoice c;
            c.destIP = dialogAddress;
            c.destPort = 5010;
            c.cancel = false;
            return c;
        };
        env.createLink = [] { return std::make_shared<UdpPendantLink>(); };
        QVERIFY(!Main(env));
        QCOMPARE(diag.boxes.size(), 1);
        QVERIFY2(diag.boxes[0].text.startsWith(expected), qPrintable(diag.boxes[0].text));
        QVERIFY(!diag.boxes[0].text.contains(QLatin1String("TPClient")));
        QCOMPARE(diag.boxes[0].icon, Diagnostics::Icon::Exclamation);
        QVERIFY(!g_TPComm);
        QVERIFY(!existingPendantWindow(PendantKind::Standard));
        resetProcessState();
    }

    void startupSaysWhatToDoWhenTheOwnPortIsTaken()
    {
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::LocalHost, 0));
        resetProcessState();
        CapturingDiagnostics diag;
        StartupEnvironment env;
        env.commandLine = QStringLiteral("127.0.0.1 5010 127.0.0.1 %1").arg(holder.localPort());
        env.createLink = [] { return std::make_shared<UdpPendantLink>(); };
        QVERIFY(!Main(env));
        QCOMPARE(diag.boxes.size(), 1);
        QVERIFY2(diag.boxes[0].text.contains(QString::number(holder.localPort())), qPrintable(diag.boxes[0].text));
        QVERIFY2(
            diag.boxes[0].text.endsWith(QLatin1String("Give another own port as argument 4; 0 takes any free port.")),
            qPrintable(diag.boxes[0].text));
        resetProcessState();
    }

    // The built program, as a user first meets it.
    void programVersionAndRefusedOption()
    {
        const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const Run version = runTarvisk({"--version"}, env);
        QVERIFY(version.finished);
        QCOMPARE(version.exitCode, 0);
        QVERIFY2(QRegularExpression(QStringLiteral("^tarvisk \\d+\\.\\d+\\.\\d+\\n$")).match(version.out).hasMatch(),
                 qPrintable(version.out));

        const Run refused = runTarvisk({"--automaton"}, env);
        QVERIFY(refused.finished);
        QCOMPARE(refused.exitCode, 2);
        QVERIFY2(refused.err.startsWith(QLatin1String("tarvisk: unknown option --automaton\n")),
                 qPrintable(refused.err));
        QVERIFY(refused.err.contains(QLatin1String("Usage: tarvisk")));
        QVERIFY(refused.out.isEmpty());
    }

    void programWithoutDisplay()
    {
        QTemporaryDir runtime;
        const Run r = runTarvisk({"127.0.0.1"}, withoutDisplay(runtime.path()));
        QVERIFY(r.finished);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.startsWith(QLatin1String("tarvisk: no display found: DISPLAY is not set")), qPrintable(r.err));
        QVERIFY(r.err.contains(QLatin1String("set DISPLAY")));
        QVERIFY(!r.err.contains(QLatin1String("einstall")));

        // Hosted starts meet the same check.
        const Run hosted = runTarvisk({"--automation"}, withoutDisplay(runtime.path()));
        QCOMPARE(hosted.exitCode, 1);
        QVERIFY(hosted.err.contains(QLatin1String("no display found")));
    }

    void programWithBrokenPlatform()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("nosuchplatform"));
        const Run r = runTarvisk({"127.0.0.1"}, env);
        QVERIFY(r.finished);
        QCOMPARE(r.exitCode, 1); // not Qt's abort (134)
        QVERIFY2(r.err.contains(
                     QLatin1String("tarvisk: the display could not be opened with the platform \"nosuchplatform\": ")),
                 qPrintable(r.err));
        QVERIFY(!r.err.contains(QLatin1String("einstall")));
    }

    void programNamesTheBadArgument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("port above range") << QStringList{"127.0.0.1", "70000"}
                                          << "The controller port \"70000\" (argument 2) is outside 0 to 65535. Give a "
                                             "port from 1 to 65535.";
        QTest::newRow("address part above 255")
            << QStringList{"300.1.2.3"}
            << "The controller address \"300.1.2.3\" (argument 1) is no IP address. Give an IPv4 address";
        QTest::newRow("own port text") << QStringList{"127.0.0.1", "5010", "127.0.0.1", "abc"}
                                       << "The own port \"abc\" (argument 4) is no decimal number.";
        QTest::newRow("address with a port in it") << QStringList{"127.0.0.1:5010"}
                                                   << "The controller address \"127.0.0.1:5010\" (argument 1) holds a "
                                                      "\":\" outside brackets.";
    }
    void programNamesTheBadArgument()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // The warning box waits for a user; its text is on standard error first.
        const QString err = stderrUntil(arguments, env, expected);
        QVERIFY2(err.contains(expected), qPrintable(err));
        QVERIFY2(!err.contains(QLatin1String("TPClient")), qPrintable(err));
    }
};

QTEST_MAIN(TestApp)
#include "test_app.moc"
