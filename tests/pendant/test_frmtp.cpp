#include "common/diagnostics.h"
#include "link/pendantlink.h"
#include "pendant/frmminitp.h"
#include "pendant/frmoldtp.h"
#include "pendant/frmtp.h"
#include "pendant/pendants.h"
#include "provider/provcontroller.h"
#include "provider/provstate.h"
#include "provider/windowprocs.h"
#include "support/hostqueue.h"
#include "support/keybits.h"
#include "support/pendantprocess.h"
#include "support/recordinglink.h"
#include "support/widgetprobe.h"
#include "widgets/buttonex.h"

#include <QComboBox>
#include <QTest>

#include <cmath>

using namespace tarvisk;
using namespace tarvisk::testing;

namespace {

using Msg = testing::QueuedMessage;

} // namespace

class TestFrmTP : public QObject
{
    Q_OBJECT

    std::shared_ptr<ProvController> controller;
    frmTP *tp = nullptr;

    QList<Msg> drain() { return drainQueue(*controller); }

    // Connects hosted with the options, shows the window and runs the first-connection tick.
    void connectHosted(const QString &options)
    {
        controller = connectController(options);
        QVERIFY(controller);
        tp = pendantOf<frmTP>(PendantKind::Standard);
        QVERIFY(showHosted(*controller, tp));
        emit tp->firstConnectionTimer()->Timer();
    }

    Variant key(int code, bool flag = true) { return Variant::array({Variant(int32_t(code)), Variant(flag)}); }

    QPoint dialPoint(double angleDeg, double radiusFactor = 0.6)
    {
        const QWidget *box = tp->jogDialBox();
        const double a = angleDeg * M_PI / 180.0;
        const double r = radiusFactor * 0.8 * std::min(box->width(), box->height()) / 2.0;
        return QPoint(int(std::lround(box->width() / 2.0 + r * std::cos(a))),
                      int(std::lround(box->height() / 2.0 + r * std::sin(a))));
    }

    void drag(const QList<double> &angles)
    {
        QWidget *box = tp->jogDialBox();
        QTest::mousePress(box, Qt::LeftButton, {}, dialPoint(angles.first()));
        for (double a : angles.mid(1)) {
            QMouseEvent move(QEvent::MouseMove, dialPoint(a), box->mapToGlobal(dialPoint(a)), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(box, &move);
        }
        QTest::mouseRelease(box, Qt::LeftButton, {}, dialPoint(angles.last()));
    }

private slots:
    void init() { startPendantProcess(); }
    void cleanup()
    {
        endHosted(controller);
        tp = nullptr;
    }

    void hostedConnectAndOkKey()
    {
        connectHosted(QStringLiteral("PendantType=0, StateDestination=x"));
        // Hidden until "show", no system menu, takes no focus; "CONNECT" announced on the tick.
        QVERIFY(systemMenuItems(tp).isEmpty());
        QVERIFY(hasNoActivate(tp));
        QCOMPARE(tp->windowTitle(), QStringLiteral("Halvex Pendant"));
        QCOMPARE(tp->size(), QSize(213, 489));
        QList<Msg> got = drain();
        QCOMPARE(describeMessages(got.mid(0, 2)), describeMessages({{0, Variant(1), "x"}, {0, Variant(1), ""}}));
        QVERIFY(tp->hardKey(7)->isEnabled());

        QWidget *ok = tp->hardKey(7);
        QTest::mousePress(ok, Qt::LeftButton, {}, ok->rect().center());
        QVERIFY(tp->keyButton(7)->CheckKeyDown());
        QCOMPARE(describeMessages(drain()), describeMessages({{1, Variant(14), "x"}, {1, Variant(14), ""}}));
        QVERIFY(bitSet(*tp->GetKeyState().bytes(), 14));
        QTest::mouseRelease(ok, Qt::LeftButton, {}, ok->rect().center());
        QVERIFY(!tp->keyButton(7)->CheckKeyDown());
        QCOMPARE(describeMessages(drain()),
                 describeMessages(
                     {{2, Variant(14), "x"}, {2, Variant(14), ""}, {3, Variant(14), "x"}, {3, Variant(14), ""}}));
        Variant state;
        QCOMPARE(controller->FinalExecute(QStringLiteral("getkeystate"), Variant(), state), 0);
        QVERIFY(!bitSet(*state.bytes(), 14));
        QVERIFY(bitSet(*state.bytes(), 4)); // default mode 1: the switch on MAN
    }

    void rightButtonDoesNothing()
    {
        connectHosted(QStringLiteral(""));
        drain();
        clickCentre(tp->hardKey(5), Qt::RightButton);
        QTest::mousePress(tp->hardKey(5), Qt::RightButton, {}, {5, 5});
        QVERIFY(!tp->keyButton(5)->CheckKeyDown());
        QTest::mouseRelease(tp->hardKey(5), Qt::RightButton, {}, {5, 5});
        QVERIFY(drain().isEmpty());
    }

    void inprocMaskDecidesTheFlag()
    {
        connectHosted(QStringLiteral("StateDestination=x"));
        drain();
        Variant r;
        QCOMPARE(controller->FinalExecute(QStringLiteral("setinproceventkey"), Variant(QByteArray(8, 0)), r), 0);
        QCOMPARE(controller->FinalExecute(QStringLiteral("getinproceventkey"), Variant(), r), 0);
        QCOMPARE(r, Variant(QByteArray(8, 0)));
        clickCentre(tp->hardKey(0)); // MOTOR, code 6
        QCOMPARE(describeMessages(drain()),
                 describeMessages({{1, Variant(6), ""}, {2, Variant(6), ""}, {3, Variant(6), ""}}));
        // A short array takes the bytes it has, then fails.
        QCOMPARE(controller->FinalExecute(QStringLiteral("setinproceventkey"), Variant::array({255, 255}), r), 9);
        QCOMPARE(tp->GetInprocEventKey(), Variant(QByteArray("\xff\xff\0\0\0\0\0\0", 8)));
    }

    void modeSwitchSequence()
    {
        connectHosted(QStringLiteral("DefaultMode=0"));
        drain();
        Variant state;
        controller->FinalExecute(QStringLiteral("getkeystate"), Variant(), state);
        QCOMPARE(state, Variant(QByteArray(8, 0))); // no position chosen, no switch bit
        clickCentre(tp->switchArea(0));             // AUTO, code 3
        QCOMPARE(describeMessages(drain()),
                 describeMessages({{2, Variant(3), ""}, {1, Variant(3), ""}, {3, Variant(3), ""}}));
        clickCentre(tp->switchArea(0));
        QVERIFY(drain().isEmpty());     // the chosen position again: nothing
        clickCentre(tp->switchArea(2)); // TEACH, code 5
        QCOMPARE(describeMessages(drain()),
                 describeMessages({{2, Variant(5), ""}, {1, Variant(5), ""}, {3, Variant(5), ""}}));
        controller->FinalExecute(QStringLiteral("getkeystate"), Variant(), state);
        QCOMPARE(uint8_t(state.bytes()->at(0)), uint8_t(1u << 5));
        // A press that ends outside the area is no click.
        QTest::mousePress(tp->switchArea(1), Qt::LeftButton, {}, {5, 5});
        QTest::mouseRelease(tp->switchArea(1), Qt::LeftButton, {}, {-50, 5});
        QVERIFY(drain().isEmpty());
    }

    void defaultModeOnFirstTick_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("position");
        QTest::newRow("1 MAN") << 1 << 1;
        QTest::newRow("2 TEACH") << 2 << 2;
        QTest::newRow("3 AUTO") << 3 << 0;
        QTest::newRow("4 none") << 4 << -1;
    }
    void defaultModeOnFirstTick()
    {
        QFETCH(int, mode);
        connectHosted(QStringLiteral("DefaultMode=%1").arg(mode));
        QTEST(int(tp->keys().model().switchPosition()), "position");
        QVERIFY(!tp->firstConnectionTimer()->isRunning());
        QCOMPARE(tp->firstConnectionTimer()->interval(), 0);
    }

    void firstTickIntervals()
    {
        controller = std::make_shared<ProvController>();
        Variant p = Variant::array({Variant(), Variant(""), Variant()});
        QCOMPARE(controller->FinalConnect(p), 0);
        tp = pendantOf<frmTP>(PendantKind::Standard);
        QCOMPARE(tp->firstConnectionTimer()->interval(), 1000);
        QVERIFY(tp->firstConnectionTimer()->isRunning());
        QVERIFY(!tp->hardKey(0)->isEnabled()); // keys wait for the first tick
        QTRY_VERIFY_WITH_TIMEOUT(tp->hardKey(0)->isEnabled(), 5000);
    }

    void jogDialDrags()
    {
        connectHosted(QStringLiteral(""));
        drain();
        // Clockwise on screen: the angle grows, value = previous - current < 0: jog up (32).
        drag({0, 20, 45});
        QCOMPARE(describeMessages(drain()), describeMessages({{1, Variant(32), ""}}));
        // Anticlockwise: the held jog key goes first, then jog down (31) is pressed.
        drag({45, 20, 0});
        QCOMPARE(describeMessages(drain()),
                 describeMessages({{2, Variant(32), ""}, {3, Variant(32), ""}, {1, Variant(31), ""}}));
        // Across the left horizontal: 170 -> -170 is a turn of 20 degrees, not 340.
        drag({150, 170, -175});
        QVERIFY(drain().isEmpty());
        drag({150, 179, -160}); // 50 degrees clockwise across +-180
        QCOMPARE(describeMessages(drain()),
                 describeMessages({{2, Variant(31), ""}, {3, Variant(31), ""}, {1, Variant(32), ""}}));
        // A press alone raises nothing; the jog key stays held after the drag.
        QTest::mousePress(tp->jogDialBox(), Qt::LeftButton, {}, dialPoint(90));
        QTest::mouseRelease(tp->jogDialBox(), Qt::LeftButton, {}, dialPoint(90));
        QVERIFY(drain().isEmpty());
        QVERIFY(tp->keys().model().isHeld(32));
    }

    void jogDialStepIsStrict()
    {
        clsJogDial dial;
        QWidget box;
        box.resize(65, 53);
        dial.setPictureFrame(&box);
        int changes = 0;
        float last = 0;
        connect(&dial, &clsJogDial::Change, [&](float &v) {
            ++changes;
            last = v;
        });
        const JogGeometry g = dial.geometry();
        auto at = [&](double deg) {
            return std::pair{g.cx + 100 * std::cos(deg * M_PI / 180), g.cy + 100 * std::sin(deg * M_PI / 180)};
        };
        auto [x0, y0] = at(0);
        dial.picFrame_MouseDown(1, x0, y0);
        auto [x1, y1] = at(40);
        dial.picFrame_MouseMove(1, x1, y1);
        QCOMPARE(changes, 0); // exactly the step: nothing
        auto [x2, y2] = at(40.5);
        dial.picFrame_MouseMove(1, x2, y2);
        QCOMPARE(changes, 1);
        QVERIFY(std::fabs(last + 40.5f) < 0.01f);
        dial.picFrame_MouseUp(1, x2, y2);
        QVERIFY(!dial.isDragging());
    }

    void ledsAndBlink()
    {
        connectHosted(QStringLiteral(""));
        LedBank *leds = tp->leds();
        QVERIFY(leds->isLit(0)); // LED 1 starts with the on colours, LED 2 off, neither recorded
        QVERIFY(!leds->isLit(1));
        Variant r;
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), Variant::array({2, 1}), r), 0);
        QVERIFY(leds->isLit(1));
        QCOMPARE(leds->recordedState(1), QStringLiteral("1"));
        const QImage on = tp->ledView(1)->grab().toImage();
        QCOMPARE(on.pixelColor(on.width() / 2, on.height() / 2), QColor(0, 0xC0, 0));
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), Variant::array({2, 2}), r), 0);
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), Variant::array({1, 2}), r), 0);
        QVERIFY(leds->timer().isRunning());
        leds->tick();
        QVERIFY(!leds->isLit(1));
        QVERIFY(leds->isLit(0)); // never switched: keeps its look
        const QImage off = tp->ledView(1)->grab().toImage();
        QCOMPARE(off.pixelColor(off.width() / 2, off.height() / 2), QColor(0x80, 0x80, 0x80));
        leds->tick();
        QVERIFY(leds->isLit(1));
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), Variant::array({2, 0}), r), 0);
        leds->tick();
        QVERIFY(!leds->isLit(1));
        QVERIFY(leds->timer().isRunning()); // never stopped
        // Numbers outside 1..2 and unknown modes change nothing; malformed values fail.
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), Variant::array({3, 1}), r), 0);
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), Variant::array({0, 1}), r), 0);
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), Variant::array({2, 7}), r), 0);
        QVERIFY(!leds->isLit(1));
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), Variant(1), r), 13);
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), Variant::array({1}), r), 9);
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), Variant::array({"x", 1}), r), 13);
    }

    void beeper()
    {
        connectHosted(QStringLiteral(""));
        Variant r;
        QVERIFY(!tp->beeperIcon()->isVisible());
        QCOMPARE(controller->FinalExecute(QStringLiteral("beep"), Variant(500), r), 0);
        QVERIFY(tp->beeperIcon()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!tp->beeperIcon()->isVisible(), 5000);
        QCOMPARE(controller->FinalExecute(QStringLiteral("beep"), Variant(-1), r), 0);
        QTest::qWait(100);
        QVERIFY(tp->beeperIcon()->isVisible());
        QVERIFY(!tp->beeper()->timer().isRunning());
        QCOMPARE(controller->FinalExecute(QStringLiteral("beep"), Variant(0), r), 0);
        QVERIFY(!tp->beeperIcon()->isVisible());
        QCOMPARE(controller->FinalExecute(QStringLiteral("beep"), Variant("soon"), r), 13);
        QVERIFY(!tp->beeperIcon()->isVisible());
    }

    void stateSelector()
    {
        connectHosted(QStringLiteral("Debug"));
        drain();
        QComboBox *states = tp->stateSelector();
        QVERIFY(states->isVisible());
        states->setCurrentIndex(0);
        emit states->activated(0);
        QCOMPARE(describeMessages(drain()), describeMessages({{0, Variant(0), ""}}));
        QVERIFY(!tp->hardKey(3)->isEnabled());
        QVERIFY(!tp->switchArea(1)->isEnabled());
        QVERIFY(!tp->jogDialBox()->isEnabled());
        QVERIFY(!tp->leds()->timer().isEnabled());
        QVERIFY(states->isEnabled());
        states->setCurrentIndex(3);
        emit states->activated(3);
        QCOMPARE(describeMessages(drain()), describeMessages({{0, Variant(3), ""}}));
        QVERIFY(!tp->hardKey(3)->isEnabled()); // TPERROR changes no control
        states->setCurrentIndex(1);
        emit states->activated(1);
        QCOMPARE(describeMessages(drain()), describeMessages({{0, Variant(1), ""}}));
        QVERIFY(tp->hardKey(3)->isEnabled());
        // Disabled keys take no clicks.
        states->setCurrentIndex(2);
        emit states->activated(2);
        drain();
        clickCentre(tp->hardKey(7));
        QVERIFY(drain().isEmpty());
        // Nor does the disabled dial turn under a drag.
        drag({0, 30, 60, 90, 120});
        QVERIFY(drain().isEmpty());
    }

    void windowCommands()
    {
        connectHosted(QStringLiteral(""));
        Variant r;
        QCOMPARE(controller->FinalExecute(QStringLiteral("getvisible"), Variant(), r), 0);
        QCOMPARE(r, Variant(true));
        QCOMPARE(controller->FinalExecute(QStringLiteral("move"), Variant::array({Variant(300.0), Variant(600.0)}), r),
                 0);
        QCOMPARE(tp->pos(), QPoint(20, 40));
        QCOMPARE(tp->size(), QSize(213, 489));
        QCOMPARE(controller->FinalExecute(QStringLiteral("gethwnd"), Variant(), r), 0);
        QCOMPARE(uint32_t(r.toLong()), uint32_t(tp->winId()));
        QCOMPARE(controller->FinalExecute(QStringLiteral("hide"), Variant(), r), 0);
        QVERIFY(!tp->isVisible());
        QCOMPARE(controller->FinalExecute(QStringLiteral("show"), Variant(-1), r), 0);
        QVERIFY(tp->isVisible());
        QVERIFY(tp->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(controller->FinalExecute(QStringLiteral("lcd"), Variant(1), r), 438);
        QCOMPARE(controller->FinalExecute(QStringLiteral("drawminitp"), Variant::array({}), r), 438);
        QCOMPARE(controller->FinalExecute(QStringLiteral("backlight"), Variant(), r), 0);
    }

    void pellinoHidesTheStandardSwitchOnly_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("hidden");
        QTest::newRow("standard") << 0 << true;
        QTest::newRow("mini") << 1 << false;
        QTest::newRow("old") << -1 << false;
    }

    void pellinoHidesTheStandardSwitchOnly()
    {
        QFETCH(int, type);
        QFETCH(bool, hidden);
        controller = std::make_shared<ProvController>();
        Variant p =
            Variant::array({Variant(), Variant(QStringLiteral("PendantType=%1, IsPellino=true").arg(type)), Variant()});
        QCOMPARE(controller->FinalConnect(p), 0);
        Variant r;
        QCOMPARE(controller->FinalExecute(QStringLiteral("show"), Variant(), r), 0);
        QWidget *window = existingPendantWindow(pendantKindForType(type))->widget();
        QWidget *modeSwitch = type == 0   ? static_cast<frmTP *>(window)->modeSwitch()
                              : type == 1 ? static_cast<frmMiniTP *>(window)->modeSwitch()
                                          : static_cast<frmOldTP *>(window)->modeSwitch();
        QCOMPARE(modeSwitch->isVisible(), !hidden);
        // Connected again without it, every switch shows.
        p = Variant::array(
            {Variant(), Variant(QStringLiteral("PendantType=%1, IsPellino=false").arg(type)), Variant()});
        QCOMPARE(controller->FinalConnect(p), 0);
        QVERIFY(modeSwitch->isVisible());
    }

    void hostedCloseIsRefused()
    {
        connectHosted(QStringLiteral(""));
        QVERIFY(!tp->windowHandle()->close()); // what the window manager's close box asks for
        QVERIFY(!tp->close());
        QVERIFY(tp->isVisible());
    }

    void disconnectAnnouncesAndHides()
    {
        connectHosted(QStringLiteral(""));
        drain();
        tp->Disconnect();
        QVERIFY(!tp->isVisible());
        QCOMPARE(describeMessages(drain()), describeMessages({{0, Variant(int16_t(0)), ""}}));

        // A key held then is let go before "DISCONNECT".
        Variant r;
        QCOMPARE(controller->FinalExecute(QStringLiteral("show"), Variant(), r), 0);
        QWidget *ok = tp->hardKey(7);
        QTest::mousePress(ok, Qt::LeftButton, {}, ok->rect().center());
        drain();
        tp->Disconnect();
        QCOMPARE(describeMessages(drain()),
                 describeMessages({{2, Variant(14), ""}, {3, Variant(14), ""}, {0, Variant(int16_t(0)), ""}}));
        QTest::mouseRelease(ok, Qt::LeftButton, {}, ok->rect().center());
        QVERIFY(drain().isEmpty());
    }

    void keyHandlerErrorsGoToTheDebugOutput()
    {
        CapturingDiagnostics capture;
        connectHosted(QStringLiteral(""));
        g_Controller.reset(); // the host message operation now fails
        QTest::mousePress(tp->hardKey(7), Qt::LeftButton, {}, {5, 5});
        QCOMPARE(capture.debugLines, QStringList{QStringLiteral("picHardKey_MouseDown of Form frmTP")});
        QTest::mouseRelease(tp->hardKey(7), Qt::LeftButton, {}, {5, 5});
        QCOMPARE(capture.debugLines.last(), QStringLiteral("picHardKey_MouseUp of Form frmTP"));
        clickCentre(tp->switchArea(0));
        QCOMPARE(capture.boxes.size(), 1);
        QCOMPARE(capture.boxes[0].text, QStringLiteral("[5B]\r\nObject variable or With block variable not set"));
        g_Controller = controller;
    }

    void heldKeysAreLetGoWhenTheWindowHides()
    {
        connectHosted(QStringLiteral(""));
        drag({0, 20, 45}); // jog up stays held on purpose
        drain();
        QWidget *ok = tp->hardKey(7);
        QTest::mousePress(ok, Qt::LeftButton, {}, ok->rect().center());
        drain();
        Variant r;
        QCOMPARE(controller->FinalExecute(QStringLiteral("hide"), Variant(), r), 0);
        QCOMPARE(describeMessages(drain()), describeMessages({{2, Variant(14), ""}, {3, Variant(14), ""}}));
        QVERIFY(!tp->keyButton(7)->CheckKeyDown());
        QVERIFY(tp->keys().model().isHeld(32));
        // The late release of the mouse reports nothing more.
        QTest::mouseRelease(ok, Qt::LeftButton, {}, ok->rect().center());
        QVERIFY(drain().isEmpty());
        // The next press is a press again.
        controller->FinalExecute(QStringLiteral("show"), Variant(), r);
        clickCentre(ok);
        QCOMPARE(describeMessages(drain()),
                 describeMessages({{1, Variant(14), ""}, {2, Variant(14), ""}, {3, Variant(14), ""}}));
    }

    void heldKeysAreLetGoBeforeTheWindowIsDisabled()
    {
        connectHosted(QStringLiteral(""));
        drain();
        QTest::mousePress(tp->hardKey(0), Qt::LeftButton, {}, {5, 5});
        drain();
        tp->stateSelector()->setCurrentIndex(0);
        emit tp->stateSelector()->activated(0);
        QCOMPARE(describeMessages(drain()),
                 describeMessages({{2, Variant(6), ""}, {3, Variant(6), ""}, {0, Variant(0), ""}}));
        QTest::mouseRelease(tp->hardKey(0), Qt::LeftButton, {}, {5, 5});
        QVERIFY(drain().isEmpty());
    }

    void heldKeysAreLetGoWhenTheWindowLosesActivation()
    {
        connectHosted(QStringLiteral(""));
        drain();
        QTest::mousePress(tp->hardKey(24), Qt::LeftButton, {}, {5, 5}); // SHIFT, code 20
        drain();
        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_VERIFY(!tp->isActiveWindow());
        QEvent deactivated(QEvent::ActivationChange);
        QApplication::sendEvent(tp, &deactivated);
        QCOMPARE(describeMessages(drain()), describeMessages({{2, Variant(20), ""}, {3, Variant(20), ""}}));
        QTest::mouseRelease(tp->hardKey(24), Qt::LeftButton, {}, {5, 5});
        QVERIFY(drain().isEmpty());
    }

    void firstTickErrorsGoToTheDebugOutput()
    {
        CapturingDiagnostics capture;
        controller = std::make_shared<ProvController>();
        Variant p = Variant::array({Variant(), Variant("DefaultMode=3"), Variant()});
        QCOMPARE(controller->FinalConnect(p), 0);
        tp = pendantOf<frmTP>(PendantKind::Standard);
        g_Controller.reset();
        emit tp->firstConnectionTimer()->Timer();
        // The state change reports its own failure; the switch's failure ends the tick.
        QCOMPARE(capture.boxes.size(), 1);
        QCOMPARE(capture.debugLines,
                 QStringList{QStringLiteral("Tarvisk err:Description : Object variable or With block variable not "
                                            "set\r\nNumber : 0x5b")});
        QCOMPARE(int(tp->keys().model().switchPosition()), 0); // the position was taken before the report failed
    }

    void standaloneSendsBitmaps()
    {
        auto link = std::make_shared<RecordingLink>();
        g_Standalone = true;
        g_TPComm = link;
        ShowPendant(0, 3, false, false);
        tp = pendantOf<frmTP>(PendantKind::Standard);
        QVERIFY(tp->isVisible());
        QVERIFY(!tp->stateSelector()->isVisible());
        QCOMPARE(tp->firstConnectionTimer()->interval(), 3000);
        emit tp->firstConnectionTimer()->Timer();
        QVERIFY(tp->hardKey(7)->isEnabled());
        QCOMPARE(link->bitmaps.size(), 1); // the default mode chose AUTO
        QCOMPARE(link->bitmaps[0], QByteArray("\x08\0\0\0\0\0\0\0", 8));
        QTest::mousePress(tp->hardKey(7), Qt::LeftButton, {}, {5, 5});
        QCOMPARE(link->commands.last(), QStringLiteral("SetKeyState"));
        QCOMPARE(link->bitmaps.last(), QByteArray("\x08\x40\0\0\0\0\0\0", 8));
        QTest::mouseRelease(tp->hardKey(7), Qt::LeftButton, {}, {5, 5});
        QCOMPARE(link->bitmaps.last(), QByteArray("\x08\0\0\0\0\0\0\0", 8));
        // The state list sends nothing in a standalone run.
        emit tp->stateSelector()->activated(0);
        QVERIFY(tp->hardKey(7)->isEnabled());
        // Link messages: 0 is answered, 256 beeps, 257 lights, others are ignored.
        FakeLinkMessage hello(0, Variant());
        emit link->OnMessage(hello, 0);
        QCOMPARE(hello.replies.size(), 1);
        QVERIFY(hello.replies[0].isEmpty());
        FakeLinkMessage beep(256, Variant(-1));
        emit link->OnMessage(beep, 0);
        QVERIFY(tp->beeperIcon()->isVisible());
        FakeLinkMessage led(257, Variant::array({2, 1}));
        emit link->OnMessage(led, 0);
        QVERIFY(tp->leds()->isLit(1));
        CapturingDiagnostics capture;
        FakeLinkMessage bad(257, Variant("x"));
        emit link->OnMessage(bad, 0);
        QCOMPARE(capture.boxes.size(), 1);
        QCOMPARE(capture.boxes[0].text, QStringLiteral("[D]\r\nType mismatch"));
        FakeLinkMessage other(999, Variant(1));
        emit link->OnMessage(other, 0);
        // The user's close lets go of a held key, then closes the link.
        QTest::mousePress(tp->hardKey(7), Qt::LeftButton, {}, {5, 5});
        QVERIFY(bitSet(link->bitmaps.last(), 14));
        QVERIFY(tp->close());
        QVERIFY(!bitSet(link->bitmaps.last(), 14));
        QCOMPARE(link->closes, 1);
        QVERIFY(!g_TPComm);
    }
};

QTEST_MAIN(TestFrmTP)
#include "test_frmtp.moc"
