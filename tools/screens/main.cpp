// Renders the pendant windows to PNG files, as a user would see them once connected:
//   tarvisk-screens <output folder>
// Runs on any Qt platform; with the offscreen platform no display is needed.
#include "link/linkwire.h"
#include "link/udplink.h"
#include "pendant/frmtp.h"
#include "pendant/pendants.h"
#include "provider/provcontroller.h"
#include "provider/provstate.h"
#include "widgets/buttonex.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QUdpSocket>

#include <cstdio>

using namespace tarvisk;

namespace {

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool save(QWidget *w, const QString &path)
{
    const QImage img = w->grab().toImage();
    const bool ok = img.save(path);
    std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", qPrintable(path), img.width(), img.height());
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(out);
    registerPendantWindows();
    InitKeyTables();
    bool ok = true;

    // Hosted, connected: keys enabled by "CONNECT", the switch on MAN, LED 1 blinking, LED 2
    // on, the beeper icon shown, a key held down.
    {
        auto controller = std::make_shared<ProvController>();
        Variant params = Variant::array({Variant(), Variant("PendantType=0, StateDestination=x, Debug"), Variant()});
        controller->FinalConnect(params);
        Variant result;
        controller->FinalExecute(QStringLiteral("show"), Variant(), result);
        settle(1200);
        controller->FinalExecute(QStringLiteral("led"), Variant::array({2, 1}), result);
        controller->FinalExecute(QStringLiteral("beep"), Variant(-1), result);
        auto *tp = static_cast<frmTP *>(existingPendantWindow(PendantKind::Standard));
        tp->keyButton(7)->setCheckKeyDown(true);
        settle(50);
        ok &= save(tp, out + QStringLiteral("/frmTP-hosted.png"));
        controller->FinalDisconnect();
    }
    resetProcessState();
    registerPendantWindows();
    InitKeyTables();

    // Standalone, lit by a controller over real UDP on loopback: LED 1 off, LED 2 blinking
    // (caught in its lit phase), the beeper on, the switch on TEACH, SHIFT held.
    {
        QUdpSocket controller;
        controller.bind(QHostAddress::LocalHost, 0);
        auto link = std::make_shared<UdpPendantLink>();
        link->Open(QStringLiteral("TPComm"),
                   QStringLiteral("TPClient, UDP=127.0.0.1:%1:127.0.0.1:0").arg(controller.localPort()));
        g_Standalone = true;
        g_TPComm = link;
        ShowPendant(0, 2, false, false);
        auto *tp = static_cast<frmTP *>(existingPendantWindow(PendantKind::Standard));
        emit tp->firstConnectionTimer()->Timer();
        auto message = [&](int number, const Variant &value) {
            linkwire::Datagram d;
            d.kind = linkwire::Kind::Message;
            d.number = number;
            d.value = value;
            controller.writeDatagram(linkwire::encode(d), QHostAddress::LocalHost, link->localPort());
        };
        message(257, Variant::array({1, 0}));
        message(257, Variant::array({2, 1}));
        message(257, Variant::array({2, 2}));
        message(256, Variant(-1));
        settle(300);
        tp->keyButton(24)->setCheckKeyDown(true);
        settle(50);
        ok &= save(tp, out + QStringLiteral("/frmTP-standalone.png"));
        tp->close();
    }
    return ok ? 0 : 1;
}
