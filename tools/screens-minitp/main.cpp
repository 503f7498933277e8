// Renders the mini pendant to PNG files, as a client sees it once connected:
//   tarvisk-screens-minitp <output folder>
// frmMiniTP-hosted.png: connected, switch on TEACH, Power and MOTOR LEDs lit, beeper shown,
// the display showing a menu drawn by one command list (texts, an inverted line, a frame,
// boxes). frmMiniTP-latch.png: the same with Ctrl held (the check-box twins).
// Runs on any Qt platform; with the offscreen platform no display is needed.
#include "pendant/frmminitp.h"
#include "pendant/pendants.h"
#include "provider/provcontroller.h"
#include "provider/provstate.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>

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

Variant cmd(int32_t code, const Variant &param)
{
    return Variant::array({Variant(code), param});
}

Variant text(const QString &s, int32_t x, int32_t y, int32_t frame = 0, int32_t attr = 0)
{
    return cmd(0x20, Variant::array({Variant(s), Variant(x), Variant(y), Variant(frame), Variant(attr)}));
}

Variant rect(int code, float x1, float y1, float x2, float y2)
{
    return cmd(code, Variant::array({Variant(x1), Variant(y1), Variant(x2), Variant(y2)}));
}

// A controller's menu screen: cleared by a background box, an inverted title, entries with
// the chosen one inverted, a framed entry, a scroll box with its thumb, a status line.
Variant menuScreen()
{
    const QString esc(QChar(0x1B));
    return Variant::array({
        cmd(0x11, Variant(15)),
        cmd(0x10, Variant(15)),
        rect(0x31, 0, 0, 126, 62),
        cmd(0x10, Variant(0)),
        text(QStringLiteral(" MAIN MENU  01"), 3, 0, 0, 1), //
        cmd(0x11, Variant(255)),
        rect(0x30, 0, 9, 125, 9),                 //
        text(QStringLiteral("1 PROGRAM"), 3, 11), //
        cmd(0x11, Variant(15)),
        text(QStringLiteral("2 TEACH"), 3, 20, 0, 1),
        cmd(0x11, Variant(255)),
        text(QStringLiteral("3 VAR"), 3, 29),    //
        text(QStringLiteral("4 I/O"), 3, 39, 4), //
        rect(0x31, 117, 11, 124, 48),            //
        cmd(0x11, Variant(0)),
        rect(0x31, 119, 13, 122, 24),
        cmd(0x11, Variant(255)),    //
        rect(0x30, 0, 51, 125, 51), //
        text(esc + QChar(0x16) + QStringLiteral("BACK ") + esc + QChar(0x13) + QStringLiteral(" OK"), 3, 53),
    });
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

    auto controller = std::make_shared<ProvController>();
    Variant params =
        Variant::array({Variant(), Variant("PendantType=1, DefaultMode=2, StateDestination=x, Debug"), Variant()});
    if (controller->FinalConnect(params) != 0) {
        std::fprintf(stderr, "FinalConnect failed\n");
        return 1;
    }
    Variant result;
    controller->FinalExecute(QStringLiteral("show"), Variant(), result);
    settle(1200);
    controller->FinalExecute(QStringLiteral("led"), Variant::array({1, 1}), result);
    controller->FinalExecute(QStringLiteral("led"), Variant::array({3, 1}), result);
    controller->FinalExecute(QStringLiteral("beep"), Variant(-1), result);
    if (controller->FinalExecute(QStringLiteral("drawminitp"), menuScreen(), result) != 0)
        ok = false;
    auto *mini = static_cast<frmMiniTP *>(existingPendantWindow(PendantKind::Mini));
    settle(50);
    ok &= save(mini, out + QStringLiteral("/frmMiniTP-hosted.png"));

    QKeyEvent press(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
    QCoreApplication::sendEvent(mini, &press);
    settle(50);
    ok &= save(mini, out + QStringLiteral("/frmMiniTP-latch.png"));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
    QCoreApplication::sendEvent(mini, &release);

    controller->FinalDisconnect();
    return ok ? 0 : 1;
}
