// Scripted input over the bus, served in this process over the real windows: a press reaches the
// controller's socket as the click's bitmap would, a key is held while any source holds it, the
// mode switch and the jog controls move as a hand moves them, and every refusal says what is
// allowed and changes nothing.
#include "automation/pendantbus.h"
#include "automation/pendantobject.h"
#include "common/diagnostics.h"
#include "host/hostservice.h"
#include "link/udplink.h"
#include "pendant/frmoldtp.h"
#include "pendant/frmtp.h"
#include "pendantclient.h"
#include "provider/provcontroller.h"
#include "provider/provstate.h"
#include "provider/startup.h"
#include "support/hostqueue.h"
#include "support/keybits.h"
#include "support/pendantprocess.h"
#include "support/privatebus.h"
#include "support/udppeer.h"
#include "widgets/buttonex.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

using namespace tarvisk;
using namespace tarvisk::testing;

namespace {

constexpr int kOk = 14;
constexpr int kF1 = 21;
constexpr int kMan = 4;
constexpr int kTeach = 5;
constexpr int kJogDown = 31;
constexpr int kJogUp = 32;

} // namespace

class TestPendantInput : public QObject, protected PendantBusFixture
{
    Q_OBJECT

    std::unique_ptr<PendantBus> pendant;
    std::unique_ptr<UdpPeer> controller;
    std::unique_ptr<PendantClient> client;

    // A standalone pendant of the type against the test's socket, scripted as "in"; its first
    // tick is left to the test.
    PendantWindowBase *startStandalone(int type)
    {
        pendant = std::make_unique<PendantBus>(serviceBus);
        QString error;
        if (!pendant->publish(&error) || !pendant->claimName(QStringLiteral("in"), &error))
            return nullptr;
        controller = std::make_unique<UdpPeer>();
        StartupEnvironment env;
        env.commandLine = QStringLiteral("127.0.0.1 %1 127.0.0.1 0 %2").arg(controller->port()).arg(type);
        env.createLink = [] { return std::make_shared<UdpPendantLink>(); };
        if (!Main(env))
            return nullptr;
        client = std::make_unique<PendantClient>(clientBus, PendantBus::kStandalonePrefix + QStringLiteral("in"));
        client->listen();
        return dynamic_cast<PendantWindowBase *>(existingPendantWindow(pendantKindForType(type)));
    }

    static void tick(PendantWindowBase *w) { emit w->firstConnectionTimer()->Timer(); }

    // The last key state the controller got, waited for until `done` holds for it.
    bool waitForBits(const std::function<bool(const QByteArray &)> &done, int timeoutMs = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            const QList<QByteArray> states = controller->keyStates();
            if (!states.isEmpty() && done(states.last()))
                return true;
            QTest::qWait(10);
        }
        return false;
    }

    QString error(const QString &method, const QVariantList &args)
    {
        return PendantClient::errorOf(client->call(method, args));
    }

    QStringList keySignals() const { return client->signalsSeen().filter(QStringLiteral("KeyChanged")); }

    // The numbers of the host's key messages (1 pressed; 2 and 3 let go) among those queued.
    static QString keyMessages(ProvController &controller)
    {
        QStringList numbers;
        for (const QString &m : messageTexts(generalMessages(drainQueue(controller)))) {
            const QString number = m.section(u':', 0, 0);
            if (number == u"1" || number == u"2" || number == u"3")
                numbers << number;
        }
        return numbers.join(u' ');
    }

    // Whether the controller was told of `pressed` and then, later, of `released`.
    bool pressedThenLetGo(const QByteArray &pressed, const QByteArray &released)
    {
        const QList<QByteArray> states = controller->keyStates();
        const qsizetype at = states.lastIndexOf(pressed);
        return at >= 0 && states.indexOf(released, at) > at;
    }

    // Starts a timed call, runs `meanwhile` after `afterMs` while it runs, and returns its error.
    QString cutShort(const QString &method, const QVariantList &args, int afterMs,
                     const std::function<void()> &meanwhile)
    {
        QTimer::singleShot(afterMs, this, meanwhile);
        return error(method, args);
    }

    // The old pendant hosted beside the provider on the service connection, the pendant
    // interface published and read by the client, past its first tick; not shown yet.
    void startHostedOld(HostService &host, std::shared_ptr<ProvController> &controller, frmOldTP *&old)
    {
        QVERIFY(host.start());
        pendant = std::make_unique<PendantBus>(serviceBus);
        QString e;
        QVERIFY(pendant->publish(&e));
        client = std::make_unique<PendantClient>(clientBus, HostService::kServiceName);
        controller = connectController(QStringLiteral("PendantType=-1"));
        QVERIFY(controller);
        old = pendantOf<frmOldTP>(PendantKind::Old);
        tick(old);
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(startBus(&error), qPrintable(error));
    }
    void cleanupTestCase() { stopBus(); }
    void init() { startTest(); }

    void cleanup()
    {
        client.reset();
        pendant.reset();
        resetProcessState();
        controller.reset();
        diagnostics.reset();
    }

    // Press("TP_KEY_OK") reaches the controller as bit 14, with the click's look, and a key two
    // sources hold is reported once each way.
    void pressReachesTheControllerAsBit14()
    {
        auto *tp = dynamic_cast<frmTP *>(startStandalone(0));
        QVERIFY(tp);
        const QString early = error(QStringLiteral("Press"), {QStringLiteral("TP_KEY_OK")});
        QVERIFY2(early.contains(u".Refused: ") && early.contains(u"first connection tick") &&
                     early.contains(u"CONNECT"),
                 qPrintable(early));
        tick(tp);
        QVERIFY(waitForBits([](const QByteArray &b) { return bitSet(b, kMan); }));
        const int before = int(controller->keyStates().size());

        QVERIFY(error(QStringLiteral("Press"), {QStringLiteral("tp_key_ok")}).isEmpty());
        QVERIFY(waitForBits([](const QByteArray &b) { return b == bitmapOf({kMan, kOk}); }));
        QVERIFY(tp->keyButton(7)->look().pressed);
        QVERIFY(client->waitForSignal(QStringLiteral("KeyChanged TP_KEY_OK true")));
        QCOMPARE(client->value(QStringLiteral("GetHeldKeys")).toStringList(),
                 (QStringList{QStringLiteral("TP_KEY_MAN"), QStringLiteral("TP_KEY_OK")}));
        QCOMPARE(client->value(QStringLiteral("GetKeyState")).toByteArray(), bitmapOf({kMan, kOk}));

        // The mouse joins and leaves: the key stays held for the script, nothing is reported.
        QWidget *ok = tp->hardKey(7);
        QTest::mousePress(ok, Qt::LeftButton, {}, ok->rect().center());
        QTest::mouseRelease(ok, Qt::LeftButton, {}, ok->rect().center());
        QTest::qWait(50);
        QCOMPARE(controller->keyStates().size(), before + 1);
        QVERIFY(tp->keyButton(7)->look().pressed);

        QVERIFY(error(QStringLiteral("Release"), {QStringLiteral("TP_KEY_OK")}).isEmpty());
        QVERIFY(waitForBits([](const QByteArray &b) { return b == bitmapOf({kMan}); }));
        QVERIFY(client->waitForSignal(QStringLiteral("KeyChanged TP_KEY_OK false")));
        QVERIFY(!tp->keyButton(7)->look().pressed);
        const QString again = error(QStringLiteral("Release"), {QStringLiteral("TP_KEY_OK")});
        QVERIFY2(again.contains(u".Refused: ") && again.contains(u"not held by a script"), qPrintable(again));
    }

    void refusalsNameTheFaultAndWhatIsAllowed()
    {
        auto *tp = dynamic_cast<frmTP *>(startStandalone(0));
        QVERIFY(tp);
        tick(tp);
        QVERIFY(waitForBits([](const QByteArray &b) { return bitSet(b, kMan); }));
        const int before = int(controller->keyStates().size());

        const QString unknown = error(QStringLiteral("Press"), {QStringLiteral("TP_KEY_NOPE")});
        QVERIFY2(unknown.startsWith(PendantObject::kErrorPrefix + QStringLiteral("UnknownKey: ")) &&
                     unknown.contains(u"\"TP_KEY_NOPE\"") && unknown.contains(u"TP_KEY_OK") &&
                     unknown.contains(u"the standard pendant"),
                 qPrintable(unknown));
        QVERIFY(error(QStringLiteral("Tap"), {QStringLiteral("MP_KEY_OK"), 10u}).contains(u"UnknownKey"));
        const QString mode = error(QStringLiteral("SetMode"), {QStringLiteral("JOG")});
        QVERIFY2(mode.contains(u"UnknownMode") && mode.contains(u"AUTO, MAN and TEACH"), qPrintable(mode));
        const QString tooLong = error(QStringLiteral("Tap"), {QStringLiteral("TP_KEY_OK"), 70000u});
        QVERIFY2(tooLong.contains(u"InvalidArgs") && tooLong.contains(u"60000"), qPrintable(tooLong));
        const QString still = error(QStringLiteral("Jog"), {0, 100u});
        QVERIFY2(still.contains(u"InvalidArgs") && still.contains(u"TP_KEY_JOG_UP"), qPrintable(still));
        const QString jogKey = error(QStringLiteral("Press"), {QStringLiteral("TP_KEY_JOG_UP")});
        QVERIFY2(jogKey.contains(u"NotOffered") && jogKey.contains(u"Jog"), qPrintable(jogKey));
        // Nothing of it reached the controller.
        QTest::qWait(50);
        QCOMPARE(controller->keyStates().size(), before);

        // Hidden, the window takes no input at all, and says how it gets some.
        tp->hide();
        const QString hidden = error(QStringLiteral("Press"), {QStringLiteral("TP_KEY_OK")});
        QVERIFY2(hidden.contains(u"hidden") && hidden.contains(u"\"show\""), qPrintable(hidden));
    }

    // Tap answers once the key is let go; SetMode clicks the switch; ReleaseAll frees every hold.
    void tapModeAndReleaseAll()
    {
        auto *tp = dynamic_cast<frmTP *>(startStandalone(0));
        QVERIFY(tp);
        tick(tp);
        QVERIFY(waitForBits([](const QByteArray &b) { return bitSet(b, kMan); }));

        // The reply comes after the key was pressed and let go (the datagrams are on the
        // loopback socket before the reply is sent).
        QVERIFY(error(QStringLiteral("Tap"), {QStringLiteral("TP_KEY_OK"), 200u}).isEmpty());
        QVERIFY(pressedThenLetGo(bitmapOf({kMan, kOk}), bitmapOf({kMan})));

        // Release of a key a running Tap holds names the Tap and how to end it.
        QTimer::singleShot(20, this, [this] {
            const QString busy = error(QStringLiteral("Release"), {QStringLiteral("TP_KEY_OK")});
            QVERIFY2(busy.contains(u".Refused: ") && busy.contains(u"held by a running Tap") &&
                         busy.contains(u"ReleaseAll"),
                     qPrintable(busy));
            QVERIFY(error(QStringLiteral("ReleaseAll"), {}).isEmpty());
        });
        QVERIFY(error(QStringLiteral("Tap"), {QStringLiteral("TP_KEY_OK"), 5000u}).isEmpty());
        QVERIFY(pressedThenLetGo(bitmapOf({kMan, kOk}), bitmapOf({kMan})));

        QVERIFY(error(QStringLiteral("SetMode"), {QStringLiteral("teach")}).isEmpty());
        QVERIFY(waitForBits([](const QByteArray &b) { return b == bitmapOf({kTeach}); }));
        QVERIFY(client->waitForSignal(QStringLiteral("KeyChanged TP_KEY_TC true")));
        QVERIFY(keySignals().contains(QStringLiteral("KeyChanged TP_KEY_MAN false")));

        QVERIFY(error(QStringLiteral("Press"), {QStringLiteral("TP_KEY_OK")}).isEmpty());
        QVERIFY(error(QStringLiteral("Press"), {QStringLiteral("TP_KEY_F1")}).isEmpty());
        QVERIFY(waitForBits([](const QByteArray &b) { return b == bitmapOf({kTeach, kOk, kF1}); }));
        QVERIFY(error(QStringLiteral("ReleaseAll"), {}).isEmpty());
        QVERIFY(waitForBits([](const QByteArray &b) { return b == bitmapOf({kTeach}); }));
        QCOMPARE(client->value(QStringLiteral("GetHeldKeys")).toStringList(), QStringList{QStringLiteral("TP_KEY_TC")});
    }

    // The old pendant's slider held off centre repeats its jog key at the slider's own cadence.
    void jogOnTheOldPendant()
    {
        PendantWindowBase *old = startStandalone(-1);
        QVERIFY(old);
        tick(old);
        QVERIFY(waitForBits([](const QByteArray &b) { return bitSet(b, kMan); }));
        client->clearSignals();
        QVERIFY(error(QStringLiteral("Jog"), {-1, 700u}).isEmpty()); // answers when let go
        QVERIFY(pressedThenLetGo(bitmapOf({kMan, kJogUp}), bitmapOf({kMan})));
        QCOMPARE(controller->keyStates().last(), bitmapOf({kMan}));
        // At the controller: held, then let go and held again at every repeat, let go at the end.
        QStringList seen;
        for (const QByteArray &b : controller->keyStates())
            seen << (bitSet(b, kJogUp) ? QStringLiteral("up") : QStringLiteral("-"));
        while (!seen.isEmpty() && seen.first() == u"-")
            seen.removeFirst();
        const int holds = int(seen.count(QStringLiteral("up")));
        QVERIFY2(holds >= 2 && holds <= 700 / frmOldTP::kJogIntervalMs + 1, qPrintable(seen.join(u' ')));
        QVERIFY2(seen.join(u' ') ==
                     QStringList(holds, QStringLiteral("up")).join(QStringLiteral(" - ")) + QStringLiteral(" -"),
                 qPrintable(seen.join(u' ')));
        QCOMPARE(dynamic_cast<frmOldTP *>(old)->jogTimer()->interval(), frmOldTP::kJogIntervalMs);
        QCOMPARE(dynamic_cast<frmOldTP *>(old)->jogSlider()->value(), 0);
    }

    // The standard pendant's dial turned by a script: a step at once and one each period, each a
    // release of the held jog key and a press; the last key stays held as after a drag.
    void jogOnTheStandardPendant()
    {
        PendantWindowBase *tp = startStandalone(0);
        QVERIFY(tp);
        tick(tp);
        QVERIFY(client->waitForSignal(QStringLiteral("KeyChanged TP_KEY_MAN true")));
        client->clearSignals();
        QVERIFY(error(QStringLiteral("Jog"), {1, 450u}).isEmpty());
        QVERIFY(waitForBits([](const QByteArray &b) { return bitSet(b, kJogDown); }));
        QTest::qWait(50);
        QCOMPARE(keySignals().join(u'|'), (QStringList{QStringLiteral("KeyChanged TP_KEY_JOG_DOWN true"),
                                                       QStringLiteral("KeyChanged TP_KEY_JOG_DOWN false"),
                                                       QStringLiteral("KeyChanged TP_KEY_JOG_DOWN true"),
                                                       QStringLiteral("KeyChanged TP_KEY_JOG_DOWN false"),
                                                       QStringLiteral("KeyChanged TP_KEY_JOG_DOWN true")})
                                              .join(u'|'));
        client->clearSignals();
        QVERIFY(error(QStringLiteral("Jog"), {-5, 0u}).isEmpty());
        QVERIFY(client->waitForSignal(QStringLiteral("KeyChanged TP_KEY_JOG_UP true")));
        QCOMPARE(keySignals().first(), QStringLiteral("KeyChanged TP_KEY_JOG_DOWN false"));
        QVERIFY(waitForBits([](const QByteArray &b) { return bitSet(b, kJogUp) && !bitSet(b, kJogDown); }));
    }

    // Hosted, a scripted press is the host's messages 1, 2 and 3 as a click's are; until the
    // client shows the window, the keys take none.
    void hostedPressGivesTheMessagesOfAClick()
    {
        HostService host(serviceBus);
        std::shared_ptr<ProvController> controller;
        frmOldTP *old = nullptr;
        startHostedOld(host, controller, old);
        if (QTest::currentTestFailed())
            return;
        drainQueue(*controller);
        const QString hidden = error(QStringLiteral("Press"), {QStringLiteral("TP_KEY_OK")});
        QVERIFY2(hidden.contains(u"hidden") && hidden.contains(u"\"show\""), qPrintable(hidden));
        QVERIFY(showHosted(*controller, old));
        drainQueue(*controller);
        QVERIFY(error(QStringLiteral("Tap"), {QStringLiteral("TP_KEY_OK"), 50u}).isEmpty());
        const QList<QueuedMessage> scripted = drainQueue(*controller);
        QPushButton *ok = old->hardKey(7);
        QTest::mouseClick(ok, Qt::LeftButton, {}, ok->rect().center());
        const QList<QueuedMessage> clicked = drainQueue(*controller);
        QCOMPARE(scripted.size(), 3);
        QCOMPARE(describeMessages(scripted), describeMessages(clicked));
        for (qsizetype i = 0; i < scripted.size(); ++i)
            QCOMPARE(scripted[i].attribute, clicked[i].attribute);

        // DISCONNECT chosen in the state list: the keys take no input, and the refusal says when
        // they will.
        old->stateSelector()->setCurrentIndex(0);
        emit old->stateSelector()->activated(0);
        drainQueue(*controller);
        const QString disconnected = error(QStringLiteral("Press"), {QStringLiteral("TP_KEY_OK")});
        QVERIFY2(disconnected.contains(u".Refused: ") && disconnected.contains(u"in the state DISCONNECT") &&
                     disconnected.contains(u"in the state CONNECT"),
                 qPrintable(disconnected));
        QVERIFY(drainQueue(*controller).isEmpty());
        endHosted(controller);
    }

    // A Tap or Jog cut short by a way out lets go and answers Interrupted, naming the way out and
    // the time held; the release is reported before the answer.
    void cutShortTapAndJogAreInterrupted()
    {
        HostService host(serviceBus);
        std::shared_ptr<ProvController> controller;
        frmOldTP *old = nullptr;
        startHostedOld(host, controller, old);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(showHosted(*controller, old));
        drainQueue(*controller);

        const QString hidden = cutShort(QStringLiteral("Tap"), {QStringLiteral("TP_KEY_OK"), 2000u}, 200, [&] {
            Variant result;
            QCOMPARE(controller->FinalExecute(QStringLiteral("hide"), Variant(), result), 0);
        });
        QVERIFY2(hidden.startsWith(PendantObject::kErrorPrefix + QStringLiteral("Interrupted: the window was hidden "
                                                                                "after ")) &&
                     hidden.endsWith(u" of 2000 ms; the key was let go"),
                 qPrintable(hidden));
        QCOMPARE(keyMessages(*controller), QStringLiteral("1 2 3"));
        QVERIFY(!client->value(QStringLiteral("GetHeldKeys")).toStringList().contains(QStringLiteral("TP_KEY_OK")));

        QVERIFY(showHosted(*controller, old));
        const QString gone = cutShort(QStringLiteral("Jog"), {-1, 3000u}, 200, [&] { controller->FinalDisconnect(); });
        QVERIFY2(gone.startsWith(PendantObject::kErrorPrefix + QStringLiteral("Interrupted: the pendant was "
                                                                              "disconnected after ")) &&
                     gone.endsWith(u" of 3000 ms; the slider was let go"),
                 qPrintable(gone));
        controller.reset();
        endHosted(controller);
    }

    // The dial's step refused mid-Jog (its control disabled) ends the Jog as Interrupted; the
    // window unloaded mid-Tap ends the Tap so, and the controller hears the keys let go.
    void refusedStepAndUnloadInterrupt()
    {
        auto *tp = dynamic_cast<frmTP *>(startStandalone(0));
        QVERIFY(tp);
        tick(tp);
        QVERIFY(waitForBits([](const QByteArray &b) { return bitSet(b, kMan); }));
        const QString refused =
            cutShort(QStringLiteral("Jog"), {1, 3000u}, 200, [tp] { tp->jogDialBox()->setEnabled(false); });
        QVERIFY2(refused.contains(u".Interrupted: the dial refused its next step (TP_KEY_JOG_DOWN is disabled") &&
                     refused.endsWith(u" of 3000 ms; the dial stopped turning"),
                 qPrintable(refused));
        tp->jogDialBox()->setEnabled(true);

        QVERIFY(error(QStringLiteral("Press"), {QStringLiteral("TP_KEY_F1")}).isEmpty());
        const QString unloaded =
            cutShort(QStringLiteral("Tap"), {QStringLiteral("TP_KEY_OK"), 2000u}, 200, [tp] { tp->Unload(); });
        QVERIFY2(unloaded.contains(u".Interrupted: the window was unloaded after ") &&
                     unloaded.endsWith(u" of 2000 ms; the key was let go"),
                 qPrintable(unloaded));
        const QByteArray last = controller->keyStates().last();
        QVERIFY2(!bitSet(last, kOk) && !bitSet(last, kF1), last.toHex().constData());
    }

    // What scripts hold is let go on the ways out that end every hold: hidden and disabled
    // (hosted: messages 2 and 3), unloaded (standalone: the bitmap without it).
    void scriptedHoldsEndWhenHiddenOrDisabled()
    {
        HostService host(serviceBus);
        std::shared_ptr<ProvController> controller;
        frmOldTP *old = nullptr;
        startHostedOld(host, controller, old);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(showHosted(*controller, old));
        drainQueue(*controller);

        QVERIFY(error(QStringLiteral("Press"), {QStringLiteral("TP_KEY_OK")}).isEmpty());
        QCOMPARE(keyMessages(*controller), QStringLiteral("1"));
        Variant result;
        QCOMPARE(controller->FinalExecute(QStringLiteral("hide"), Variant(), result), 0);
        QCOMPARE(keyMessages(*controller), QStringLiteral("2 3"));
        QCOMPARE(client->value(QStringLiteral("GetHeldKeys")).toStringList().filter(u"TP_KEY_OK"), QStringList());

        QVERIFY(showHosted(*controller, old));
        drainQueue(*controller);
        QVERIFY(error(QStringLiteral("Press"), {QStringLiteral("TP_KEY_OK")}).isEmpty());
        old->stateSelector()->setCurrentIndex(0);
        emit old->stateSelector()->activated(0);
        QCOMPARE(keyMessages(*controller), QStringLiteral("1 2 3"));
        // Nothing is left for a later Release: the key is not held by a script any more.
        QVERIFY(error(QStringLiteral("Release"), {QStringLiteral("TP_KEY_OK")}).contains(u"not held by a script"));
        endHosted(controller);
    }

    void scriptedHoldsEndOnUnload()
    {
        auto *tp = dynamic_cast<frmTP *>(startStandalone(0));
        QVERIFY(tp);
        tick(tp);
        QVERIFY(waitForBits([](const QByteArray &b) { return bitSet(b, kMan); }));
        QVERIFY(error(QStringLiteral("Press"), {QStringLiteral("TP_KEY_OK")}).isEmpty());
        QVERIFY(error(QStringLiteral("Press"), {QStringLiteral("TP_KEY_F1")}).isEmpty());
        QVERIFY(waitForBits([](const QByteArray &b) { return b == bitmapOf({kMan, kOk, kF1}); }));
        tp->Unload();
        const QByteArray last = controller->keyStates().last();
        QVERIFY2(!bitSet(last, kOk) && !bitSet(last, kF1), last.toHex().constData());
    }
};

QObject *makePendantInputTest()
{
    return new TestPendantInput;
}

#include "test_pendantinput.moc"
