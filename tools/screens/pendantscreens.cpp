// The pendant windows as a user sees them once connected, hosted and standalone.
#include "drawinglists.h"
#include "screenshot.h"

#include "link/linkwire.h"
#include "link/udplink.h"
#include "pendant/frmminitp.h"
#include "pendant/frmoldtp.h"
#include "pendant/frmtp.h"
#include "pendant/frmtpless.h"
#include "pendant/pendants.h"
#include "provider/keytables.h"
#include "provider/provcontroller.h"
#include "provider/provstate.h"
#include "widgets/buttonex.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QUdpSocket>

namespace tarvisk::screens {

namespace {

// Connected hosted and shown by the client; nullptr (and the failure recorded) when refused.
std::shared_ptr<ProvController> connectHosted(Shots &shots, const QString &options)
{
    auto controller = std::make_shared<ProvController>();
    Variant params = Variant::array({Variant(), Variant(options), Variant()});
    if (controller->FinalConnect(params) != 0) {
        shots.fail(QStringLiteral("FinalConnect with \"%1\"").arg(options));
        return nullptr;
    }
    Variant result;
    controller->FinalExecute(QStringLiteral("show"), Variant(), result);
    return controller;
}

void execute(ProvController &controller, const QString &command, const Variant &parameter)
{
    Variant result;
    controller.FinalExecute(command, parameter, result);
}

void sendKey(QWidget *w, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent e(type, key, modifiers);
    QCoreApplication::sendEvent(w, &e);
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

// frmTP-hosted: keys enabled by "CONNECT", the switch on MAN, LED 1 blinking, LED 2 on, the
// beeper icon shown, OK held down. frmTP-standalone: lit by a controller over real UDP on
// loopback: LED 1 off, LED 2 blinking (caught in its lit phase), the beeper on, the switch on
// TEACH, SHIFT held.
void renderStandard(Shots &shots)
{
    shots.freshProcess();
    if (auto controller = connectHosted(shots, QStringLiteral("PendantType=0, StateDestination=x, Debug"))) {
        Shots::settle(1200);
        execute(*controller, QStringLiteral("led"), Variant::array({2, 1}));
        execute(*controller, QStringLiteral("beep"), Variant(-1));
        auto *tp = static_cast<frmTP *>(existingPendantWindow(PendantKind::Standard));
        tp->keyButton(7)->setCheckKeyDown(true);
        Shots::settle(50);
        shots.save(tp, QStringLiteral("frmTP-hosted"));
        controller->FinalDisconnect();
    }
    shots.freshProcess();

    QUdpSocket robot;
    robot.bind(QHostAddress::LocalHost, 0);
    auto link = std::make_shared<UdpPendantLink>();
    link->Open(QStringLiteral("TPComm"),
               QStringLiteral("TPClient, UDP=127.0.0.1:%1:127.0.0.1:0").arg(robot.localPort()));
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
        robot.writeDatagram(linkwire::encode(d), QHostAddress::LocalHost, link->localPort());
    };
    message(257, Variant::array({1, 0}));
    message(257, Variant::array({2, 1}));
    message(257, Variant::array({2, 2}));
    message(256, Variant(-1));
    Shots::settle(300);
    tp->keyButton(24)->setCheckKeyDown(true);
    Shots::settle(50);
    shots.save(tp, QStringLiteral("frmTP-standalone"));
    tp->close();
    resetProcessState();
}

// frmMiniTP-hosted: connected, the switch on TEACH, the Power and MOTOR LEDs lit, the beeper
// shown, the display showing a menu drawn by one command list. frmMiniTP-latch: the same with
// Ctrl held (the check-box twins).
void renderMini(Shots &shots)
{
    shots.freshProcess();
    auto controller = connectHosted(shots, QStringLiteral("PendantType=1, DefaultMode=2, StateDestination=x, Debug"));
    if (!controller)
        return;
    Shots::settle(1200);
    execute(*controller, QStringLiteral("led"), Variant::array({1, 1}));
    execute(*controller, QStringLiteral("led"), Variant::array({3, 1}));
    execute(*controller, QStringLiteral("beep"), Variant(-1));
    Variant result;
    if (controller->FinalExecute(QStringLiteral("drawminitp"), menuScreen(), result) != 0)
        shots.fail(QStringLiteral("drawminitp"));
    auto *mini = static_cast<frmMiniTP *>(existingPendantWindow(PendantKind::Mini));
    Shots::settle(50);
    shots.save(mini, QStringLiteral("frmMiniTP-hosted"));

    sendKey(mini, QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
    Shots::settle(50);
    shots.save(mini, QStringLiteral("frmMiniTP-latch"));
    sendKey(mini, QEvent::KeyRelease, Qt::Key_Control);
    controller->FinalDisconnect();
    resetProcessState();
}

// frmOldTP-loaded: before the first tick. frmOldTP-hosted: the switch on MAN, LOCK's LED lit,
// the beeper shown, OK held down and the jog slider held at the top. frmOldTP-latched: "Leave
// press" checked, MOTOR and F2 latched. frmOldTP-alt: Alt held, the state selector shown.
// frmOldTP-debug: connected with "Debug", the state selector and "Leave press" both in reach.
void renderOld(Shots &shots)
{
    shots.freshProcess();
    if (auto controller = connectHosted(shots, QStringLiteral("PendantType=-1, Debug"))) {
        auto *tp = static_cast<frmOldTP *>(existingPendantWindow(PendantKind::Old));
        shots.save(tp, QStringLiteral("frmOldTP-loaded"));
        Shots::settle(1200);
        shots.save(tp, QStringLiteral("frmOldTP-debug"));
        tp->setStateSelectorVisible(false);
        execute(*controller, QStringLiteral("led"), Variant::array({2, 1}));
        execute(*controller, QStringLiteral("beep"), Variant(-1));
        tp->hardKey(7)->setDown(true);
        tp->jogSlider()->setSliderDown(true);
        tp->jogSlider()->setValue(-1);
        Shots::settle(50);
        shots.save(tp, QStringLiteral("frmOldTP-hosted"));
        tp->hardKey(7)->setDown(false);
        tp->jogSlider()->setSliderDown(false);

        tp->leavePress()->setChecked(true);
        tp->twin(0)->click();
        tp->twin(26)->click();
        Shots::settle(50);
        shots.save(tp, QStringLiteral("frmOldTP-latched"));
        tp->leavePress()->setChecked(false);

        sendKey(tp, QEvent::KeyPress, Qt::Key_Alt);
        Shots::settle(50);
        shots.save(tp, QStringLiteral("frmOldTP-alt"));
        sendKey(tp, QEvent::KeyRelease, Qt::Key_Alt);
        controller->FinalDisconnect();
    }
    resetProcessState();
}

// frmTPLess-debug: the design look. frmTPLess-unshaped: the window before its shape applies.
// frmTPLess-seethrough: what a desktop shows of it; on an X server also frmTPLess-x11-screen,
// the screen itself with the server applying the shape.
void renderTPLess(Shots &shots)
{
    shots.freshProcess();
    if (auto controller = connectHosted(shots, QStringLiteral("PendantType=2, Debug"))) {
        Shots::settle(50);
        shots.save(existingPendantWindow(PendantKind::TPLess)->widget(), QStringLiteral("frmTPLess-debug"));
        controller->FinalDisconnect();
    }
    auto controller = connectHosted(shots, QStringLiteral("PendantType=2"));
    if (!controller)
        return;
    auto *w = static_cast<frmTPLess *>(existingPendantWindow(PendantKind::TPLess));
    Shots::settle(50);
    const QImage look = w->grab().toImage();
    shots.save(look, QStringLiteral("frmTPLess-unshaped"));
    const QPoint at(40, 30);
    QImage desk = backdrop(look.size() + QSize(80, 60));
    {
        QPainter p(&desk);
        p.setClipRegion(w->mask().translated(at));
        p.drawImage(at, look);
    }
    shots.save(desk, QStringLiteral("frmTPLess-seethrough"));

    if (QGuiApplication::platformName() == u"xcb") {
        QLabel desktop;
        desktop.setWindowFlag(Qt::FramelessWindowHint);
        const QSize deskSize = look.size() + QSize(120, 100);
        desktop.setPixmap(QPixmap::fromImage(backdrop(deskSize)));
        desktop.setGeometry(QRect(QPoint(0, 0), deskSize));
        desktop.show();
        Shots::settle(300);
        w->move(at);
        w->raise();
        Shots::settle(500);
        shots.save(w->screen()->grabWindow(0, 0, 0, deskSize.width(), deskSize.height()).toImage(),
                   QStringLiteral("frmTPLess-x11-screen"));
    }
    controller->FinalDisconnect();
    resetProcessState();
}

} // namespace tarvisk::screens
