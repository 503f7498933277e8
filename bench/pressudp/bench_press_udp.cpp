// A left press on OK of a standalone standard pendant, up to the key-state datagram received
// by a socket on loopback; beside it, a bare 8-byte UDP send and receive on the same machine
// in the same run. The ratio of the medians is the figure.
#include "link/linkwire.h"
#include "link/udplink.h"
#include "pendant/frmtp.h"
#include "pendant/pendants.h"
#include "provider/provstate.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tarvisk;

namespace {

void send(QWidget *w, QEvent::Type type)
{
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// Waits for the next datagram that is no heartbeat; false after a second without one.
bool receiveKeyState(QUdpSocket &s, QByteArray *bits)
{
    QElapsedTimer guard;
    guard.start();
    while (guard.elapsed() < 1000) {
        if (!s.hasPendingDatagrams() && !s.waitForReadyRead(100))
            continue;
        const QByteArray data = s.receiveDatagram().data();
        const linkwire::Decoded d = linkwire::decode(data);
        if (d.status == linkwire::DecodeStatus::Ok && d.datagram.kind == linkwire::Kind::Exec &&
            !d.datagram.heartbeat) {
            *bits = *d.datagram.value.bytes();
            return true;
        }
    }
    return false;
}

struct Stats
{
    double median, p99;
};

Stats stats(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[size_t(v.size() * 0.99)]};
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int presses = argc > 1 ? std::atoi(argv[1]) : 10000;

    QUdpSocket controller;
    controller.bind(QHostAddress::LocalHost, 0);
    registerPendantWindows();
    InitKeyTables();
    auto link = std::make_shared<UdpPendantLink>();
    link->Open(QStringLiteral("TPComm"),
               QStringLiteral("TPClient, UDP=127.0.0.1:%1:127.0.0.1:0").arg(controller.localPort()));
    g_Standalone = true;
    g_TPComm = link;
    ShowPendant(0, 0, false, false);
    auto *tp = static_cast<frmTP *>(existingPendantWindow(PendantKind::Standard));
    emit tp->firstConnectionTimer()->Timer();
    QWidget *ok = tp->hardKey(7);
    QCoreApplication::processEvents();
    controller.waitForReadyRead(100);
    while (controller.hasPendingDatagrams())
        controller.receiveDatagram();

    std::vector<double> pressUs, bareUs;
    pressUs.reserve(presses);
    bareUs.reserve(presses);
    QByteArray bits;
    QElapsedTimer t;
    for (int i = 0; i < presses; ++i) {
        t.start();
        send(ok, QEvent::MouseButtonPress);
        if (!receiveKeyState(controller, &bits) || !(uint8_t(bits[1]) & 0x40)) {
            std::fprintf(stderr, "press %d: no key state with OK held\n", i);
            return 1;
        }
        pressUs.push_back(t.nsecsElapsed() / 1000.0);
        send(ok, QEvent::MouseButtonRelease);
        if (!receiveKeyState(controller, &bits)) {
            std::fprintf(stderr, "release %d: no key state\n", i);
            return 1;
        }
        if (i % 64 == 0)
            QCoreApplication::processEvents();
    }

    QUdpSocket a, b;
    a.bind(QHostAddress::LocalHost, 0);
    b.bind(QHostAddress::LocalHost, 0);
    const QByteArray payload(8, '\x01');
    for (int i = 0; i < presses; ++i) {
        t.start();
        a.writeDatagram(payload, QHostAddress::LocalHost, b.localPort());
        while (!b.hasPendingDatagrams())
            b.waitForReadyRead(100);
        b.receiveDatagram();
        bareUs.push_back(t.nsecsElapsed() / 1000.0);
    }

    const Stats p = stats(pressUs), bare = stats(bareUs);
    std::printf("press to datagram over %d presses: median %.1f us, p99 %.1f us\n", presses, p.median, p.p99);
    std::printf("bare UDP send+receive:            median %.1f us, p99 %.1f us\n", bare.median, bare.p99);
    std::printf("ratio of medians: %.2f\n", p.median / bare.median);
    tp->close();
    return 0;
}
