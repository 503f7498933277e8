// The mini pendant window driven through real widget events, the controller's commands and
// a fake pendant link.
#include "common/diagnostics.h"
#include "common/twips.h"
#include "link/pendantlink.h"
#include "pendant/frmminitp.h"
#include "pendant/paintbox.h"
#include "pendant/pendants.h"
#include "provider/keytables.h"
#include "provider/provcontroller.h"
#include "provider/provstate.h"
#include "support/displaytest.h"
#include "support/hostqueue.h"
#include "support/keybits.h"
#include "support/pendantprocess.h"
#include "support/recordinglink.h"
#include "support/widgetprobe.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QPushButton>
#include <QtTest/qtestspontaneevent.h>
#include <QtTest>

using namespace tarvisk;
using namespace tarvisk::testing;
using displaytest::cmd;

namespace {

constexpr int kOK = 6;      // index of the OK key
constexpr int kOKCode = 14; // its code in the mini pendant table

// Fills the display with black: a solid black box over the whole surface.
Variant blackScreen()
{
    return Variant::array({cmd(0x11, Variant(0)), cmd(0x10, Variant(0)),
                           cmd(0x31, Variant::array({Variant(0), Variant(0), Variant(126), Variant(62)}))});
}

using Msg = QueuedMessage;

} // namespace

class TestFrmMiniTP : public QObject
{
    Q_OBJECT

private:
    std::shared_ptr<ProvController> m_controller;
    std::unique_ptr<CapturingDiagnostics> m_diag;

    enum class Tick { Run, Wait };

    // A hosted connection to the mini pendant, shown, its first tick run unless asked to wait.
    frmMiniTP *connectHosted(const QString &extra = {}, Tick tick = Tick::Run)
    {
        m_controller = connectController(QStringLiteral("PendantType=1") + extra);
        if (!m_controller)
            return nullptr;
        auto *w = pendantOf<frmMiniTP>(PendantKind::Mini);
        if (!showHosted(*m_controller, w))
            return nullptr;
        if (tick == Tick::Run)
            emit w->firstConnectionTimer()->Timer();
        return w;
    }

    int32_t execute(const QString &command, const Variant &parameter, Variant *result = nullptr)
    {
        Variant r;
        const int32_t status = m_controller->FinalExecute(command, parameter, r);
        if (result)
            *result = r;
        return status;
    }

private slots:
    void init()
    {
        startPendantProcess();
        m_diag = std::make_unique<CapturingDiagnostics>();
    }

    void cleanup()
    {
        endHosted(m_controller);
        m_diag.reset();
    }

    void layoutFollowsTheTables()
    {
        frmMiniTP *w = connectHosted();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Halvex Mini Pendant"));
        QCOMPARE(w->size(), QSize(280, 632));

        // Keys are placed in their groups but laid out in window twips.
        QCOMPARE(rectInWindow(w->hardKey(kOK)), twipsRect(3090, 4500, 915, 690));
        QCOMPARE(rectInWindow(w->hardKey(4)), twipsRect(2100, 4020, 1905, 390));
        QCOMPARE(rectInWindow(w->hardKey(12)), twipsRect(2130, 8445, 765, 510));
        QCOMPARE(rectInWindow(w->hardKey(21)), twipsRect(630, 8970, 915, 390));
        QCOMPARE(rectInWindow(w->hardKey(32)), twipsRect(1110, 6900, 915, 690));
        QCOMPARE(w->hardKey(kOK)->parentWidget(), w->groupBox(frmMiniTP::fraStop));
        QCOMPARE(w->hardKey(24)->parentWidget(), w->groupBox(frmMiniTP::fraShift));
        QCOMPARE(rectInWindow(w->groupBox(frmMiniTP::fraManual)), twipsRect(2100, 5385, 2025, 3975));
        // STOP reaches over fraShift; its whole face takes the mouse.
        const QPoint stopLeft = w->hardKey(4)->mapTo(w, QPoint(2, 10));
        QCOMPARE(w->childAt(stopLeft), w->hardKey(4));

        QCOMPARE(w->hardKey(27)->text(), QStringLiteral("SteoBack\n\n[Var]"));
        QCOMPARE(w->hardKey(25)->text(), QStringLiteral("Pro\n\n[Reset]"));
        QCOMPARE(w->hardKey(24)->text(), QStringLiteral("IN\nEXT"));
        QCOMPARE(w->hardKey(31)->text(), QStringLiteral("HALT\nCOM"));
        QCOMPARE(w->hardKey(16)->text(), QStringLiteral("+\n9\nWXYZ"));
        QCOMPARE(w->keyName(28), QStringLiteral("MP_KEY_STEPFWD"));
        for (int i = 0; i < frmMiniTP::kKeyCount; ++i)
            QVERIFY2(g_MPKeyTable->contains(w->keyName(i)), qPrintable(w->keyName(i)));

        QCOMPARE(w->hardKey(4)->palette().color(QPalette::Button), QColor(255, 255, 192));
        QCOMPARE(w->hardKey(kOK)->palette().color(QPalette::Button), QColor(192, 255, 192));
        QCOMPARE(w->hardKey(29)->palette().color(QPalette::Button), QColor(224, 224, 224));
        QVERIFY(w->hardKey(7)->font().bold());
        QVERIFY(w->hardKey(17)->font().bold());
        QVERIFY(!w->hardKey(18)->font().bold());
        QVERIFY(!w->hardKey(0)->font().bold());

        QCOMPARE(w->jointLabel(3)->text(), QStringLiteral("J4"));
        QCOMPARE(rectInWindow(w->jointLabel(3)), twipsRect(2100 + 780, 5385 + 1980, 315, 195));
        QCOMPARE(rectInWindow(w->ledView(0)), twipsRect(2310, 60, 135, 345));
        QCOMPARE(rectInWindow(w->ledView(2)), twipsRect(150, 3450 + 90, 135, 345));
        QCOMPARE(rectInWindow(w->displayBox()), MiniDisplay::outerRect());
        QCOMPARE(w->stateSelector()->count(), 4);
        QCOMPARE(rectInWindow(w->stateSelector()).topLeft(), twipsRect(2130, 9045, 1, 1).topLeft());
        QVERIFY(w->beeperIcon()->isHidden());
        QVERIFY(w->switchArea(0)->property("Tag") == QStringLiteral("MP_KEY_AUTO"));
        QCOMPARE(rectInWindow(w->switchArea(2)), twipsRect(990, 0, 495, 1215));
    }

    void ctrlShowsTheTwinsInsteadOfTheKeys()
    {
        frmMiniTP *w = connectHosted();
        QVERIFY(w);
        QTest::keyPress(w, Qt::Key_Control);
        QVERIFY(w->isLatchViewShown());
        for (int i = 0; i < frmMiniTP::kKeyCount; ++i) {
            QCheckBox *twin = w->hardKeyTwin(i);
            QVERIFY(w->hardKey(i)->isHidden());
            QVERIFY(!twin->isHidden());
            // The twin carries the caption as stored ("/" where the key breaks the line).
            const QString key = w->hardKey(i)->text();
            QCOMPARE(twin->text(), i == 31 ? key : QString(key).replace(u'\n', u'/'));
            QCOMPARE(twin->property("Tag"), w->hardKey(i)->property("Tag"));
            QCOMPARE(rectInWindow(twin).topLeft(), rectInWindow(w->hardKey(i)).topLeft());
            QCOMPARE(twin->size(), twipsRect(0, 0, 795, 300).size());
        }
        QTest::keyRelease(w, Qt::Key_Control);
        QVERIFY(!w->isLatchViewShown());
        for (int i = 0; i < frmMiniTP::kKeyCount; ++i) {
            QVERIFY(!w->hardKey(i)->isHidden());
            QVERIFY(w->hardKeyTwin(i)->isHidden());
        }
        // Other keys leave the view alone.
        QTest::keyClick(w, Qt::Key_A);
        QVERIFY(!w->isLatchViewShown());
    }

    void losingActivationEndsTheLatchView()
    {
        auto &window = static_cast<frmMiniTP &>(pendantWindow(PendantKind::Mini));
        window.Load();
        emit window.firstConnectionTimer()->Timer();
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyPress(&window, Qt::Key_Control);
        QVERIFY(window.isLatchViewShown());

        QWidget other;
        other.resize(50, 50);
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QTRY_VERIFY(!window.isLatchViewShown());
        QVERIFY(!window.hardKey(0)->isHidden());
        QVERIFY(window.hardKeyTwin(0)->isHidden());
    }

    // The twins latch as the old pendant's do: a checked twin holds its key, and locks the push
    // key, until it is clicked again; the latch outlives the latch view.
    void twinsLatch()
    {
        frmMiniTP *w = connectHosted();
        QVERIFY(w);
        drainQueue(*m_controller);
        QTest::keyPress(w, Qt::Key_Control);
        QCheckBox *twin = w->hardKeyTwin(kOK);
        QTest::mouseClick(twin, Qt::LeftButton);
        QVERIFY(twin->isChecked());
        QTest::keyRelease(w, Qt::Key_Control);
        QList<Msg> msgs = drainQueue(*m_controller);
        QCOMPARE(msgs.size(), 1);
        QCOMPARE(msgs[0].number, 1);
        QCOMPARE(msgs[0].value.toLong(), kOKCode);
        QVERIFY(w->keys().model().isHeld(kOKCode));
        QVERIFY(!w->hardKey(kOK)->isEnabled());
        QVERIFY(w->input().isLatched(QStringLiteral("MP_KEY_OK")));

        QTest::keyPress(w, Qt::Key_Control);
        QTest::mouseClick(twin, Qt::LeftButton);
        QTest::keyRelease(w, Qt::Key_Control);
        QVERIFY(!twin->isChecked());
        msgs = drainQueue(*m_controller);
        QCOMPARE(msgs.size(), 2);
        QCOMPARE(msgs[0].number, 2);
        QCOMPARE(msgs[1].number, 3);
        QVERIFY(w->keys().model().heldKeys().isEmpty());
        QVERIFY(w->hardKey(kOK)->isEnabled());
        QVERIFY(!w->input().isLatched(QStringLiteral("MP_KEY_OK")));
    }

    void okReportsPressAndRelease_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<bool>("maskCleared");
        QTest::addColumn<QStringList>("expected"); // number:destination, in queue order
        QTest::newRow("general only") << QString() << false << QStringList{"1:", "2:", "3:"};
        QTest::newRow("addressed copies") << QStringLiteral(", StateDestination=Dest") << false
                                          << QStringList{"1:Dest", "1:", "2:Dest", "2:", "3:Dest", "3:"};
        QTest::newRow("mask cleared") << QStringLiteral(", StateDestination=Dest") << true
                                      << QStringList{"1:", "2:", "3:"};
    }

    void okReportsPressAndRelease()
    {
        QFETCH(QString, options);
        QFETCH(bool, maskCleared);
        QFETCH(QStringList, expected);
        frmMiniTP *w = connectHosted(options);
        QVERIFY(w);
        if (maskCleared)
            QCOMPARE(execute(QStringLiteral("setinproceventkey"), Variant(QByteArray(8, 0))), 0);
        drainQueue(*m_controller);

        QPushButton *ok = w->hardKey(kOK);
        QTest::mousePress(ok, Qt::LeftButton);
        QVERIFY(ok->isDown());
        QVERIFY(!w->hardKeyTwin(kOK)->isEnabled());
        QVERIFY(w->keys().model().isHeld(kOKCode));
        QCOMPARE(uint8_t(w->keys().model().bitmap()[1]), uint8_t(1u << (kOKCode % 8)));
        QTest::mouseRelease(ok, Qt::LeftButton);
        QVERIFY(w->hardKeyTwin(kOK)->isEnabled());
        QVERIFY(!w->keys().model().isHeld(kOKCode));

        QStringList got;
        for (const Msg &m : drainQueue(*m_controller)) {
            got << QStringLiteral("%1:%2").arg(m.number).arg(m.destination);
            QCOMPARE(m.value.toLong(), kOKCode);
        }
        QCOMPARE(got, expected);

        // Other buttons do nothing.
        QTest::mousePress(ok, Qt::RightButton);
        QTest::mouseRelease(ok, Qt::RightButton);
        QVERIFY(drainQueue(*m_controller).isEmpty());
        QVERIFY(m_diag->boxes.isEmpty());
    }

    void ctrlWhileAKeyIsHeldLetsTheKeyGo()
    {
        frmMiniTP *w = connectHosted();
        QVERIFY(w);
        drainQueue(*m_controller);
        QPushButton *ok = w->hardKey(kOK);
        QTest::mousePress(ok, Qt::LeftButton);
        drainQueue(*m_controller);
        // The latch view hides the pressed key, whose release would never come.
        QTest::keyPress(w, Qt::Key_Control);
        QStringList got;
        for (const Msg &m : drainQueue(*m_controller))
            got << QStringLiteral("%1:%2").arg(m.number).arg(m.value.toLong());
        QCOMPARE(got, (QStringList{QStringLiteral("2:14"), QStringLiteral("3:14")}));
        QVERIFY(!ok->isDown());
        QVERIFY(w->hardKeyTwin(kOK)->isEnabled());
        QTest::keyRelease(w, Qt::Key_Control);
        QTest::mouseRelease(ok, Qt::LeftButton);
        QVERIFY(drainQueue(*m_controller).isEmpty());
    }

    void keyMissingFromTheTableReportsAndSendsNothing()
    {
        frmMiniTP *w = connectHosted();
        QVERIFY(w);
        drainQueue(*m_controller);
        g_MPKeyTable = std::make_shared<KeyTable>();
        QTest::mousePress(w->hardKey(kOK), Qt::LeftButton);
        QTest::mouseRelease(w->hardKey(kOK), Qt::LeftButton);
        QVERIFY(drainQueue(*m_controller).isEmpty());
        QCOMPARE(m_diag->boxes.size(), 2);
        QVERIFY(m_diag->boxes[0].text.startsWith(QStringLiteral("[5]\r\n")));
        QCOMPARE(m_diag->boxes[0].icon, Diagnostics::Icon::Critical);
        QVERIFY(w->hardKeyTwin(kOK)->isEnabled());
    }

    void firstTickAnnouncesConnectAndAppliesTheMode()
    {
        frmMiniTP *w = connectHosted(QStringLiteral(", DefaultMode=2, Debug"), Tick::Wait);
        QVERIFY(w);
        QCOMPARE(w->firstConnectionTimer()->interval(), 1000);
        QVERIFY(w->firstConnectionTimer()->isEnabled());
        QVERIFY(!w->stateSelector()->isHidden());
        drainQueue(*m_controller);
        emit w->firstConnectionTimer()->Timer();
        QVERIFY(!w->firstConnectionTimer()->isEnabled());
        QVERIFY(w->isEnabled());
        QCOMPARE(w->keys().model().switchPosition(), int16_t(2));
        const QList<Msg> msgs = drainQueue(*m_controller);
        QCOMPARE(msgs.size(), 4);
        QCOMPARE(msgs[0].number, 0);
        QCOMPARE(msgs[0].value, Variant(int16_t(1))); // an Integer, not the selector's Long
        // TEACH: 2, 1, 3 with its key.
        for (int i = 1; i < 4; ++i)
            QCOMPARE(msgs[i].value.toLong(), 5);
        QCOMPARE(msgs[1].number, 2);
        QCOMPARE(msgs[2].number, 1);
        QCOMPARE(msgs[3].number, 3);

        // A click on the AUTO area moves the switch.
        QTest::mouseClick(w->switchArea(0), Qt::LeftButton);
        QCOMPARE(w->keys().model().switchPosition(), int16_t(0));
        QCOMPARE(uint8_t(w->keys().model().bitmap()[0]), uint8_t(1u << 3));
    }

    void keysWaitForTheFirstTick_data()
    {
        QTest::addColumn<bool>("standalone");
        QTest::newRow("hosted") << false;
        QTest::newRow("standalone") << true;
    }

    void keysWaitForTheFirstTick()
    {
        QFETCH(bool, standalone);
        auto link = std::make_shared<RecordingLink>();
        frmMiniTP *w = nullptr;
        if (standalone) {
            g_Standalone = true;
            g_TPComm = link;
            w = &static_cast<frmMiniTP &>(pendantWindow(PendantKind::Mini));
            w->Load();
            w->Connect(0);
            w->show();
        } else {
            w = connectHosted({}, Tick::Wait);
            drainQueue(*m_controller);
        }
        QVERIFY(w);
        QPushButton *ok = w->hardKey(kOK);
        const auto reported = [&] {
            return standalone ? !link->executed.isEmpty() : !drainQueue(*m_controller).isEmpty();
        };

        // Before the tick neither the mouse, the switch nor Ctrl does anything.
        QVERIFY(!w->isEnabled());
        QTest::mousePress(ok, Qt::LeftButton);
        QVERIFY(!w->keys().model().isHeld(kOKCode));
        QTest::mouseRelease(ok, Qt::LeftButton);
        QTest::mouseClick(w->switchArea(0), Qt::LeftButton);
        QCOMPARE(w->keys().model().switchPosition(), int16_t(-1));
        QTest::keyPress(w, Qt::Key_Control);
        QVERIFY(!w->isLatchViewShown());
        QTest::keyRelease(w, Qt::Key_Control);
        QVERIFY(!reported());

        // The tick enables the window; the same press is a press now.
        emit w->firstConnectionTimer()->Timer();
        QVERIFY(w->isEnabled());
        reported();
        link->clearExecuted();
        QTest::mousePress(ok, Qt::LeftButton);
        QVERIFY(w->keys().model().isHeld(kOKCode));
        QVERIFY(reported());
        QTest::mouseRelease(ok, Qt::LeftButton);
    }

    void setLedLightsOnlyLedsOneToThree()
    {
        frmMiniTP *w = connectHosted();
        QVERIFY(w);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(w->ledColor(i), frmMiniTP::kLedWhite);
        QCOMPARE(execute(QStringLiteral("led"), Variant::array({3, 1})), 0);
        QCOMPARE(w->ledColor(2), frmMiniTP::kLedGreen);
        QCOMPARE(w->ledColor(0), frmMiniTP::kLedWhite);
        const QImage shown = w->ledView(2)->grab().toImage();
        QCOMPARE(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(0, 255, 0));

        const Variant ignored[] = {
            Variant::array({4, 1}),     Variant::array({0, 1}), Variant(3), Variant::array({3}), Variant("3,0"),
            Variant::array({3, "off"}), Variant::array({2, 7}), Variant()};
        for (const Variant &v : ignored) {
            QCOMPARE(execute(QStringLiteral("led"), v), 0);
            QCOMPARE(w->ledColor(0), frmMiniTP::kLedWhite);
            QCOMPARE(w->ledColor(1), frmMiniTP::kLedWhite);
            QCOMPARE(w->ledColor(2), frmMiniTP::kLedGreen);
        }
        QVERIFY(m_diag->boxes.isEmpty());
        QVERIFY(m_diag->debugLines.isEmpty());
        QCOMPARE(execute(QStringLiteral("led"), Variant::array({3, 0})), 0);
        QCOMPARE(w->ledColor(2), frmMiniTP::kLedWhite);
    }

    void blinkTogglesFromThePresentColour()
    {
        frmMiniTP *w = connectHosted();
        QVERIFY(w);
        LedBank *leds = w->leds();
        QVERIFY(!leds->timer().isRunning());
        QCOMPARE(execute(QStringLiteral("led"), Variant::array({2, 1})), 0);
        QCOMPARE(execute(QStringLiteral("led"), Variant::array({1, 2})), 0);
        QCOMPARE(execute(QStringLiteral("led"), Variant::array({2, 2})), 0);
        QVERIFY(leds->timer().isRunning());
        QCOMPARE(leds->timer().interval(), 400);
        // Unchanged until the tick; then each flips from where it was.
        QCOMPARE(w->ledColor(0), frmMiniTP::kLedWhite);
        leds->tick();
        QCOMPARE(w->ledColor(0), frmMiniTP::kLedGreen);
        QCOMPARE(w->ledColor(1), frmMiniTP::kLedWhite);
        leds->tick();
        QCOMPARE(w->ledColor(0), frmMiniTP::kLedWhite);
        QCOMPARE(w->ledColor(1), frmMiniTP::kLedGreen);
        QCOMPARE(w->ledColor(2), frmMiniTP::kLedWhite);

        // The real timer drives it too.
        const unsigned before = w->ledColor(0);
        QTRY_VERIFY_WITH_TIMEOUT(w->ledColor(0) != before, 5000);

        QCOMPARE(execute(QStringLiteral("led"), Variant::array({1, 0})), 0);
        QCOMPARE(execute(QStringLiteral("led"), Variant::array({2, 0})), 0);
        leds->tick();
        QCOMPARE(w->ledColor(0), frmMiniTP::kLedWhite);
        QCOMPARE(w->ledColor(1), frmMiniTP::kLedWhite);
        QVERIFY(leds->timer().isRunning());
    }

    void beeperShowsForTheDuration()
    {
        frmMiniTP *w = connectHosted();
        QVERIFY(w);
        QWidget *icon = w->beeperIcon();
        QCOMPARE(execute(QStringLiteral("beep"), Variant(500)), 0);
        QVERIFY(!icon->isHidden());
        QCOMPARE(w->beeper()->timer().interval(), 500);
        QTRY_VERIFY_WITH_TIMEOUT(icon->isHidden(), 10000);
        QVERIFY(!w->beeper()->timer().isEnabled());

        QCOMPARE(execute(QStringLiteral("beep"), Variant(-1)), 0);
        QVERIFY(!icon->isHidden());
        QVERIFY(!w->beeper()->timer().isRunning());
        QTest::qWait(50);
        QVERIFY(!icon->isHidden());
        QCOMPARE(execute(QStringLiteral("beep"), Variant(0)), 0);
        QVERIFY(icon->isHidden());
        QCOMPARE(execute(QStringLiteral("beep"), Variant(500)), 0);
        QCOMPARE(execute(QStringLiteral("beep"), Variant(0)), 0);
        QVERIFY(icon->isHidden());
        QVERIFY(!w->beeper()->timer().isRunning());
        QCOMPARE(execute(QStringLiteral("beep"), Variant("loud")), int32_t(ErrTypeMismatch));
    }

    void firstGetKeyStateAnnouncesConnectOnce()
    {
        frmMiniTP *w = connectHosted(QStringLiteral(", StateDestination=Dest"));
        QVERIFY(w);
        drainQueue(*m_controller);
        QTest::mousePress(w->hardKey(kOK), Qt::LeftButton);
        drainQueue(*m_controller);
        Variant bits;
        QCOMPARE(execute(QStringLiteral("getkeystate"), Variant(), &bits), 0);
        QCOMPARE(bytesOf(bits).size(), 8);
        QCOMPARE(uint8_t(bytesOf(bits)[1]), uint8_t(1u << (kOKCode % 8)));
        QList<Msg> msgs = drainQueue(*m_controller);
        QCOMPARE(msgs.size(), 2); // addressed copy and general message
        for (const Msg &m : msgs) {
            QCOMPARE(m.number, 0);
            QCOMPARE(m.value, Variant(int16_t(1)));
        }
        QVERIFY(w->firstKeyStateRequested());
        QCOMPARE(execute(QStringLiteral("getkeystate"), Variant(), &bits), 0);
        QVERIFY(drainQueue(*m_controller).isEmpty());
        QTest::mouseRelease(w->hardKey(kOK), Qt::LeftButton);
    }

    void drawMiniTpReachesTheDisplay()
    {
        frmMiniTP *w = connectHosted();
        QVERIFY(w);
        const QImage before = w->display().image();
        QCOMPARE(before.pixel(10, 10), MiniDisplay::toRgb(MiniDisplay::BackColor));
        // "lcd" is accepted and draws nothing.
        QCOMPARE(execute(QStringLiteral("lcd"), blackScreen()), 0);
        QCOMPARE(w->display().image(), before);

        QCOMPARE(execute(QStringLiteral("drawminitp"), blackScreen()), 0);
        QVERIFY(w->display().image() != before);
        QCOMPARE(w->display().image().pixel(10, 10), qRgb(0, 0, 0));
        // What the window paints is the display's surface.
        const QImage painted = w->displayBox()->grab().toImage();
        QCOMPARE(painted.pixelColor(painted.width() / 2, painted.height() / 2), QColor(0, 0, 0));
        // A list that fails draws what came before and reports nothing.
        QCOMPARE(execute(QStringLiteral("drawminitp"), Variant("not a list")), 0);
        QVERIFY(m_diag->boxes.isEmpty());
    }

    void linkMessagesDispatch()
    {
        auto link = std::make_shared<RecordingLink>();
        g_Standalone = true;
        g_TPComm = link;
        auto &w = static_cast<frmMiniTP &>(pendantWindow(PendantKind::Mini));
        w.Load();
        w.Connect(0);
        w.show(); // as a standalone start shows it: a hidden window takes no key press
        QVERIFY(w.stateSelector()->isHidden());
        QCOMPARE(w.firstConnectionTimer()->interval(), 3000);
        emit w.firstConnectionTimer()->Timer(); // default mode 0: no switch, nothing sent
        const QImage blank = w.display().image();

        FakeLinkMessage lcd(258, blackScreen());
        link->raise(lcd);
        QCOMPARE(w.display().image(), blank);
        FakeLinkMessage draw(259, blackScreen());
        link->raise(draw);
        QCOMPARE(w.display().image().pixel(5, 5), qRgb(0, 0, 0));

        FakeLinkMessage led(257, Variant::array({3, 1}));
        link->raise(led);
        QCOMPARE(w.ledColor(2), frmMiniTP::kLedGreen);
        FakeLinkMessage beep(256, Variant(-1));
        link->raise(beep);
        QVERIFY(!w.beeperIcon()->isHidden());
        FakeLinkMessage ping(0, Variant(7));
        link->raise(ping);
        QCOMPARE(ping.replies.size(), 1);
        QVERIFY(ping.replies[0].isEmpty());
        FakeLinkMessage other(260, Variant(1));
        link->raise(other);
        QVERIFY(m_diag->boxes.isEmpty());

        FakeLinkMessage badBeep(256, Variant("loud"));
        link->raise(badBeep);
        QCOMPARE(m_diag->boxes.size(), 1);
        QVERIFY(m_diag->boxes[0].text.startsWith(QStringLiteral("[D]\r\n")));
        QCOMPARE(m_diag->boxes[0].icon, Diagnostics::Icon::Critical);

        // Standalone keys go to the link as the bitmap.
        QTest::mousePress(w.hardKey(kOK), Qt::LeftButton);
        QCOMPARE(link->executed.size(), 1);
        QCOMPARE(link->executed[0].first, QStringLiteral("SetKeyState"));
        QCOMPARE(uint8_t(bytesOf(link->executed[0].second)[1]), uint8_t(1u << (kOKCode % 8)));
        QTest::mouseRelease(w.hardKey(kOK), Qt::LeftButton);
        QCOMPARE(link->executed.size(), 2);
        QCOMPARE(bytesOf(link->executed[1].second), QByteArray(8, 0));
        // The first key-state request of a standalone window announces nothing.
        QCOMPARE(bytesOf(w.GetKeyState()), QByteArray(8, 0));

        // Closing in a standalone run goes through and leaves the link open.
        w.show();
        QVERIFY(w.close());
        QCOMPARE(link->closes, 0);
        QVERIFY(g_TPComm);
    }

    void hostedCloseFromTheCloseBoxIsRefused()
    {
        frmMiniTP *w = connectHosted();
        QVERIFY(w);
        QVERIFY(w->isVisible());
        QCloseEvent byUser;
        QSpontaneKeyEvent::setSpontaneous(&byUser);
        QApplication::sendEvent(w, &byUser);
        QVERIFY(!byUser.isAccepted());
        QVERIFY(w->isVisible());
        // The window manager's close takes the same road.
        QVERIFY(!w->windowHandle()->close());
        QVERIFY(w->isVisible());
        // An unload asked for by code goes through.
        w->Unload();
        QVERIFY(!w->isVisible());
    }
};

QTEST_MAIN(TestFrmMiniTP)
#include "tst_frmminitp.moc"
