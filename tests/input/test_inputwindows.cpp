// Every source on the real windows: the keyboard, the mouse's three buttons, touch points and
// latches, and the rules the path applies whoever pressed: one report per key, no stuck key.
#include "common/diagnostics.h"
#include "inputtest.h"
#include "pendant/frmminitp.h"
#include "pendant/frmoldtp.h"
#include "pendant/frmtp.h"
#include "pendant/pendants.h"
#include "provider/keytables.h"
#include "provider/provstate.h"
#include "widgets/buttonex.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

using namespace tarvisk;
using namespace tarvisk::inputtest;

namespace {

using Codes = QList<int>;

// Standard pendant key indices and their codes.
constexpr int kMotor = 0, kOk = 7, kPlusJ1 = 14, kShift = 24, kF1 = 25;

} // namespace

class TestInputWindows : public QObject
{
    Q_OBJECT

    std::shared_ptr<RecordingLink> link;
    std::shared_ptr<ProvController> controller;
    std::unique_ptr<ConfigHome> home;

    frmTP *standard() { return static_cast<frmTP *>(startStandalone(0, link)); }

    // The key states sent since the last call, each as its list of codes.
    QList<Codes> sent()
    {
        QList<Codes> out;
        for (const QByteArray &b : std::as_const(link->bitmaps))
            out << codesOf(b);
        link->bitmaps.clear();
        return out;
    }

    static void deactivate(QWidget *w)
    {
        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_VERIFY(!w->isActiveWindow());
        QEvent deactivated(QEvent::ActivationChange);
        QApplication::sendEvent(w, &deactivated);
    }

private slots:
    void init()
    {
        testing::startPendantProcess();
        home = std::make_unique<ConfigHome>();
        link = std::make_shared<RecordingLink>();
    }
    void cleanup()
    {
        testing::endHosted(controller);
        home.reset();
    }

    void keyboardChord_data()
    {
        QTest::addColumn<bool>("shiftFirst");
        QTest::newRow("SHIFT let go first") << true;
        QTest::newRow("F1 let go first") << false;
    }
    void keyboardChord()
    {
        QFETCH(bool, shiftFirst);
        frmTP *tp = standard();
        QVERIFY(tp);
        QSignalSpy reports(&tp->input(), &InputPath::keyReported);
        keyDown(tp, Qt::Key_Shift, Qt::ShiftModifier);
        keyDown(tp, Qt::Key_F1, Qt::ShiftModifier);
        QVERIFY(tp->keyButton(kShift)->CheckKeyDown());
        QVERIFY(tp->keyButton(kF1)->CheckKeyDown());
        if (shiftFirst) {
            keyUp(tp, Qt::Key_Shift);
            keyUp(tp, Qt::Key_F1);
            QCOMPARE(sent(), (QList<Codes>{{20}, {20, 21}, {21}, {}}));
        } else {
            keyUp(tp, Qt::Key_F1, Qt::ShiftModifier);
            keyUp(tp, Qt::Key_Shift);
            QCOMPARE(sent(), (QList<Codes>{{20}, {20, 21}, {20}, {}}));
        }
        QCOMPARE(reports.size(), 4);
        for (const QList<QVariant> &r : std::as_const(reports))
            QCOMPARE(r.at(3).value<InputSource>(), InputSource::Keyboard);
        QCOMPARE(reports.at(0).at(0).toString(), QStringLiteral("TP_KEY_SHIFT"));
        QVERIFY(!tp->keyButton(kShift)->CheckKeyDown());

        // With SHIFT held, "1" arrives as "!"; it is still the J1+ key, and so is its release.
        keyDown(tp, Qt::Key_Shift, Qt::ShiftModifier);
        keyDown(tp, Qt::Key_Exclam, Qt::ShiftModifier);
        keyUp(tp, Qt::Key_Shift);
        keyUp(tp, Qt::Key_1);
        QCOMPARE(sent(), (QList<Codes>{{20}, {20, 51}, {51}, {}}));
    }

    void autoRepeatIsNoInput()
    {
        frmTP *tp = standard();
        QVERIFY(tp);
        keyDown(tp, Qt::Key_F1);
        for (int i = 0; i < 3; ++i) {
            keyUp(tp, Qt::Key_F1, {}, true);
            keyDown(tp, Qt::Key_F1, {}, true);
        }
        QCOMPARE(sent(), QList<Codes>{{21}});
        QVERIFY(tp->keyButton(kF1)->CheckKeyDown());
        keyUp(tp, Qt::Key_F1);
        QCOMPARE(sent(), QList<Codes>{{}});
    }

    void mouseAndKeyboardOnOneKey_data()
    {
        QTest::addColumn<bool>("mouseLetsGoFirst");
        QTest::newRow("mouse let go first") << true;
        QTest::newRow("keyboard let go first") << false;
    }
    void mouseAndKeyboardOnOneKey()
    {
        QFETCH(bool, mouseLetsGoFirst);
        frmTP *tp = standard();
        QVERIFY(tp);
        QWidget *ok = tp->hardKey(kOk);
        QSignalSpy reports(&tp->input(), &InputPath::keyReported);
        QTest::mousePress(ok, Qt::LeftButton, {}, ok->rect().center());
        keyDown(tp, Qt::Key_Return);
        QCOMPARE(tp->input().holdersOf(QStringLiteral("TP_KEY_OK")).size(), 2);
        if (mouseLetsGoFirst)
            QTest::mouseRelease(ok, Qt::LeftButton, {}, ok->rect().center());
        else
            keyUp(tp, Qt::Key_Return);
        // Still held by the other: no report, and the key still looks pressed.
        QCOMPARE(sent(), QList<Codes>{{14}});
        QVERIFY(tp->keyButton(kOk)->CheckKeyDown());
        if (mouseLetsGoFirst)
            keyUp(tp, Qt::Key_Return);
        else
            QTest::mouseRelease(ok, Qt::LeftButton, {}, ok->rect().center());
        QCOMPARE(sent(), QList<Codes>{{}});
        QVERIFY(!tp->keyButton(kOk)->CheckKeyDown());
        QCOMPARE(reports.size(), 2);
        QCOMPARE(reports.at(1).at(3).value<InputSource>(),
                 mouseLetsGoFirst ? InputSource::Keyboard : InputSource::Mouse);
    }

    void keyboardHoldsAreLetGoOnDeactivation()
    {
        frmTP *tp = standard();
        QVERIFY(tp);
        keyDown(tp, Qt::Key_Return);
        QCOMPARE(sent(), QList<Codes>{{14}});
        deactivate(tp);
        QCOMPARE(sent(), QList<Codes>{{}});
        keyUp(tp, Qt::Key_Return); // the late release reports nothing
        QVERIFY(sent().isEmpty());
    }

    // Before the first tick the keys and the enabling switch take nothing, whatever the source.
    void keysWaitForTheFirstTick_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("standard") << 0;
        QTest::newRow("mini") << 1;
        QTest::newRow("old") << -1;
    }
    void keysWaitForTheFirstTick()
    {
        QFETCH(int, type);
        g_Standalone = true;
        g_TPComm = link;
        ShowPendant(type, 0, false, false);
        auto *w = static_cast<PendantWindowBase *>(existingPendantWindow(pendantKindForType(type))->widget());
        QVERIFY(QTest::qWaitForWindowExposed(w));
        keyDown(w, Qt::Key_Return);
        keyDown(w, Qt::Key_Space);
        QTest::mousePress(w, Qt::RightButton, {}, QPoint(3, 200));
        const QPoint lamp = centreIn(w->enablingSwitch());
        QTest::touchEvent(w, touchScreen()).press(3, lamp, w);
        QTest::touchEvent(w, touchScreen()).release(3, lamp, w);
        QVERIFY(sent().isEmpty());
        QTest::mouseRelease(w, Qt::RightButton, {}, QPoint(3, 200));
        keyUp(w, Qt::Key_Space);
        keyUp(w, Qt::Key_Return);
        emit w->firstConnectionTimer()->Timer();
        keyDown(w, Qt::Key_Return);
        QCOMPARE(sent(), QList<Codes>{{14}});
    }

    void hostedWindowsTakeNoKeyboard()
    {
        QWidget *w = startHosted(0, controller);
        QVERIFY(w);
        keyDown(w, Qt::Key_Return);
        keyDown(w, Qt::Key_F12);
        keyUp(w, Qt::Key_Return);
        QCOMPARE(drain(*controller), QStringList());
        QVERIFY(static_cast<PendantWindowBase *>(w)->input().keymap().bindings().isEmpty());
        QVERIFY(!static_cast<PendantWindowBase *>(w)->input().showsBindings());
    }

    void keyboardWorksSwitchAndJog()
    {
        frmTP *tp = standard();
        QVERIFY(tp);
        keyDown(tp, Qt::Key_F11); // TEACH
        keyUp(tp, Qt::Key_F11);
        QCOMPARE(sent(), QList<Codes>{{5}});
        // One step of the dial per key press; the jog key stays held as after a drag.
        const float before = tp->jogDial()->currentAngle();
        keyDown(tp, Qt::Key_PageUp);
        keyUp(tp, Qt::Key_PageUp);
        QCOMPARE(sent(), (QList<Codes>{{5, 32}}));
        QVERIFY(tp->jogDial()->currentAngle() != before);
        keyDown(tp, Qt::Key_PageDown);
        QCOMPARE(sent(), (QList<Codes>{{5}, {5, 31}}));
    }

    void keyboardHoldsTheOldPendantsSlider()
    {
        CapturingDiagnostics diag; // the old pendant writes each key press
        auto *old = static_cast<frmOldTP *>(startStandalone(-1, link));
        QVERIFY(old);
        old->jogTimer()->setInterval(3600 * 1000); // only the ticks the test gives count
        keyDown(old, Qt::Key_PageDown);
        QCOMPARE(old->jogSlider()->value(), 1);
        QVERIFY(old->jogTimer()->isEnabled());
        emit old->jogTimer()->Timer();
        emit old->jogTimer()->Timer();
        QCOMPARE(sent(), (QList<Codes>{{31}, {}, {31}}));
        keyUp(old, Qt::Key_PageDown);
        QCOMPARE(old->jogSlider()->value(), 0);
        QCOMPARE(sent(), QList<Codes>{{}});
    }

    void badMapLineIsReportedAndTheRestApplies()
    {
        home->writeKeymap("[standard]\nTP_KEY_OK = K\nTP_KEY_CANCEL = Ctrl\n");
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("Tarvisk/keymap\\.ini:3: Ctrl cannot be bound.*; the "
                                                               "line is ignored$")));
        frmTP *tp = standard();
        QVERIFY(tp);
        keyDown(tp, Qt::Key_K);
        keyUp(tp, Qt::Key_K);
        keyDown(tp, Qt::Key_Return); // OK's default key went to K
        keyDown(tp, Qt::Key_Escape); // CANCEL's bad line left its default
        QCOMPARE(sent(), (QList<Codes>{{14}, {}, {15}}));
    }

    void rightButtonOnTheBodyHoldsTheEnablingSwitch_data()
    {
        QTest::addColumn<QString>("place");
        QTest::newRow("window") << QString();
        QTest::newRow("label") << QStringLiteral("lblMoveBtn2");
    }
    void rightButtonOnTheBodyHoldsTheEnablingSwitch()
    {
        QFETCH(QString, place);
        frmTP *tp = standard();
        QVERIFY(tp);
        const QPoint body = place.isEmpty() ? QPoint(3, 200) : centreIn(tp->findChild<QWidget *>(place));
        QCOMPARE(tp->input().controlOf(tp->childAt(body)), -1);
        QCOMPARE(QColor(tp->enablingSwitch()->grab().toImage().pixel(4, 14)), QColor(70, 70, 70));
        QTest::mousePress(tp, Qt::RightButton, {}, body);
        QCOMPARE(sent(), QList<Codes>{{48}});
        QCOMPARE(QColor(tp->enablingSwitch()->grab().toImage().pixel(4, 14)), QColor(40, 200, 60));
        // The left button meanwhile works a key: J1+ with the enabling switch.
        const QPoint plusJ1 = centreIn(tp->hardKey(kPlusJ1));
        QTest::mousePress(tp, Qt::LeftButton, {}, plusJ1);
        QCOMPARE(sent(), (QList<Codes>{{48, 51}}));
        QTest::mouseRelease(tp, Qt::LeftButton, {}, plusJ1);
        QTest::mouseRelease(tp, Qt::RightButton, {}, body);
        QCOMPARE(sent(), (QList<Codes>{{48}, {}}));
        // The other way round: the key first, then the right button with the pointer on the body.
        QTest::mousePress(tp, Qt::LeftButton, {}, plusJ1);
        QTest::mousePress(tp, Qt::RightButton, {}, body);
        QTest::mouseRelease(tp, Qt::RightButton, {}, body);
        QTest::mouseRelease(tp, Qt::LeftButton, {}, body);
        QCOMPARE(sent(), (QList<Codes>{{51}, {48, 51}, {51}, {}}));
        // On a key the right button does nothing.
        QTest::mouseClick(tp->hardKey(kOk), Qt::RightButton);
        QVERIFY(sent().isEmpty());
    }

    void touchHoldsTwoKeys()
    {
        frmTP *tp = standard();
        QVERIFY(tp);
        QSignalSpy reports(&tp->input(), &InputPath::keyReported);
        const QPoint plusJ1 = centreIn(tp->hardKey(kPlusJ1));
        const QPoint lamp = centreIn(tp->enablingSwitch());
        QTest::touchEvent(tp, touchScreen()).press(0, plusJ1, tp).press(1, lamp, tp);
        const QList<Codes> both = sent(); // one state per finger, in the order Qt lists them
        QCOMPARE(both.size(), 2);
        QCOMPARE(both.last(), (Codes{48, 51}));
        QVERIFY(tp->keyButton(kPlusJ1)->CheckKeyDown());
        // A mouse press made up from a finger that already holds a key is not counted again.
        QWidget *key = tp->hardKey(kPlusJ1);
        QMouseEvent synthetic(QEvent::MouseButtonPress, key->rect().center(), key->mapToGlobal(key->rect().center()),
                              Qt::LeftButton, Qt::LeftButton, {}, touchScreen());
        QApplication::sendEvent(key, &synthetic);
        QTest::touchEvent(tp, touchScreen()).stationary(1).release(0, plusJ1, tp);
        QCOMPARE(sent(), QList<Codes>{{48}});
        QTest::touchEvent(tp, touchScreen()).release(1, lamp, tp);
        QCOMPARE(sent(), QList<Codes>{{}});
        QCOMPARE(reports.size(), 4);
        for (const QList<QVariant> &r : std::as_const(reports))
            QCOMPARE(r.at(3).value<InputSource>(), InputSource::Touch);
    }

    void cancelledTouchLetsGo()
    {
        frmTP *tp = standard();
        QVERIFY(tp);
        QTest::touchEvent(tp, touchScreen())
            .press(0, centreIn(tp->hardKey(kMotor)), tp)
            .press(1, centreIn(tp->hardKey(kOk)), tp);
        QCOMPARE(sent().last(), (Codes{6, 14}));
        QTouchEvent cancel(QEvent::TouchCancel, touchScreen());
        QApplication::sendEvent(tp, &cancel);
        QCOMPARE(sent().last(), Codes{});
        QVERIFY(!tp->input().isHeld(QStringLiteral("TP_KEY_MOTOR")));
        QVERIFY(!tp->keyButton(kOk)->CheckKeyDown());
    }

    void latchedKeyStaysUntilClickedAgain()
    {
        frmTP *tp = standard();
        QVERIFY(tp);
        QWidget *ok = tp->hardKey(kOk);
        const QRect okRect(ok->mapTo(tp, QPoint(0, 0)), ok->size());
        QTest::mousePress(ok, Qt::LeftButton);
        const QImage pressed = tp->grab(okRect).toImage();
        QTest::mouseRelease(ok, Qt::LeftButton);
        sent();

        QTest::mouseClick(ok, Qt::MiddleButton);
        QCOMPARE(sent(), QList<Codes>{{14}});
        QVERIFY(tp->input().isLatched(QStringLiteral("TP_KEY_OK")));
        // Drawn so it can be told from a pressed key: the amber corner.
        const QImage latched = tp->grab(okRect).toImage();
        QVERIFY(latched != pressed);
        QCOMPARE(QColor(latched.pixel(2, 2)), QColor(255, 160, 0));
        QVERIFY(QColor(pressed.pixel(2, 2)) != QColor(255, 160, 0));
        // A left click meanwhile reports nothing: the key is held already and stays held.
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(sent().isEmpty());
        QTest::mouseClick(ok, Qt::MiddleButton);
        QCOMPARE(sent(), QList<Codes>{{}});
        QVERIFY(!tp->keyButton(kOk)->CheckKeyDown());
    }

    void latchOutlivesDeactivationButNotHiding()
    {
        frmTP *tp = standard();
        QVERIFY(tp);
        QTest::mouseClick(tp->hardKey(kShift), Qt::MiddleButton);
        keyDown(tp, Qt::Key_Return, Qt::ControlModifier); // Ctrl with a key latches it too
        QCOMPARE(sent(), (QList<Codes>{{20}, {14, 20}}));
        deactivate(tp);
        QVERIFY(sent().isEmpty());
        tp->hide();
        QCOMPARE(sent(), (QList<Codes>{{14}, {}}));
        QVERIFY(!tp->input().isLatched(QStringLiteral("TP_KEY_SHIFT")));
        tp->show();
        QVERIFY(!tp->keyButton(kShift)->CheckKeyDown());
    }

    void oldPendantLatchIsItsTwin()
    {
        CapturingDiagnostics diag;
        auto *old = static_cast<frmOldTP *>(startStandalone(-1, link));
        QVERIFY(old);
        QTest::mouseClick(old->hardKey(kOk), Qt::MiddleButton);
        QCOMPARE(sent(), QList<Codes>{{14}});
        QVERIFY(old->twin(kOk)->isChecked());
        QVERIFY(!old->hardKey(kOk)->isEnabled());
        // Ctrl shows the twins; Ctrl with the bound key lets the latch go, as a click on the twin.
        keyDown(old, Qt::Key_Control, Qt::ControlModifier);
        QVERIFY(old->isLatchViewShown());
        keyDown(old, Qt::Key_Return, Qt::ControlModifier);
        keyUp(old, Qt::Key_Return, Qt::ControlModifier);
        keyUp(old, Qt::Key_Control);
        QCOMPARE(sent(), QList<Codes>{{}});
        QVERIFY(!old->twin(kOk)->isChecked());
        QVERIFY(old->hardKey(kOk)->isEnabled());
        // The window still writes every key press.
        QCOMPARE(diag.debugLines, QStringList({"Form_KeyDown 17", "Form_KeyDown 13"}));
    }

    void latchViewKeepsTheEnablingSwitch_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("mini") << 1;
        QTest::newRow("old") << -1;
    }
    void latchViewKeepsTheEnablingSwitch()
    {
        // Two hands: the enabling switch held on Space and by the right button on the body, then
        // Ctrl (held long enough to repeat) and Ctrl+Return latch OK. Only the keys the latch view
        // hides are let go; the switch stays held throughout.
        QFETCH(int, type);
        PendantWindowBase *w = startStandalone(type, link);
        QVERIFY(w);
        keyDown(w, Qt::Key_Space);
        QTest::mousePress(w, Qt::RightButton, {}, QPoint(3, w->height() - 3));
        QCOMPARE(sent(), QList<Codes>{{48}});
        keyDown(w, Qt::Key_Control, Qt::ControlModifier);
        keyDown(w, Qt::Key_Control, Qt::ControlModifier, true);
        keyDown(w, Qt::Key_Return, Qt::ControlModifier);
        keyUp(w, Qt::Key_Return, Qt::ControlModifier);
        keyUp(w, Qt::Key_Control);
        QCOMPARE(sent(), (QList<Codes>{{14, 48}}));
        QVERIFY(w->input().isHeld(QStringLiteral("TP_KEY_DEAD")) || w->input().isHeld(QStringLiteral("MP_KEY_DEAD")));
        keyUp(w, Qt::Key_Space);
        QVERIFY(sent().isEmpty()); // the right button still holds it
        QTest::mouseRelease(w, Qt::RightButton, {}, QPoint(3, w->height() - 3));
        QCOMPARE(sent(), (QList<Codes>{{14}}));
    }

    void latchViewLetsGoOfTheKeysItHides()
    {
        auto *old = static_cast<frmOldTP *>(startStandalone(-1, link));
        QVERIFY(old);
        keyDown(old, Qt::Key_Return);
        QCOMPARE(sent(), QList<Codes>{{14}});
        keyDown(old, Qt::Key_Control, Qt::ControlModifier);
        QCOMPARE(sent(), QList<Codes>{{}});
        keyUp(old, Qt::Key_Control);
        keyUp(old, Qt::Key_Return);
        QVERIFY(sent().isEmpty());
    }

    void releaseAfterAWayOutCompletesNothing()
    {
        // A press on a key, the window deactivated (every hand lets go), then the button let go
        // over the first mode-switch area: no mode is chosen and nothing is sent.
        frmTP *tp = standard();
        QVERIFY(tp);
        QTest::mousePress(tp->hardKey(kOk), Qt::LeftButton);
        QCOMPARE(sent(), QList<Codes>{{14}});
        deactivate(tp);
        QCOMPARE(sent(), QList<Codes>{{}});
        QTest::mouseRelease(tp->switchArea(0), Qt::LeftButton);
        QVERIFY(sent().isEmpty());
    }

    void miniPendantHasTheEnablingSwitch()
    {
        auto *mini = static_cast<frmMiniTP *>(startStandalone(1, link));
        QVERIFY(mini);
        keyDown(mini, Qt::Key_Space);
        keyDown(mini, Qt::Key_6); // the key with "6" on it: J1+ (20 in the mini table)
        QCOMPARE(sent(), (QList<Codes>{{48}, {20, 48}}));
        QVERIFY(mini->hardKey(13)->isDown());
        keyUp(mini, Qt::Key_6);
        keyUp(mini, Qt::Key_Space);
        QCOMPARE(sent(), (QList<Codes>{{48}, {}}));
    }

    void hostedLatchIsLetGoWhenDisconnected()
    {
        auto *tp = static_cast<frmTP *>(startHosted(0, controller));
        QVERIFY(tp);
        QTest::mouseClick(tp->hardKey(kOk), Qt::MiddleButton);
        QTest::mousePress(tp, Qt::RightButton, {}, QPoint(3, 200));
        QCOMPARE(drain(*controller), QStringList({"1:14", "1:48"}));
        tp->stateSelector()->setCurrentIndex(0);
        emit tp->stateSelector()->activated(0);
        QCOMPARE(drain(*controller), QStringList({"2:14", "3:14", "2:48", "3:48", "0:0"}));
        QTest::mouseRelease(tp, Qt::RightButton, {}, QPoint(3, 200));
        QCOMPARE(drain(*controller), QStringList());
        QVERIFY(!tp->input().isLatched(QStringLiteral("TP_KEY_OK")));
    }

    void bindingsAreDrawnOnTheKeys()
    {
        frmTP *tp = standard();
        QVERIFY(tp);
        QWidget *ok = tp->hardKey(kOk);
        const QRect okRect(ok->mapTo(tp, QPoint(0, 0)), ok->size());
        const QImage plain = tp->grab().toImage();
        keyDown(tp, Qt::Key_F12);
        keyUp(tp, Qt::Key_F12);
        QVERIFY(tp->input().showsBindings());
        const QImage drawn = tp->grab().toImage();
        QVERIFY(drawn.copy(okRect) != plain.copy(okRect));
        // The tag sits in the key's lower right corner, on the dark tag face.
        const QColor tag = drawn.pixelColor(okRect.right() - 2, okRect.bottom() - 2);
        QVERIFY2(tag.value() < 80, qPrintable(tag.name()));
        keyDown(tp, Qt::Key_F12);
        QVERIFY(!tp->input().showsBindings());
        QCOMPARE(tp->grab().toImage(), plain);
        QVERIFY(sent().isEmpty());
    }
};

QObject *makeInputWindowsTest()
{
    return new TestInputWindows;
}

#include "test_inputwindows.moc"
