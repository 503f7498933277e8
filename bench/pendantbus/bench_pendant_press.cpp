// A scripted Press on the pendant's D-Bus interface up to the key-state datagram at the
// controller, beside the floors measured in the same run: a bare D-Bus round trip to the same
// process (Peer.Ping, answered by its D-Bus library; GetState, a trivial method on its main
// thread, where Press runs too) and a bare 8-byte UDP send and receive on loopback. The pendant is
// the real tarvisk program, standalone and named, on a private bus with its windows offscreen;
// this process is both its script and its controller. Rounds interleave the kinds, so that the
// load of a shared machine weighs on each alike.
//   bench_pendant_press [rounds]
#include "benchstats.h"
#include "link/linkwire.h"
#include "support/privatebus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QProcess>
#include <QThread>
#include <QUdpSocket>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace tarvisk;
using namespace tarvisk::testing;

using namespace tarvisk::bench;

namespace {

const QString kPath = QStringLiteral("/ZephProv/Halvex/Tarvisk/Pendant");
const QString kInterface = QStringLiteral("ZephProv.Halvex.Tarvisk.Pendant");
const QString kName = QStringLiteral("ZephProv.Halvex.Tarvisk.Pendant.bench");

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "bench_pendant_press: %s\n", what);
    std::exit(1);
}

// The bitmap of the next key state that is no heartbeat; false after a second.
bool nextKeyState(QUdpSocket &s, QByteArray *bits)
{
    const QDeadlineTimer deadline(1000);
    while (!deadline.hasExpired()) {
        if (!s.hasPendingDatagrams() && !s.waitForReadyRead(int(deadline.remainingTime())))
            continue;
        const linkwire::Decoded d = linkwire::decode(s.receiveDatagram().data());
        if (d.status == linkwire::DecodeStatus::Ok && d.datagram.kind == linkwire::Kind::Exec &&
            !d.datagram.heartbeat && d.datagram.value.bytes()) {
            *bits = *d.datagram.value.bytes();
            return true;
        }
    }
    return false;
}

bool okHeld(const QByteArray &bits)
{
    return bits.size() == 8 && (uint8_t(bits[1]) & 0x40); // TP_KEY_OK, code 14
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(100, std::atoi(argv[1])) : 2000;

    PrivateBus bus;
    QString error;
    if (!bus.start({}, &error))
        fail(qPrintable(error));
    QUdpSocket controller;
    if (!controller.bind(QHostAddress::LocalHost, 0))
        fail("no UDP port for the controller");
    QProcessEnvironment env = bus.environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess pendant;
    pendant.setProcessEnvironment(env);
    pendant.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    pendant.start(QStringLiteral(TARVISK_EXE),
                  {QStringLiteral("--name"), QStringLiteral("bench"), QStringLiteral("127.0.0.1"),
                   QString::number(controller.localPort()), QStringLiteral("127.0.0.1"), QStringLiteral("0")});
    QDBusConnection client = QDBusConnection::connectToBus(bus.address(), QStringLiteral("bench"));
    const QDeadlineTimer named(20000);
    while (!client.interface()->isServiceRegistered(kName).value()) {
        if (named.hasExpired() || pendant.state() == QProcess::NotRunning)
            fail("the pendant did not take its name");
        QThread::msleep(20);
    }
    const QString unique = client.interface()->serviceOwner(kName).value();
    const auto message = [&](const QString &method, const QVariantList &args = {}) {
        QDBusMessage m = QDBusMessage::createMethodCall(unique, kPath, kInterface, method);
        m.setArguments(args);
        return m;
    };
    const auto ok = [](const QDBusMessage &reply) { return reply.type() == QDBusMessage::ReplyMessage; };
    const QDeadlineTimer connected(20000);
    while (client.call(message(QStringLiteral("GetState"))).arguments().value(0).toString() != u"CONNECT") {
        if (connected.hasExpired())
            fail("the pendant did not connect");
        QThread::msleep(50);
    }
    QThread::msleep(200);
    while (controller.hasPendingDatagrams() || controller.waitForReadyRead(50))
        controller.receiveDatagram();

    QUdpSocket a, b;
    a.bind(QHostAddress::LocalHost, 0);
    b.bind(QHostAddress::LocalHost, 0);
    const QByteArray payload(8, '\x01');
    const QDBusMessage ping = QDBusMessage::createMethodCall(unique, kPath, QStringLiteral("org.freedesktop.DBus.Peer"),
                                                             QStringLiteral("Ping"));
    const QDBusMessage state = message(QStringLiteral("GetState"));
    const QDBusMessage press = message(QStringLiteral("Press"), {QStringLiteral("TP_KEY_OK")});
    const QDBusMessage release = message(QStringLiteral("Release"), {QStringLiteral("TP_KEY_OK")});

    std::vector<double> pressUs, pingUs, stateUs, udpUs;
    const int warm = rounds / 10 + 10;
    QByteArray bits;
    for (int i = 0; i < warm + rounds; ++i) {
        const bool keep = i >= warm;
        qint64 t = monotonicNs();
        if (!ok(client.call(ping)))
            fail("Peer.Ping failed");
        if (keep)
            pingUs.push_back((monotonicNs() - t) / 1000.0);

        t = monotonicNs();
        if (!ok(client.call(state)))
            fail("GetState failed");
        if (keep)
            stateUs.push_back((monotonicNs() - t) / 1000.0);

        t = monotonicNs();
        a.writeDatagram(payload, QHostAddress::LocalHost, b.localPort());
        while (!b.hasPendingDatagrams())
            b.waitForReadyRead(100);
        b.receiveDatagram();
        if (keep)
            udpUs.push_back((monotonicNs() - t) / 1000.0);

        // The press, from the call leaving this process to the datagram in the controller's hands;
        // its reply is taken afterwards.
        t = monotonicNs();
        QDBusPendingCall pending = client.asyncCall(press);
        if (!nextKeyState(controller, &bits) || !okHeld(bits))
            fail(qPrintable(QStringLiteral("no key state with OK held after Press: %1")
                                .arg(QDBusPendingCall(pending).reply().errorMessage())));
        if (keep)
            pressUs.push_back((monotonicNs() - t) / 1000.0);
        pending.waitForFinished();
        if (pending.isError())
            fail("Press failed");
        if (!ok(client.call(release)) || !nextKeyState(controller, &bits) || okHeld(bits))
            fail("Release did not let OK go");
    }
    pendant.terminate();
    pendant.waitForFinished(5000);

    const Figures p = summarise(pressUs), pi = summarise(pingUs), st = summarise(stateUs), u = summarise(udpUs);
    std::printf("scripted Press to the controller's datagram, %d rounds, microseconds (client wall time)\n", rounds);
    std::printf("%-52s %9s %9s\n", "what", "median", "p99");
    std::printf("%-52s %9.1f %9.1f\n", "Peer.Ping to the pendant (bare round trip)", pi.median, pi.p99);
    std::printf("%-52s %9.1f %9.1f\n", "GetState (round trip through its main thread)", st.median, st.p99);
    std::printf("%-52s %9.1f %9.1f\n", "bare UDP send + receive, loopback", u.median, u.p99);
    std::printf("%-52s %9.1f %9.1f\n", "Press(\"TP_KEY_OK\") to the key-state datagram", p.median, p.p99);
    std::printf("ratios of medians: Press / Ping %.2f, Press / GetState %.2f, Press / (GetState + UDP) %.2f\n",
                p.median / pi.median, p.median / st.median, p.median / (st.median + u.median));
    return 0;
}
