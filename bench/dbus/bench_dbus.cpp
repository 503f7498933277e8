// D-Bus costs of the provider, each beside the floors measured in the same run on the same
// private bus: a bare Peer.Ping (answered by the provider's D-Bus library without reaching its
// event loop) and a trivial method of a minimal Qt service whose object lives on its main
// thread (bench_floor_service), the fair floor, since every provider call runs on the
// provider's main thread. The provider is bench_host: the provider library as the tarvisk
// program runs it, plus a control object that presses keys on the real standard pendant.
// This process is the client; it times blocking calls, and a press up to the message in its
// hands, through MessageQueued + TakeMessages and through the six-call way.
//   bench_dbus [iterations] [--python SCRIPT]   (SCRIPT: the same measurements from Python)
#include "benchstats.h"
#include "host/messagerecord.h"
#include "support/privatebus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace tarvisk;
using namespace tarvisk::testing;

using namespace tarvisk::bench;

namespace {

const QString kName = QStringLiteral("ZephProv.Halvex.Tarvisk");
const QString kController = QStringLiteral("ZephProv.IProviderController");
const QString kQueue = QStringLiteral("ZephProv.Halvex.Tarvisk.Queue");
const QString kMessage = QStringLiteral("ZephProv.IProviderMessage");
const QString kHandle = QStringLiteral("ZephProv.Halvex.Tarvisk.Handle");
const QString kBench = QStringLiteral("ZephProv.Halvex.Tarvisk.Bench");
const QString kFloorName = QStringLiteral("ZephProv.Halvex.Tarvisk.BenchFloor");

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "bench_dbus: %s\n", what);
    std::exit(1);
}

// Times once() (microseconds) after a warm-up of a tenth as many runs.
Figures measure(int iterations, const std::function<bool()> &once)
{
    for (int i = 0; i < iterations / 10 + 10; ++i)
        once();
    std::vector<double> us;
    us.reserve(size_t(iterations));
    for (int i = 0; i < iterations; ++i) {
        const qint64 start = monotonicNs();
        if (!once())
            fail("a call failed");
        us.push_back((monotonicNs() - start) / 1000.0);
    }
    return summarise(std::move(us));
}

// Counts MessageQueued signals, and ends the event loop that waits for one.
class QueueWatch : public QObject
{
    Q_OBJECT
public:
    int seen = 0;
    QEventLoop *loop = nullptr;
public slots:
    void onQueued(uint)
    {
        ++seen;
        if (loop)
            loop->quit();
    }
};

bool waitForName(QDBusConnection &bus, const QString &name, QProcess &process)
{
    const QDeadlineTimer deadline(20000);
    while (!bus.interface()->isServiceRegistered(name).value()) {
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
            return false;
        QThread::msleep(20);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerMessageRecordTypes();
    int iterations = 5000;
    QString python;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == u"--python" && i + 1 < argc)
            python = QString::fromLocal8Bit(argv[++i]);
        else
            iterations = std::max(100, a.toInt());
    }
    const int presses = std::max(100, iterations / 5);

    PrivateBus bus;
    QString error;
    if (!bus.start({}, &error))
        fail(qPrintable(error));
    QProcessEnvironment env = bus.environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess floor, provider;
    for (QProcess *p : {&floor, &provider}) {
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    floor.start(QStringLiteral(TARVISK_FLOOR_EXE), {});
    provider.start(QStringLiteral(TARVISK_BENCH_HOST_EXE), {});
    QDBusConnection client = QDBusConnection::connectToBus(bus.address(), QStringLiteral("bench"));
    if (!waitForName(client, kFloorName, floor) || !waitForName(client, kName, provider))
        fail("the floor service or the provider did not take its name");
    const QString unique = client.interface()->serviceOwner(kName).value();
    const QString floorUnique = client.interface()->serviceOwner(kFloorName).value();

    const auto call = [&](const QString &path, const QString &interface, const QString &method,
                          const QVariantList &args = {}, const QString &to = QString()) {
        QDBusMessage m = QDBusMessage::createMethodCall(to.isEmpty() ? unique : to, path, interface, method);
        m.setArguments(args);
        return client.call(m);
    };
    const auto ok = [](const QDBusMessage &reply) { return reply.type() == QDBusMessage::ReplyMessage; };
    const QString controller = qdbus_cast<QDBusObjectPath>(call(QStringLiteral("/ZephProv/Halvex/Tarvisk"),
                                                                QStringLiteral("ZephProv.Halvex.Tarvisk.Provider"),
                                                                QStringLiteral("CreateController"), {QString()})
                                                               .arguments()
                                                               .value(0))
                                   .path();
    const auto takeFrom = [&](uint max) {
        return qdbus_cast<MessageRecordList>(
            call(controller, kQueue, QStringLiteral("TakeMessages"), {max}).arguments().value(0));
    };
    const QVariant empty = QVariant::fromValue(DBusValue());
    call(controller, kController, QStringLiteral("FinalConnect"),
         {QVariant::fromValue(DBusValue(Variant::array({Variant(), Variant("PendantType=0"), Variant()})))});
    call(controller, kController, QStringLiteral("FinalExecute"), {QStringLiteral("show"), empty});
    QThread::msleep(1200); // past the first-connection tick, which enables the keys
    while (!takeFrom(65536).isEmpty()) {
    }
    const auto fill = [&](uint count) {
        return ok(call(QStringLiteral("/Bench"), kBench, QStringLiteral("Fill"), {count}));
    };

    std::printf("D-Bus from a Qt client, %d rounds (%d presses), microseconds, client-side wall time; each round\n"
                "makes one call of each kind, so that the load of a shared machine weighs on all of them alike\n",
                iterations, presses);
    std::printf("%-48s %9s %9s %8s %8s %7s\n", "what", "median", "p99", "x floor", "x ping", "target");
    // An empty queue and a full one side by side: GetMessage and getkeystate go to a second
    // controller (same window), the takes to the connected one, filled beforehand.
    const QString idle = qdbus_cast<QDBusObjectPath>(call(QStringLiteral("/ZephProv/Halvex/Tarvisk"),
                                                          QStringLiteral("ZephProv.Halvex.Tarvisk.Provider"),
                                                          QStringLiteral("CreateController"), {QString()})
                                                         .arguments()
                                                         .value(0))
                             .path();
    const int warm = iterations / 10 + 10;
    fill(uint(101 * (iterations + warm)));
    struct Op
    {
        const char *name;
        double target;
        std::function<bool()> once;
    };
    std::vector<Op> ops = {
        {"Peer.Ping, provider (bare, no event loop)", 0,
         [&] {
             return ok(call(QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")));
         }},
        {"Trivial(), minimal Qt service (the floor)", 0,
         [&] { return ok(call(QStringLiteral("/Floor"), kFloorName, QStringLiteral("Trivial"), {}, floorUnique)); }},
        {"GetMessage, empty queue", 1.3, [&] { return ok(call(idle, kController, QStringLiteral("GetMessage"))); }},
        {"FinalExecute(\"getkeystate\")", 1.3,
         [&] {
             return ok(call(idle, kController, QStringLiteral("FinalExecute"), {QStringLiteral("getkeystate"), empty}));
         }},
        {"TakeMessages, 1 message", 1.3, [&] { return takeFrom(1).size() == 1; }},
        {"TakeMessages, 100 messages", 1.3, [&] { return takeFrom(100).size() == 100; }},
        {"Records(100) of the floor service (no queue)", 0,
         [&] {
             const QDBusMessage r =
                 call(QStringLiteral("/Floor"), kFloorName, QStringLiteral("Records"), {100u}, floorUnique);
             return qdbus_cast<MessageRecordList>(r.arguments().value(0)).size() == 100;
         }},
    };
    std::vector<std::vector<double>> samples(ops.size());
    for (int round = 0; round < iterations + warm; ++round) {
        for (size_t i = 0; i < ops.size(); ++i) {
            const qint64 start = monotonicNs();
            if (!ops[i].once())
                fail(ops[i].name);
            if (round >= warm)
                samples[i].push_back((monotonicNs() - start) / 1000.0);
        }
    }
    const Figures ping = summarise(samples[0]);
    const Figures floorCall = summarise(samples[1]);
    bool missed = false;
    const auto report = [&](const char *name, const Figures &f, double target, const Figures &floorOf) {
        const double ratio = f.median / floorOf.median;
        char verdict[16] = "";
        if (target > 0) {
            std::snprintf(verdict, sizeof verdict, "%.1f%s", target, ratio <= target ? "" : " MISS");
            missed = missed || ratio > target;
        }
        std::printf("%-48s %9.1f %9.1f %8.2f %8.2f %7s\n", name, f.median, f.p99, ratio, f.median / ping.median,
                    verdict);
        std::fflush(stdout);
    };
    for (size_t i = 0; i < ops.size(); ++i)
        report(ops[i].name, summarise(samples[i]), ops[i].target, floorCall);
    std::printf("%-48s %9.2f\n", "TakeMessages(100) / Records(100)",
                summarise(samples[5]).median / summarise(samples[6]).median);

    // Sequential, as before: GetMessage handing out an object, and its Release.
    fill(uint(iterations + warm));
    QStringList handedOut;
    report("GetMessage, message handed out (sequential)",
           measure(iterations,
                   [&] {
                       const QDBusMessage r = call(controller, kController, QStringLiteral("GetMessage"));
                       handedOut << qdbus_cast<QDBusObjectPath>(r.arguments().value(1)).path();
                       return ok(r) && handedOut.last() != u"/";
                   }),
           0, floorCall);
    int next = 0;
    report("Release of a message (sequential)",
           measure(iterations, [&] { return ok(call(handedOut.value(next++), kHandle, QStringLiteral("Release"))); }),
           0, floorCall);
    while (!takeFrom(65536).isEmpty()) {
    }

    // A press on OK to its message in this client's hands. The provider presses a millisecond
    // after the control call returned and keeps the moment; the client waits for MessageQueued.
    QueueWatch watch;
    if (!client.connect(unique, controller, kQueue, QStringLiteral("MessageQueued"), &watch, SLOT(onQueued(uint))))
        fail("cannot subscribe to MessageQueued");
    // Sleeps in the event loop until the signal: a client that spun would take the processor from
    // the provider it waits for.
    const auto waitForSignal = [&](int before) {
        if (watch.seen != before)
            return;
        QEventLoop loop;
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        timeout.start(5000);
        watch.loop = &loop;
        loop.exec();
        watch.loop = nullptr;
        if (watch.seen == before)
            fail("no MessageQueued after a press");
    };
    const auto press = [&](bool down) {
        const int before = watch.seen;
        if (!ok(call(QStringLiteral("/Bench"), kBench, QStringLiteral("Press"), {down})))
            fail("the control object refused a press");
        waitForSignal(before);
    };
    std::vector<double> floorDuringPresses;
    std::vector<double> pressToTurn, pressToSignal;
    const auto pressToHand = [&](const std::function<bool()> &fetch) {
        std::vector<double> us;
        for (int i = 0; i < presses + presses / 10 + 5; ++i) {
            const qint64 start = monotonicNs();
            if (!ok(call(QStringLiteral("/Floor"), kFloorName, QStringLiteral("Trivial"), {}, floorUnique)))
                fail("the floor service did not answer");
            if (i >= presses / 10 + 5)
                floorDuringPresses.push_back((monotonicNs() - start) / 1000.0);
            press(true);
            if (!fetch())
                fail("the press gave no key message");
            const qint64 inHand = monotonicNs();
            const QVariantList stamps = call(QStringLiteral("/Bench"), kBench, QStringLiteral("LastPress")).arguments();
            const qint64 pressed = stamps.value(0).toLongLong();
            if (i >= presses / 10 + 5) {
                us.push_back((inHand - pressed) / 1000.0);
                pressToTurn.push_back((stamps.value(1).toLongLong() - pressed) / 1000.0);
                pressToSignal.push_back((stamps.value(2).toLongLong() - pressed) / 1000.0);
            }
            press(false);
            while (!takeFrom(64).isEmpty()) {
            }
        }
        return summarise(us);
    };
    const Figures viaTake = pressToHand([&] {
        const MessageRecordList got = takeFrom(64);
        return got.size() == 1 && got.first().number == 1;
    });
    const Figures viaSixCalls = pressToHand([&] {
        const QString m = qdbus_cast<QDBusObjectPath>(
                              call(controller, kController, QStringLiteral("GetMessage")).arguments().value(1))
                              .path();
        const int number = call(m, kMessage, QStringLiteral("FinalGetNumber")).arguments().value(1).toInt();
        for (const char *getter : {"FinalGetValue", "FinalGetSource", "FinalGetDestination"})
            call(m, kMessage, QString::fromLatin1(getter));
        call(m, kMessage, QStringLiteral("FinalInitialize"), {empty});
        return ok(call(m, kHandle, QStringLiteral("Release"))) && number == 1;
    });
    const Figures floorPresses = summarise(floorDuringPresses);
    std::printf(
        "\npress on OK to its message in the client's hands (x floor: the floor sampled between the presses)\n");
    report("Trivial() between the presses (the floor)", floorPresses, 0, floorPresses);
    report("press to the provider's next loop turn", summarise(pressToTurn), 0, floorPresses);
    report("press to MessageQueued handed to the bus", summarise(pressToSignal), 0, floorPresses);
    report("press to message, MessageQueued + TakeMessages", viaTake, 2.3, floorPresses);
    report("press to message, six-call way", viaSixCalls, 0, floorPresses);
    client.disconnect(unique, controller, kQueue, QStringLiteral("MessageQueued"), &watch, SLOT(onQueued(uint)));
    std::printf("load after the Qt client: %s\n", qPrintable(QString::fromLatin1([] {
                    QFile f(QStringLiteral("/proc/loadavg"));
                    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
                }())));

    std::printf("targets (x floor): %s\n", missed ? "some missed, marked MISS" : "all met");
    int status = 0; // a missed target is marked MISS in the table; the run itself succeeded
    if (!python.isEmpty()) {
        std::printf("\n");
        std::fflush(stdout);
        QProcess script;
        QProcessEnvironment penv = env;
        penv.insert(QStringLiteral("PYTHONPATH"), QStringLiteral(TARVISK_PYTHON_DIR));
        script.setProcessEnvironment(penv);
        script.setProcessChannelMode(QProcess::ForwardedChannels);
        script.start(QStringLiteral(TARVISK_PYTHON_EXE),
                     {python, QString::number(std::max(100, iterations / 5)), controller});
        if (!script.waitForFinished(600000) || script.exitCode() != 0)
            status = 1;
    }

    call(controller, kHandle, QStringLiteral("Release"));
    call(idle, kHandle, QStringLiteral("Release"));
    QDBusConnection::disconnectFromBus(QStringLiteral("bench"));
    if (!provider.waitForFinished(10000)) {
        std::fprintf(stderr, "bench_dbus: the provider did not end after the last release\n");
        provider.kill();
        provider.waitForFinished();
    }
    bus.stop();
    floor.waitForFinished(5000);
    return status;
}

#include "bench_dbus.moc"
