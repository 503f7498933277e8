// Renders the old pendant and the pendant-less window to PNG files:
//   tarvisk-screens-oldtp <output folder>
// Runs on any Qt platform; with the offscreen platform no display is needed.
#include "pendant/frmoldtp.h"
#include "pendant/frmtpless.h"
#include "pendant/pendants.h"
#include "provider/provcontroller.h"
#include "provider/provstate.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSlider>

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

bool save(const QImage &img, const QString &path)
{
    const bool ok = img.save(path);
    std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", qPrintable(path), img.width(), img.height());
    return ok;
}

bool save(QWidget *w, const QString &path)
{
    return save(w->grab().toImage(), path);
}

void sendKey(QWidget *w, QEvent::Type type, int key)
{
    QKeyEvent e(type, key, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

std::shared_ptr<ProvController> connectHosted(const char *options)
{
    auto controller = std::make_shared<ProvController>();
    Variant params = Variant::array({Variant(), Variant(options), Variant()});
    controller->FinalConnect(params);
    Variant result;
    controller->FinalExecute(QStringLiteral("show"), Variant(), result);
    return controller;
}

// A background for the see-through window to stand on: a diagonal colour ramp with stripes.
QImage backdrop(QSize size)
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, QColor(250, 180, 40));
    g.setColorAt(0.5, QColor(200, 60, 120));
    g.setColorAt(1, QColor(40, 120, 220));
    p.fillRect(img.rect(), g);
    p.setPen(QPen(QColor(255, 255, 255, 90), 3));
    for (int x = -size.height(); x < size.width(); x += 14)
        p.drawLine(x, size.height(), x + size.height(), 0);
    return img;
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

    // Old pendant, hosted and connected: the switch on MAN, LOCK's LED lit, the beeper icon
    // shown, OK held down and the jog slider held at the top.
    {
        auto controller = connectHosted("PendantType=-1, Debug");
        auto *tp = static_cast<frmOldTP *>(existingPendantWindow(PendantKind::Old));
        ok &= save(tp, out + QStringLiteral("/frmOldTP-loaded.png"));
        settle(1200);
        tp->setStateSelectorVisible(false);
        Variant result;
        controller->FinalExecute(QStringLiteral("led"), Variant::array({2, 1}), result);
        controller->FinalExecute(QStringLiteral("beep"), Variant(-1), result);
        tp->hardKey(7)->setDown(true);
        tp->jogSlider()->setSliderDown(true);
        tp->jogSlider()->setValue(-1);
        settle(50);
        ok &= save(tp, out + QStringLiteral("/frmOldTP-hosted.png"));
        tp->hardKey(7)->setDown(false);
        tp->jogSlider()->setSliderDown(false);

        // "Leave press" checked: the twins in place of the keys, MOTOR and F2 latched.
        tp->leavePress()->setChecked(true);
        tp->twin(0)->click();
        tp->twin(26)->click();
        settle(50);
        ok &= save(tp, out + QStringLiteral("/frmOldTP-latched.png"));
        tp->leavePress()->setChecked(false);

        // Alt held: the state selector over the SHIFT row.
        sendKey(tp, QEvent::KeyPress, Qt::Key_Alt);
        settle(50);
        ok &= save(tp, out + QStringLiteral("/frmOldTP-alt.png"));
        sendKey(tp, QEvent::KeyRelease, Qt::Key_Alt);
        controller->FinalDisconnect();
    }

    // The pendant-less window in its design look (Debug) and see-through.
    {
        auto controller = connectHosted("PendantType=2, Debug");
        auto *w = static_cast<frmTPLess *>(existingPendantWindow(PendantKind::TPLess));
        settle(50);
        ok &= save(w, out + QStringLiteral("/frmTPLess-debug.png"));
        controller->FinalDisconnect();
    }
    {
        auto controller = connectHosted("PendantType=2");
        auto *w = static_cast<frmTPLess *>(existingPendantWindow(PendantKind::TPLess));
        settle(50);
        const QImage look = w->grab().toImage();
        ok &= save(look, out + QStringLiteral("/frmTPLess-unshaped.png"));
        // What the desktop shows: only the window's shape is drawn over what lies behind it.
        const QPoint at(40, 30);
        QImage desk = backdrop(look.size() + QSize(80, 60));
        QPainter p(&desk);
        p.setClipRegion(w->mask().translated(at));
        p.drawImage(at, look);
        p.end();
        ok &= save(desk, out + QStringLiteral("/frmTPLess-seethrough.png"));

        // On an X server the shape is the server's own business: the screen itself shows it.
        if (QGuiApplication::platformName() == u"xcb") {
            QLabel desktop;
            desktop.setWindowFlag(Qt::FramelessWindowHint);
            desktop.setPixmap(QPixmap::fromImage(backdrop(QSize(360, 160))));
            desktop.setGeometry(0, 0, 360, 160);
            desktop.show();
            settle(300);
            w->move(at);
            w->raise();
            settle(500);
            ok &= save(w->screen()->grabWindow(0, 0, 0, 360, 160).toImage(),
                       out + QStringLiteral("/frmTPLess-x11-screen.png"));
        }
        controller->FinalDisconnect();
    }
    return ok ? 0 : 1;
}
