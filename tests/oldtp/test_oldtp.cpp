#include "common/diagnostics.h"
#include "link/pendantlink.h"
#include "pendant/frmoldtp.h"
#include "pendant/frmoldtp_keys.h"
#include "pendant/frmoldtp_paint.h"
#include "pendant/pendants.h"
#include "provider/provcontroller.h"
#include "provider/provstate.h"
#include "support/hostqueue.h"
#include "support/keybits.h"
#include "support/pendantprocess.h"
#include "support/recordinglink.h"
#include "support/widgetprobe.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QTest>

using namespace tarvisk;
using namespace tarvisk::testing;

namespace {

// The slider's style option, which QSlider keeps to itself.
struct SliderPeek : QSlider
{
    static QRect handle(QSlider *s)
    {
        QStyleOptionSlider opt;
        (s->*(&SliderPeek::initStyleOption))(&opt);
        return s->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, s);
    }
};

} // namespace

class TestOldTP : public QObject
{
    Q_OBJECT

    std::shared_ptr<ProvController> controller;
    frmOldTP *tp = nullptr;
    CapturingDiagnostics *diag = nullptr;

    // "number:code" of every queued message, in order.
    QString drain() { return messageTexts(drainQueue(*controller)).join(u' '); }

    void connectHosted(const QString &options)
    {
        controller = connectController(options);
        QVERIFY(controller);
        tp = pendantOf<frmOldTP>(PendantKind::Old);
        QVERIFY(showHosted(*controller, tp));
        QVERIFY(!tp->isEnabled());
        emit tp->firstConnectionTimer()->Timer();
        QVERIFY(tp->isEnabled());
    }

    void connectStandalone(std::shared_ptr<RecordingLink> link)
    {
        g_Standalone = true;
        g_TPComm = link;
        ShowPendant(-1, 1, false, false);
        tp = pendantOf<frmOldTP>(PendantKind::Old);
        QVERIFY(tp);
        QVERIFY(QTest::qWaitForWindowExposed(tp));
        emit tp->firstConnectionTimer()->Timer();
        link->clearExecuted();
    }

    // Presses the slider's thumb and drags it to the top (-1) or the bottom (+1).
    void holdSlider(int direction)
    {
        QSlider *s = tp->jogSlider();
        const QRect handle = SliderPeek::handle(s);
        QTest::mousePress(s, Qt::LeftButton, {}, handle.center());
        QVERIFY(s->isSliderDown());
        QTest::mouseMove(s, QPoint(handle.center().x(), direction < 0 ? 0 : s->height() - 1));
        QCOMPARE(s->value(), direction);
        QVERIFY(s->isSliderDown());
    }

    void letSliderGo()
    {
        QSlider *s = tp->jogSlider();
        QTest::mouseRelease(s, Qt::LeftButton, {}, SliderPeek::handle(s).center());
    }

    void tick() { emit tp->jogTimer()->Timer(); }

private slots:
    void init()
    {
        startPendantProcess();
        diag = new CapturingDiagnostics;
    }
    void cleanup()
    {
        endHosted(controller);
        tp = nullptr;
        delete diag;
        diag = nullptr;
    }

    void layoutFollowsTheTables()
    {
        connectHosted(QStringLiteral("PendantType=-1"));
        QCOMPARE(tp->windowTitle(), QStringLiteral("Halvex Pendant"));
        QCOMPARE(tp->size(), QSize(189, 489));
        // Key places are from the window's origin although the keys live in their group boxes.
        const struct
        {
            int index;
            const char *caption, *group;
            int left, top;
        } probes[] = {{0, "MOTOR", "fraMotor", 1830, 300},    {7, "OK", "fraRSel", 1860, 1860},
                      {13, "-", "fraManual", 180, 4260},      {14, "+", "fraManual", 1860, 2460},
                      {23, "Right", "fraCursor", 1080, 5190}, {30, "F6", "fraFunc", 1860, 6870}};
        for (const auto &p : probes) {
            QPushButton *key = tp->hardKey(p.index);
            QCOMPARE(key->text(), QString::fromLatin1(p.caption));
            QCOMPARE(key->parentWidget()->objectName(), QString::fromLatin1(p.group));
            QCOMPARE(key->mapTo(tp, QPoint(0, 0)), QPoint(p.left / 15, p.top / 15));
            QCOMPARE(key->size(), QSize(53, 20));
            QCOMPARE(tp->twin(p.index)->geometry(), key->geometry());
            QCOMPARE(tp->twin(p.index)->parentWidget(), key->parentWidget());
            QCOMPARE(tp->twin(p.index)->text(), key->text());
            QVERIFY(tp->twin(p.index)->isCheckable());
            QVERIFY(tp->twin(p.index)->isHidden());
        }
        QCOMPARE(tp->keyName(20), QStringLiteral("TP_KEY_UP"));
        QCOMPARE(tp->axisLabel(3)->text(), QStringLiteral("J4 / RX"));
        QCOMPARE(tp->axisLabel(0)->text(), QStringLiteral("J1 /  X "));
        QCOMPARE(tp->jogFrame()->title(), QStringLiteral("JOG"));
        QCOMPARE(tp->leavePress()->text(), QStringLiteral("Leave press"));
        QCOMPARE(tp->ledView(1)->mapTo(tp, QPoint(0, 0)), QPoint((1530 + 120) / 15, (30 + 750) / 15));
        QCOMPARE(tp->ledView(0)->size(), QSize(9, 17));
        QCOMPARE(centreColour(tp->ledView(0)), oldLedColour(false));
        QVERIFY(tp->beeperIcon()->isHidden());

        QSlider *s = tp->jogSlider();
        QCOMPARE(s->orientation(), Qt::Vertical);
        QCOMPARE(s->minimum(), -1);
        QCOMPARE(s->maximum(), 1);
        QCOMPARE(s->value(), 0);
        // A change that is no drag (a key, the wheel, code) springs back to the centre.
        s->setValue(1);
        QCOMPARE(s->value(), 0);
        QCOMPARE(tp->jogTimer()->interval(), 150);
        QCOMPARE(drain(), QStringLiteral("0:1 2:4 1:4 3:4"));
    }

    void pushKeyReportsAndLocksItsTwin()
    {
        connectHosted(QStringLiteral("PendantType=-1"));
        drain();
        QPushButton *ok = tp->hardKey(7);
        QTest::mousePress(ok, Qt::LeftButton, {}, ok->rect().center());
        QCOMPARE(drain(), QStringLiteral("1:14"));
        QVERIFY(!tp->twin(7)->isEnabled());
        QVERIFY(bitSet(*tp->GetKeyState().bytes(), 14));
        QTest::mouseRelease(ok, Qt::LeftButton, {}, ok->rect().center());
        QCOMPARE(drain(), QStringLiteral("2:14 3:14"));
        QVERIFY(tp->twin(7)->isEnabled());
        // Other buttons do nothing.
        QTest::mouseClick(ok, Qt::RightButton, {}, ok->rect().center());
        QCOMPARE(drain(), QString());
    }

    void sliderHeldRepeatsTheJogKey()
    {
        connectHosted(QStringLiteral("PendantType=-1"));
        drain();
        // Only the ticks the test gives count.
        tp->jogTimer()->setInterval(3600 * 1000);
        holdSlider(-1);
        QVERIFY(tp->jogTimer()->isEnabled());
        QCOMPARE(drain(), QString()); // the drag itself sends nothing
        tick();
        QCOMPARE(drain(), QStringLiteral("1:32"));
        tick();
        tick();
        QCOMPARE(drain(), QStringLiteral("2:32 3:32 1:32 2:32 3:32 1:32"));
        letSliderGo();
        QCOMPARE(tp->jogSlider()->value(), 0);
        QCOMPARE(drain(), QStringLiteral("2:32 3:32"));
        tick();
        tick();
        QCOMPARE(drain(), QString());
        QVERIFY(tp->jogTimer()->isEnabled());
        QVERIFY(!bitSet(*tp->GetKeyState().bytes(), 32));

        holdSlider(1);
        tick();
        QCOMPARE(drain(), QStringLiteral("1:31"));
        // Back to the centre while still held: the next tick only releases.
        tp->jogSlider()->setValue(0);
        tick();
        QCOMPARE(drain(), QStringLiteral("2:31 3:31"));
        letSliderGo();
        QCOMPARE(drain(), QString());
    }

    void sliderWithTheRealTimer()
    {
        connectHosted(QStringLiteral("PendantType=-1"));
        drain();
        holdSlider(-1);
        QTest::qWait(1000);
        const QString held = drain();
        letSliderGo();
        const QString released = drain();
        // About six ticks: the first presses, every later one releases and presses again.
        const QStringList got = held.split(u' ', Qt::SkipEmptyParts);
        QVERIFY2(got.size() >= 4 && got.size() <= 40, qPrintable(held));
        QCOMPARE(got.first(), QStringLiteral("1:32"));
        QCOMPARE((got.size() - 1) % 3, 0);
        for (qsizetype i = 1; i < got.size(); i += 3)
            QCOMPARE(got.mid(i, 3).join(u' '), QStringLiteral("2:32 3:32 1:32"));
        QCOMPARE(released, QStringLiteral("2:32 3:32"));
        QTest::qWait(400);
        QCOMPARE(drain(), QString());
    }

    void jogTickErrorStopsTheTimer()
    {
        connectHosted(QStringLiteral("PendantType=-1"));
        drain();
        tp->jogTimer()->setInterval(3600 * 1000);
        holdSlider(-1);
        auto table = std::make_shared<KeyTable>();
        table->Add(31, QStringLiteral("TP_KEY_JOG_DOWN"));
        g_TPKeyTable = table; // no TP_KEY_JOG_UP
        diag->clear();
        tick();
        QVERIFY(!tp->jogTimer()->isEnabled());
        QCOMPARE(diag->boxes.size(), 1);
        QVERIFY(diag->boxes[0].text.startsWith(QStringLiteral("[5]\r\n")));
        QCOMPARE(diag->boxes[0].icon, Diagnostics::Icon::Critical);
        QCOMPARE(drain(), QString());
        letSliderGo();
    }

    void leavePressLatchesTwins()
    {
        connectHosted(QStringLiteral("PendantType=-1"));
        drain();
        clickCentre(tp->leavePress());
        QVERIFY(tp->leavePress()->isChecked());
        QVERIFY(tp->isLatchViewShown());
        QVERIFY(tp->hardKey(7)->isHidden());
        QVERIFY(tp->twin(7)->isVisible());

        clickCentre(tp->twin(7));
        QCOMPARE(drain(), QStringLiteral("1:14"));
        QVERIFY(tp->twin(7)->isChecked());
        QVERIFY(!tp->hardKey(7)->isEnabled());
        QVERIFY(bitSet(*tp->GetKeyState().bytes(), 14));

        // Announcing "CONNECT" again enables every control but keeps the latched key locked.
        tp->stateSelector()->setCurrentIndex(1);
        emit tp->stateSelector()->activated(1);
        QCOMPARE(drain(), QStringLiteral("0:1"));
        QVERIFY(!tp->hardKey(7)->isEnabled());

        clickCentre(tp->twin(7));
        QCOMPARE(drain(), QStringLiteral("2:14 3:14"));
        QVERIFY(!tp->twin(7)->isChecked());
        QVERIFY(tp->hardKey(7)->isEnabled());

        clickCentre(tp->leavePress());
        QVERIFY(!tp->isLatchViewShown());
        QVERIFY(tp->hardKey(7)->isVisible());
        QVERIFY(tp->twin(7)->isHidden());
    }

    void ctrlAltAndTheKeyPreview()
    {
        connectHosted(QStringLiteral("PendantType=-1"));
        drain();
        tp->setStateSelectorVisible(false);
        diag->clear();
        QTest::keyPress(tp, Qt::Key_Control);
        QVERIFY(tp->isLatchViewShown());
        QVERIFY(tp->twin(0)->isVisible());
        QTest::keyRelease(tp, Qt::Key_Control);
        QVERIFY(!tp->isLatchViewShown());
        QVERIFY(tp->hardKey(0)->isVisible());

        QTest::keyPress(tp, Qt::Key_Alt);
        QVERIFY(tp->isStateSelectorVisible());
        QTest::keyRelease(tp, Qt::Key_Alt);
        QVERIFY(!tp->isStateSelectorVisible());
        QCOMPARE(diag->debugLines, QStringList({"Form_KeyDown 17", "Form_KeyDown 18"}));

        // "Leave press" stays checked, yet Ctrl's release or losing activation ends the view.
        tp->leavePress()->setChecked(true);
        QVERIFY(tp->isLatchViewShown());
        QTest::keyPress(tp, Qt::Key_Control);
        QTest::keyRelease(tp, Qt::Key_Control);
        QVERIFY(!tp->isLatchViewShown());
        QVERIFY(tp->leavePress()->isChecked());
        QTest::keyPress(tp, Qt::Key_Control);
        QVERIFY(tp->isLatchViewShown());
        QEvent deactivate(QEvent::WindowDeactivate);
        QApplication::sendEvent(tp, &deactivate);
        QVERIFY(!tp->isLatchViewShown());

        // Every key press is written and swallowed, wherever the focus is.
        tp->leavePress()->setFocus();
        diag->clear();
        QTest::keyClick(tp->leavePress(), Qt::Key_Space);
        QVERIFY(tp->leavePress()->isChecked());
        QTest::keyClick(tp->leavePress(), Qt::Key_A);
        QTest::keyClick(tp->leavePress(), Qt::Key_Exclam);
        tp->jogTimer()->setEnabled(false);
        QTest::keyClick(tp->jogSlider(), Qt::Key_Up);
        QCOMPARE(tp->jogSlider()->value(), 0);
        QVERIFY(tp->jogTimer()->isEnabled()); // the slider's key press still arms the timer
        QCOMPARE(diag->debugLines,
                 QStringList({"Form_KeyDown 32", "Form_KeyDown 65", "Form_KeyDown 49", "Form_KeyDown 38"}));
        QCOMPARE(drain(), QString());
    }

    void virtualKeyCodes()
    {
        QCOMPARE(virtualKeyCode(Qt::Key_Z, {}), 90);
        QCOMPARE(virtualKeyCode(Qt::Key_7, {}), 55);
        QCOMPARE(virtualKeyCode(Qt::Key_7, Qt::KeypadModifier), 103);
        QCOMPARE(virtualKeyCode(Qt::Key_Enter, Qt::KeypadModifier), 13);
        QCOMPARE(virtualKeyCode(Qt::Key_ParenRight, Qt::ShiftModifier), 48);
        QCOMPARE(virtualKeyCode(Qt::Key_F12, {}), 123);
        QCOMPARE(virtualKeyCode(Qt::Key_Escape, {}), 27);
        QCOMPARE(virtualKeyCode(Qt::Key_Delete, {}), 46);
        QCOMPARE(virtualKeyCode(Qt::Key_Question, Qt::ShiftModifier), 191);
        QCOMPARE(virtualKeyCode(Qt::Key_VolumeUp, {}), 0);
    }

    void ledsAndCommands()
    {
        connectHosted(QStringLiteral("PendantType=-1"));
        drain();
        Variant r;
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), Variant::array({2, 1}), r), 0);
        QCOMPARE(centreColour(tp->ledView(1)), QColor(0, 255, 0));
        QCOMPARE(centreColour(tp->ledView(0)), QColor(255, 255, 255));
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), Variant::array({3, 1}), r), 0);
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), Variant::array({0, 1}), r), 0);
        QVERIFY(!tp->leds()->isLit(0));
        QVERIFY(tp->leds()->isLit(1));

        // No error trapping of its own: malformed values fail the command and change nothing.
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), Variant::array({1}), r), 9);
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), Variant::array({"one", 1}), r), 13);
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), Variant(1), r), 13);
        QVERIFY(!tp->leds()->isLit(0));

        // Blinking: white and green alternate once a second, from the present colour.
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), Variant::array({1, 2}), r), 0);
        QCOMPARE(tp->leds()->timer().interval(), 1000);
        QVERIFY(tp->leds()->timer().isEnabled());
        emit tp->leds()->timer().Timer();
        QCOMPARE(centreColour(tp->ledView(0)), QColor(0, 255, 0));
        emit tp->leds()->timer().Timer();
        QCOMPARE(centreColour(tp->ledView(0)), QColor(255, 255, 255));
        QVERIFY(tp->leds()->isLit(1)); // not blinking

        QCOMPARE(controller->FinalExecute(QStringLiteral("beep"), Variant(-1), r), 0);
        QVERIFY(tp->beeperIcon()->isVisible());
        QCOMPARE(controller->FinalExecute(QStringLiteral("beep"), Variant(0), r), 0);
        QVERIFY(tp->beeperIcon()->isHidden());

        QCOMPARE(controller->FinalExecute(QStringLiteral("lcd"), Variant("x"), r), 438);
        QCOMPARE(controller->FinalExecute(QStringLiteral("drawminitp"), Variant::array({1}), r), 438);
        QCOMPARE(controller->FinalExecute(QStringLiteral("getkeystate"), Variant(), r), 0);
        QCOMPARE(r, Variant(QByteArray("\x10\0\0\0\0\0\0\0", 8))); // MAN (code 4)
    }

    void switchAreasAndDefaultMode()
    {
        connectHosted(QStringLiteral("PendantType=-1, DefaultMode=3"));
        QCOMPARE(drain(), QStringLiteral("0:1 2:3 1:3 3:3")); // AUTO chosen by the default mode
        clickCentre(tp->switchArea(2));
        QCOMPARE(drain(), QStringLiteral("2:5 1:5 3:5"));
        clickCentre(tp->switchArea(2));
        QCOMPARE(drain(), QString());
        QVERIFY(bitSet(*tp->GetKeyState().bytes(), 5));
    }

    void standaloneSendsBitmapsAndClosesTheLink()
    {
        auto link = std::make_shared<RecordingLink>();
        connectStandalone(link);
        QVERIFY(!tp->isStateSelectorVisible());
        clickCentre(tp->hardKey(0));
        QCOMPARE(link->bitmaps.size(), 2);
        QVERIFY(bitSet(link->bitmaps[0], 6));
        QVERIFY(!bitSet(link->bitmaps[1], 6));

        tp->jogTimer()->setInterval(3600 * 1000);
        link->bitmaps.clear();
        holdSlider(1);
        tick();
        tick();
        letSliderGo();
        // Press; release and press; release.
        QCOMPARE(link->bitmaps.size(), 4);
        QVERIFY(bitSet(link->bitmaps[0], 31));
        QVERIFY(!bitSet(link->bitmaps[1], 31));
        QVERIFY(bitSet(link->bitmaps[2], 31));
        QVERIFY(!bitSet(link->bitmaps[3], 31));
        QCOMPARE(link->commands.first(), QStringLiteral("SetKeyState"));

        // Link messages: 256 beeps, 257 lights; a malformed LED value shows the error box.
        FakeLinkMessage beep(256, Variant(-1));
        emit link->OnMessage(beep, 0);
        QVERIFY(tp->beeperIcon()->isVisible());
        FakeLinkMessage led(257, Variant::array({1, 1}));
        emit link->OnMessage(led, 0);
        QVERIFY(tp->leds()->isLit(0));
        diag->clear();
        FakeLinkMessage bad(257, Variant("x"));
        emit link->OnMessage(bad, 0);
        QCOMPARE(diag->boxes.size(), 1);
        QVERIFY(diag->boxes[0].text.startsWith(QStringLiteral("[D]\r\n")));
        FakeLinkMessage display(259, Variant::array({1}));
        emit link->OnMessage(display, 0);
        QCOMPARE(diag->boxes.size(), 1); // ignored

        QVERIFY(tp->close());
        QCOMPARE(link->closes, 1);
        QVERIFY(!g_TPComm);
    }

    void missingKeyNamesAreReported()
    {
        // The first tick cannot find the switch key: written to the debugging output, and the
        // window is enabled all the same.
        controller = connectController(QStringLiteral("PendantType=-1"));
        QVERIFY(controller);
        tp = pendantOf<frmOldTP>(PendantKind::Old);
        auto table = std::make_shared<KeyTable>();
        table->Add(31, QStringLiteral("TP_KEY_JOG_DOWN"));
        table->Add(32, QStringLiteral("TP_KEY_JOG_UP"));
        g_TPKeyTable = table;
        emit tp->firstConnectionTimer()->Timer();
        QVERIFY(tp->isEnabled());
        QCOMPARE(diag->debugLines.size(), 1);
        QVERIFY(diag->debugLines[0].startsWith(QStringLiteral("Tarvisk err:Description : ")));
        QVERIFY(diag->debugLines[0].endsWith(QStringLiteral("\r\nNumber : 0x5")));
        QCOMPARE(drain(), QStringLiteral("0:1"));

        // A key or twin whose name is not in the table: the critical box, nothing sent.
        tp->show();
        QVERIFY(QTest::qWaitForWindowExposed(tp));
        clickCentre(tp->hardKey(7));
        tp->leavePress()->setChecked(true);
        clickCentre(tp->twin(7));
        QCOMPARE(diag->boxes.size(), 3); // press, release, twin
        for (const auto &box : std::as_const(diag->boxes))
            QVERIFY(box.text.startsWith(QStringLiteral("[5]\r\n")));
        QCOMPARE(drain(), QString());
        QVERIFY(tp->twin(7)->isEnabled());
        QVERIFY(tp->hardKey(7)->isEnabled());
    }

    void hostedRefusesTheClose()
    {
        connectHosted(QStringLiteral("PendantType=-1"));
        QVERIFY(!tp->close());
        QVERIFY(tp->isVisible());
    }
};

QTEST_MAIN(TestOldTP)
#include "test_oldtp.moc"
