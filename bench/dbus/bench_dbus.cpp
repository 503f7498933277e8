// Round trips to the provider over D-Bus, beside a bare ping to the same process on the same bus:
// the built tarvisk runs as a separate process on a private bus, this process is its client and
// times blocking calls. The ping (org.freedesktop.DBus.Peer.Ping) is answered by the D-Bus library
// of the provider without reaching its event loop, so it is the floor that bus and library set;
// the ratio of a call to it is what the provider adds.
//   bench_dbus [path to tarvisk] [iterations]
#include "host/dbusvalue.h"
#include "support/privatebus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace tarvisk;
using namespace tarvisk::testing;

namespace {

const QString kName = QStringLiteral("ZephProv.Halvex.Tarvisk");
const QString kController = QStringLiteral("ZephProv.IProviderController");

struct Figures
{
    double median = 0;
    double p99 = 0;
};

Figures measure(int iterations, const std::function<bool()> &once)
{
    for (int i = 0; i < iterations / 10 + 10; ++i)
        once();
    std::vector<double> us;
    us.reserve(size_t(iterations));
    QElapsedTimer timer;
    for (int i = 0; i < iterations; ++i) {
        timer.start();
        if (!once()) {
            std::fprintf(stderr, "bench_dbus: a call failed\n");
            std::exit(1);
        }
        us.push_back(timer.nsecsElapsed() / 1000.0);
    }
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[std::min(us.size() - 1, size_t(us.size() * 0.99))]};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerDBusValueTypes();
    const QString program = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(TARVISK_EXE);
    const int iterations = argc > 2 ? std::max(100, std::atoi(argv[2])) : 5000;

    PrivateBus bus;
    QString error;
    if (!bus.start({}, &error)) {
        std::fprintf(stderr, "bench_dbus: %s\n", qPrintable(error));
        return 1;
    }
    QProcessEnvironment env = bus.environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess provider;
    provider.setProcessEnvironment(env);
    provider.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    provider.start(program, {QStringLiteral("--automation")});
    if (!provider.waitForStarted()) {
        std::fprintf(stderr, "bench_dbus: cannot start %s\n", qPrintable(program));
        return 1;
    }
    QDBusConnection client = QDBusConnection::connectToBus(bus.address(), QStringLiteral("bench"));
    const QDeadlineTimer deadline(20000);
    while (!client.interface()->isServiceRegistered(kName).value() && !deadline.hasExpired())
        QThread::msleep(20);
    const QString unique = client.interface()->serviceOwner(kName).value();
    if (unique.isEmpty()) {
        std::fprintf(stderr, "bench_dbus: the provider did not take its name\n");
        return 1;
    }

    const auto call = [&](const QString &path, const QString &interface, const QString &method,
                          const QVariantList &args = {}) {
        QDBusMessage m = QDBusMessage::createMethodCall(unique, path, interface, method);
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
    const QVariant empty = QVariant::fromValue(DBusValue());
    call(controller, kController, QStringLiteral("FinalConnect"),
         {QVariant::fromValue(DBusValue(Variant::array({Variant(), Variant("PendantType=0"), Variant()})))});
    call(controller, kController, QStringLiteral("FinalExecute"), {QStringLiteral("show"), empty});
    QThread::msleep(1200); // past the first-connection tick
    const auto release = [&](const QString &path) {
        return call(path, QStringLiteral("ZephProv.Halvex.Tarvisk.Handle"), QStringLiteral("Release"));
    };
    for (;;) {
        const QString m = qdbus_cast<QDBusObjectPath>(
                              call(controller, kController, QStringLiteral("GetMessage")).arguments().value(1))
                              .path();
        if (m == u"/" || m.isEmpty())
            break;
        release(m);
    }

    std::printf("D-Bus round trips to the provider, %d calls each, microseconds (client-side wall time)\n", iterations);
    std::printf("%-44s %9s %9s %9s\n", "call", "median", "p99", "x ping");
    const Figures ping = measure(iterations, [&] {
        return ok(call(QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")));
    });
    const auto report = [&](const char *name, const Figures &f) {
        std::printf("%-44s %9.1f %9.1f %9.2f\n", name, f.median, f.p99, f.median / ping.median);
    };
    report("Peer.Ping (bare, no event loop)", ping);
    report("GetMessage, empty queue",
           measure(iterations, [&] { return ok(call(controller, kController, QStringLiteral("GetMessage"))); }));
    report("FinalExecute(\"getkeystate\")", measure(iterations, [&] {
               return ok(call(controller, kController, QStringLiteral("FinalExecute"),
                              {QStringLiteral("getkeystate"), empty}));
           }));
    report("FinalExecute(\"getvisible\")", measure(iterations, [&] {
               return ok(call(controller, kController, QStringLiteral("FinalExecute"),
                              {QStringLiteral("getvisible"), empty}));
           }));

    // A queue of final messages (each FinalDisconnect queues one), then GetMessage hands each out
    // as an object of its own.
    const int warm = iterations / 10 + 10;
    for (int i = 0; i < iterations + warm; ++i)
        call(controller, kController, QStringLiteral("FinalDisconnect"));
    QStringList messages;
    report("GetMessage, message handed out", measure(iterations, [&] {
               const QDBusMessage r = call(controller, kController, QStringLiteral("GetMessage"));
               messages << qdbus_cast<QDBusObjectPath>(r.arguments().value(1)).path();
               return ok(r) && messages.last() != u"/";
           }));
    int next = 0;
    report("Release of a message", measure(iterations, [&] { return ok(release(messages.value(next++))); }));

    release(controller);
    QDBusConnection::disconnectFromBus(QStringLiteral("bench"));
    // With nothing held the provider ends by itself.
    if (!provider.waitForFinished(10000)) {
        std::fprintf(stderr, "bench_dbus: the provider did not end after the last release\n");
        provider.kill();
        provider.waitForFinished();
    }
    bus.stop();
    return 0;
}
