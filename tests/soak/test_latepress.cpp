// A press that reaches a pendant's key after the key stopped taking input: the X server queued it
// while the client hid the window (found by the soak run: "hide" under a click held the key for
// good), or the key is disabled or hidden by the latch view. Such a press holds nothing, and a
// key pressed before still ends with its release.
#include "pendant/frmminitp.h"
#include "pendant/frmoldtp.h"
#include "pendant/frmtp.h"
#include "pendant/pendants.h"
#include "provider/provcontroller.h"
#include "provider/provmessage.h"
#include "provider/provstate.h"
#include "support/hostqueue.h"
#include "support/pendantprocess.h"
#include "support/widgetprobe.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>

using namespace tarvisk;
using namespace tarvisk::testing;

class TestLatePress : public QObject
{
    Q_OBJECT

    std::shared_ptr<ProvController> controller;

    // Number and value of each queued general message (the addressed copies left out).
    QStringList drain() { return messageTexts(generalMessages(drainQueue(*controller)), u" "); }

    IPendantWindow *connectHosted(int type, PendantKind kind)
    {
        controller = connectController(QStringLiteral("PendantType=%1, Debug=1").arg(type));
        if (!controller)
            return nullptr;
        IPendantWindow *w = existingPendantWindow(kind);
        if (!showHosted(*controller, w))
            return nullptr;
        emit static_cast<PendantWindowBase *>(w->widget())->firstConnectionTimer()->Timer();
        drain();
        return w;
    }

    QByteArray keyState()
    {
        Variant state;
        controller->FinalExecute(QStringLiteral("getkeystate"), Variant(), state);
        return state.bytes() ? *state.bytes() : QByteArray();
    }

    void hide()
    {
        Variant r;
        QCOMPARE(controller->FinalExecute(QStringLiteral("hide"), Variant(), r), 0);
    }

    // Press and release on a control, after `before` ran.
    void click(QWidget *key, const std::function<void()> &before = {})
    {
        if (before)
            before();
        clickCentre(key);
    }

private slots:
    void init() { startPendantProcess(); }
    void cleanup() { endHosted(controller); }

    void afterHide_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("standard") << 0;
        QTest::newRow("mini") << 1;
        QTest::newRow("old") << -1;
    }
    void afterHide()
    {
        QFETCH(int, type);
        const PendantKind kind = pendantKindForType(type);
        IPendantWindow *w = connectHosted(type, kind);
        QVERIFY(w);
        QWidget *key = nullptr;
        if (kind == PendantKind::Standard)
            key = static_cast<frmTP *>(w->widget())->hardKey(7);
        else if (kind == PendantKind::Mini)
            key = static_cast<frmMiniTP *>(w->widget())->hardKey(6);
        else
            key = static_cast<frmOldTP *>(w->widget())->hardKey(7);
        const QByteArray idle = keyState();
        drain(); // the mini pendant's first key-state request announces "CONNECT"

        // Shown, the key reports its click.
        click(key);
        QCOMPARE(drain().size(), 3);

        // Hidden by the client, a press queued before arrives afterwards: nothing is held.
        click(key, [this] { hide(); });
        QCOMPARE(drain(), QStringList());
        QCOMPARE(keyState(), idle);

        // A key held when the window is hidden is let go once, and its late release adds nothing.
        Variant r;
        QCOMPARE(controller->FinalExecute(QStringLiteral("show"), Variant(), r), 0);
        QVERIFY(QTest::qWaitForWindowExposed(w->widget()));
        QTest::mousePress(key, Qt::LeftButton, {}, key->rect().center());
        hide();
        QTest::mouseRelease(key, Qt::LeftButton, {}, key->rect().center());
        QCOMPARE(drain().size(), 3);
        QCOMPARE(keyState(), idle);
    }

    void onDisabledOrLatchedKeys()
    {
        IPendantWindow *w = connectHosted(1, PendantKind::Mini);
        QVERIFY(w);
        auto *mini = static_cast<frmMiniTP *>(w->widget());
        const QByteArray idle = keyState();
        drain(); // the mini pendant's first key-state request announces "CONNECT"

        // "DISCONNECT" in the state selector disables every control: a click reports nothing.
        QComboBox *states = mini->stateSelector();
        states->setCurrentIndex(0);
        emit states->activated(0);
        QCOMPARE(drain(), QStringList({QStringLiteral("0 0")}));
        QVERIFY(!mini->hardKey(6)->isEnabled());
        click(mini->hardKey(6));
        click(mini->switchArea(0));
        QCOMPARE(drain(), QStringList());
        QCOMPARE(keyState(), idle);

        states->setCurrentIndex(1);
        emit states->activated(1);
        drain();
        click(mini->hardKey(6));
        QCOMPARE(drain().size(), 3);

        // Ctrl's latch view hides the keys: a press already queued for one holds nothing.
        QTest::keyPress(mini, Qt::Key_Control);
        QVERIFY(mini->isLatchViewShown());
        click(mini->hardKey(6));
        QCOMPARE(drain(), QStringList());
        QCOMPARE(keyState(), idle);
        QTest::keyRelease(mini, Qt::Key_Control);
    }
};

QTEST_MAIN(TestLatePress)
#include "test_latepress.moc"
