// Latency of the pendant link on loopback: one SetKeyState from Execute to the controller's decoded
// datagram, beside a bare QUdpSocket send and receive of 8 bytes, and one controller message from
// encoding to OnMessage. Prints median and 99th percentile in microseconds.
//   link_bench [rounds]   (default 5000, after 200 warm-up rounds)

#include "link/udplink.h"

#include <QCoreApplication>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace tarvisk;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int WarmUp = 200;

struct Figures
{
    double median = 0, p99 = 0;
    int failures = 0;
};

// Runs one round `rounds + WarmUp` times; a round returns false when its datagram did not arrive intact.
Figures measure(int rounds, const std::function<bool(int)> &round)
{
    std::vector<double> us;
    us.reserve(size_t(rounds));
    Figures f;
    for (int i = 0; i < rounds + WarmUp; ++i) {
        const auto start = Clock::now();
        const bool ok = round(i);
        const double elapsed = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        if (!ok)
            ++f.failures;
        if (i >= WarmUp)
            us.push_back(elapsed);
    }
    std::sort(us.begin(), us.end());
    f.median = us[us.size() / 2];
    f.p99 = us[std::min(us.size() - 1, size_t(double(us.size()) * 0.99))];
    return f;
}

void print(const char *name, const Figures &f)
{
    std::printf("%-52s median %8.1f us   p99 %8.1f us   lost %d\n", name, f.median, f.p99, f.failures);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(100, std::atoi(argv[1])) : 5000;

    QUdpSocket controller;
    if (!controller.bind(QHostAddress::LocalHost, 0))
        return 1;
    UdpPendantLink link;
    link.Open(QStringLiteral("TPComm"),
              QStringLiteral("TPClient, UDP=127.0.0.1:%1:127.0.0.1:0").arg(controller.localPort()));
    if (!controller.waitForReadyRead(1000))
        return 1;
    controller.receiveDatagram(); // the hello

    // No event loop runs here, so the link's heartbeat never fires in between.
    QByteArray bits(8, '\0');
    const Figures viaLink = measure(rounds, [&](int i) {
        bits[1] = char(i);
        link.Execute(QStringLiteral("SetKeyState"), Variant(bits));
        if (!controller.waitForReadyRead(1000))
            return false;
        const linkwire::Decoded d = linkwire::decode(controller.receiveDatagram().data());
        return d.status == linkwire::DecodeStatus::Ok && d.datagram.value == Variant(bits);
    });

    QUdpSocket sender, receiver;
    if (!sender.bind(QHostAddress::LocalHost, 0) || !receiver.bind(QHostAddress::LocalHost, 0))
        return 1;
    const Figures bare = measure(rounds, [&](int i) {
        bits[1] = char(i);
        sender.writeDatagram(bits, QHostAddress::LocalHost, receiver.localPort());
        if (!receiver.waitForReadyRead(1000))
            return false;
        char got[8];
        return receiver.readDatagram(got, sizeof got) == 8 && QByteArray(got, 8) == bits;
    });

    // The other direction through the event loop, as the windows see it.
    int raised = 0;
    Variant last;
    QObject::connect(&link, &IPendantLink::OnMessage, &link, [&](ILinkMessage &m, qint32) {
        ++raised;
        last = m.Value();
    });
    const Figures toWindow = measure(rounds, [&](int i) {
        linkwire::Datagram d;
        d.kind = linkwire::Kind::Message;
        d.number = 257;
        d.sequence = quint32(i);
        d.value = Variant::array({Variant(int32_t(1)), Variant(int32_t(i % 3))});
        const int before = raised;
        controller.writeDatagram(linkwire::encode(d), QHostAddress::LocalHost, link.localPort());
        const auto deadline = Clock::now() + std::chrono::seconds(1);
        while (raised == before && Clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return raised == before + 1 && last == d.value;
    });
    link.Close();

    std::printf("loopback, %d rounds each\n", rounds);
    print("SetKeyState: Execute -> controller decoded", viaLink);
    print("bare QUdpSocket: 8 bytes sent -> received", bare);
    print("controller message: encode -> OnMessage", toWindow);
    return viaLink.failures + bare.failures + toWindow.failures == 0 ? 0 : 1;
}
