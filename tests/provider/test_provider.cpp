#include "common/diagnostics.h"
#include "common/leadingnumber.h"
#include "link/pendantlink.h"
#include "provider/keytables.h"
#include "provider/provcontroller.h"
#include "provider/provstate.h"
#include "provider/secondary.h"
#include "provider/startup.h"
#include "provider/windowprocs.h"
#include "support/hostqueue.h"
#include "support/recordinglink.h"
#include "support/recordingwindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPointer>
#include <QSet>
#include <QTest>
#include <QTimer>

using namespace tarvisk;
using namespace tarvisk::testing;

namespace {

// Records how many messages were queued when a window was unloaded.
class ProbeWindow : public RecordingWindow
{
public:
    using RecordingWindow::RecordingWindow;
    void Unload() override
    {
        queuedAtUnload = g_Controller ? int(g_Controller->queuedMessages()) : -1;
        RecordingWindow::Unload();
    }
    int queuedAtUnload = -2;
};

void registerRecordingWindows()
{
    for (PendantKind kind : {PendantKind::Standard, PendantKind::Mini, PendantKind::Old, PendantKind::TPLess})
        registerPendantWindow(kind, [kind] { return std::make_unique<ProbeWindow>(kind); });
}

ProbeWindow *windowOf(PendantKind kind)
{
    return static_cast<ProbeWindow *>(existingPendantWindow(kind));
}

Variant connectParams(const Variant &options)
{
    return Variant::array({Variant(), options, Variant()});
}

using Msg = QueuedMessage;

// A link whose Close fails, as a link that lost its socket does.
std::shared_ptr<RecordingLink> makeLink()
{
    auto link = std::make_shared<RecordingLink>();
    link->failClose = true;
    return link;
}

} // namespace

class TestProvider : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        resetProcessState();
        registerRecordingWindows();
        InitKeyTables();
    }
    void cleanup() { resetProcessState(); }

    void keyTables()
    {
        QCOMPARE(g_TPKeyTable->Count(), 37);
        QCOMPARE(g_MPKeyTable->Count(), 37);
        QCOMPARE(g_TPKeyTable->Item(QStringLiteral("tp_key_auto")), 3);
        QCOMPARE(g_TPKeyTable->Item(QStringLiteral("TP_KEY_P_J1")), 51);
        QCOMPARE(g_MPKeyTable->Item(QStringLiteral("MP_KEY_P_J1")), 20);
        QCOMPARE(g_TPKeyTable->Item(QStringLiteral("TP_KEY_JOG_DOWN")), 31);
        QCOMPARE(g_TPKeyTable->Item(QStringLiteral("TP_KEY_JOG_UP")), 32);
        QCOMPARE(g_TPKeyTable->Item(QStringLiteral("TP_KEY_SHIFT")), 20);
        QCOMPARE(statusOf([] { g_MPKeyTable->Item(QStringLiteral("TP_KEY_LOCK")); }), 5);
        QCOMPARE(g_TPKeyTable->entries().first().name, QStringLiteral("TP_KEY_AUTO"));
        QCOMPARE(g_TPKeyTable->entries().last().name, QStringLiteral("TP_KEY_JOG_DOWN"));
        QCOMPARE(g_MPKeyTable->entries().last().name, QStringLiteral("MP_KEY_AUX"));
        for (const auto &table : {g_TPKeyTable, g_MPKeyTable}) {
            QSet<int> codes;
            for (const auto &e : table->entries()) {
                QVERIFY2(e.code >= 2 && e.code <= 56, qPrintable(e.name));
                codes.insert(e.code);
            }
            QCOMPARE(codes.size(), 37);
        }
        QCOMPARE(keyNameOfTag(QStringLiteral("TP_KEY_MOTOR:MOTOR")), QStringLiteral("TP_KEY_MOTOR"));
        QCOMPARE(keyNameOfTag(QStringLiteral("TP_KEY_OK")), QStringLiteral("TP_KEY_OK"));
    }

    void messageSplitAndOrder()
    {
        auto c = std::make_shared<ProvController>();
        Variant p = connectParams(Variant("StateDestination=x"));
        QCOMPARE(c->FinalConnect(p), 0);
        drainQueue(*c);

        int32_t n = 1;
        QCOMPARE(c->CreateMessage(n, Variant::array({51, true})), 0);
        n = 1;
        QCOMPARE(c->CreateMessage(n, Variant::array({51, false})), 0);
        n = 0;
        QCOMPARE(c->CreateMessage(n, Variant(int16_t(2))), 0);
        n = 4;
        const Variant whole = Variant::array({1, "a"});
        QCOMPARE(c->CreateMessage(n, whole), 0);
        n = -1;
        QCOMPARE(c->CreateMessage(n, Variant("raw")), 0);

        const QList<Msg> got = drainQueue(*c);
        QCOMPARE(got.size(), 7);
        QCOMPARE(got[0].number, 1);
        QCOMPARE(got[0].value, Variant(51));
        QCOMPARE(got[0].destination, QStringLiteral("x"));
        QCOMPARE(got[0].attribute, 1048576);
        QCOMPARE(got[0].source, QStringLiteral("17"));
        QCOMPARE(got[1].destination, QString());
        QCOMPARE(got[1].attribute, 0);
        QCOMPARE(got[2].value, Variant(51)); // not addressed: general only
        QCOMPARE(got[2].destination, QString());
        // Scalars in 0..3 are addressed too.
        QCOMPARE(got[3].value, Variant(int16_t(2)));
        QCOMPARE(got[3].destination, QStringLiteral("x"));
        QCOMPARE(got[4].number, 0);
        QCOMPARE(got[4].destination, QString());
        QCOMPARE(got[5].number, 4);
        QCOMPARE(got[5].value, whole); // kept whole, not split
        QCOMPARE(got[5].destination, QString());
        QCOMPARE(got[6].number, -1);
        QCOMPARE(got[6].value, Variant("raw"));
        std::shared_ptr<ProvMessage> last;
        QCOMPARE(c->GetMessage(last), 0);
        QVERIFY(!last); // empty queue: no object, success
    }

    void messageFailuresQueueNothing()
    {
        ProvController c;
        int32_t n = 1;
        QCOMPARE(c.CreateMessage(n, Variant::array({51})), 9);
        QCOMPARE(c.CreateMessage(n, Variant::array({51, "maybe"})), 13);
        QCOMPARE(c.queuedMessages(), size_t(0));
        n = -1;
        QCOMPARE(c.CreateMessage(n, Variant::array({Variant::null()})), 0);
        QCOMPARE(drainQueue(c).first().number, -1);
    }

    void messageObject()
    {
        ProvMessage m;
        QCOMPARE(m.number(), -1);
        QVERIFY(m.value().isEmpty());
        Variant empty;
        QCOMPARE(m.FinalInitialize(empty), 0);
        QCOMPARE(empty, Variant(0));
        Variant bad = Variant::array({"x", 1});
        QCOMPARE(m.FinalInitialize(bad), 13);
        QCOMPARE(m.number(), -1);
        Variant full = Variant::array({"7", 2, 17, "dest"});
        QCOMPARE(m.FinalInitialize(full), 0);
        QCOMPARE(m.number(), 7);
        QCOMPARE(m.source(), QStringLiteral("17"));
        Variant attr;
        m.FinalInitialize(attr);
        QCOMPARE(attr, Variant(1048576));
        Variant scalar(5);
        QCOMPARE(m.FinalInitialize(scalar), 0); // anything else: no action
        QCOMPARE(m.number(), 7);
    }

    void connectOptions_data()
    {
        QTest::addColumn<Variant>("options");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<bool>("debug");
        QTest::addColumn<int>("interval");
        QTest::newRow("empty") << Variant("") << 0 << 1 << "17"
                               << "" << false << 10000;
        QTest::newRow("Empty element") << Variant() << 0 << 1 << "17"
                                       << "" << false << 10000;
        QTest::newRow("mini mode 2") << Variant("PendantType=1,DefaultMode=2") << 1 << 2 << "26"
                                     << "" << false << 10000;
        QTest::newRow("lower case, blanks") << Variant(" pendanttype =  -1 ") << -1 << 1 << "17"
                                            << "" << false << 10000;
        QTest::newRow("tpless") << Variant("PendantType=2, TPLessInterval=5000") << 2 << 1 << ""
                                << "" << false << 5000;
        QTest::newRow("type 7") << Variant("PendantType=7") << 7 << 1 << "17"
                                << "" << false << 10000;
        QTest::newRow("debug alone") << Variant("Debug") << 0 << 1 << "17"
                                     << "" << true << 10000;
        QTest::newRow("debug=0") << Variant("Debug=0") << 0 << 1 << "17"
                                 << "" << true << 10000;
        QTest::newRow("destination no =") << Variant("StateDestination") << 0 << 1 << "17"
                                          << "StateDestination" << false << 10000;
        QTest::newRow("destination trimmed") << Variant("StateDestination = a b ") << 0 << 1 << "17"
                                             << "a b" << false << 10000;
        QTest::newRow("longer key") << Variant("PendantTypeXYZ=1") << 1 << 1 << "26"
                                    << "" << false << 10000;
        QTest::newRow("later wins") << Variant("DefaultMode=1,DefaultMode=3") << 0 << 3 << "17"
                                    << "" << false << 10000;
        QTest::newRow("half to even") << Variant("DefaultMode=2.5") << 0 << 2 << "17"
                                      << "" << false << 10000;
        QTest::newRow("unknown and empty items") << Variant("foo=1,, ,PendantType=1") << 1 << 1 << "26"
                                                 << "" << false << 10000;
        QTest::newRow("first = of untrimmed piece") << Variant("StateDestination=a=b") << 0 << 1 << "17"
                                                    << "a=b" << false << 10000;
    }
    void connectOptions()
    {
        QFETCH(Variant, options);
        auto c = std::make_shared<ProvController>();
        Variant p = connectParams(options);
        QCOMPARE(c->FinalConnect(p), 0);
        QTEST(c->pendantType(), "type");
        QTEST(c->defaultMode(), "mode");
        QTEST(c->source(), "source");
        QTEST(c->stateDestination(), "destination");
        QTEST(c->debugFlag(), "debug");
        QTEST(g_TPLessInterval, "interval");
        QCOMPARE(p.at(2), Variant(true));
        QCOMPARE(g_Controller, c);
        IPendantWindow *w = existingPendantWindow(pendantKindForType(c->pendantType()));
        QVERIFY(w);
        QCOMPARE(w->isStateSelectorVisible(), c->debugFlag());
    }

    void connectFailures()
    {
        auto c = std::make_shared<ProvController>();
        Variant notArray("PendantType=1");
        QCOMPARE(c->FinalConnect(notArray), 13);
        Variant shortArray = Variant::array({Variant()});
        QCOMPARE(c->FinalConnect(shortArray), 9);
        Variant bad = connectParams(Variant("DefaultMode=3, PendantType=abc, StateDestination=x"));
        QCOMPARE(c->FinalConnect(bad), 13);
        QCOMPARE(c->defaultMode(), 3);              // parsed before the failing item
        QCOMPARE(c->stateDestination(), QString()); // after it: untouched
        QVERIFY(bad.at(2).isEmpty());
        QVERIFY(!g_Controller);
        QVERIFY(!existingPendantWindow(PendantKind::Standard));
        Variant pellino = connectParams(Variant("IsPellino=maybe"));
        QCOMPARE(c->FinalConnect(pellino), 13);
        Variant pellinoOk = connectParams(Variant("IsPellino=TRUE"));
        QCOMPARE(c->FinalConnect(pellinoOk), 0);
        QVERIFY(g_IsPellino);
        Variant numberOptions = connectParams(Variant(5));
        QCOMPARE(c->FinalConnect(numberOptions), 13);
    }

    void keepAlivePeriodMustBePositive_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("period");
        QTest::newRow("zero") << QStringLiteral("0") << 5 << 10000;
        QTest::newRow("negative") << QStringLiteral("-250") << 5 << 10000;
        QTest::newRow("rounds to zero") << QStringLiteral("0.4") << 5 << 10000;
        QTest::newRow("one") << QStringLiteral("1") << 0 << 1;
        QTest::newRow("not a number") << QStringLiteral("often") << 13 << 10000;
    }

    void keepAlivePeriodMustBePositive()
    {
        QFETCH(QString, value);
        QFETCH(int, status);
        QFETCH(int, period);
        auto c = std::make_shared<ProvController>();
        Variant p =
            connectParams(Variant(QStringLiteral("DefaultMode=3, TPLessInterval=%1, PendantType=2").arg(value)));
        QCOMPARE(c->FinalConnect(p), status);
        QCOMPARE(g_TPLessInterval, period);
        QCOMPARE(c->defaultMode(), 3); // the item before stays set
        QCOMPARE(!existingPendantWindow(PendantKind::TPLess), status != 0);
        QCOMPARE(p.at(2).isEmpty(), status != 0);
        QCOMPARE(!g_Controller, status != 0);
        if (status == 0)
            QCOMPARE(c->pendantType(), 2);
        else
            QCOMPARE(c->pendantType(), 0); // the item after it was never read
    }

    void showPendantHostedAndStandalone()
    {
        ShowPendant(0, 2, true, false);
        auto *w = windowOf(PendantKind::Standard);
        QVERIFY(w);
        QCOMPARE(w->calls, (QStringList{"Load", "Connect 2", "StateSelector 0"}));
        QVERIFY(!w->isVisible());
        QVERIFY(systemMenuItems(w).isEmpty());
        QVERIFY(hasNoActivate(w));
        QVERIFY(w->windowFlags() & Qt::WindowDoesNotAcceptFocus);
        QVERIFY(!(w->windowFlags() & Qt::WindowCloseButtonHint));
        ShowPendant(0, 3, true, true);
        QCOMPARE(windowOf(PendantKind::Standard), w); // one instance per type
        QCOMPARE(w->calls.last(), QStringLiteral("StateSelector 1"));

        ShowPendant(1, 1, false, false);
        auto *mini = windowOf(PendantKind::Mini);
        QVERIFY(mini->isVisible());
        QCOMPARE(systemMenuItems(mini).size(), 6);

        ShowPendant(2, 1, true, true);
        auto *less = windowOf(PendantKind::TPLess);
        QCOMPARE(less->calls.first(), QStringLiteral("DebugMode 1 loaded=0")); // before the load
    }

    void disconnectQueuesOneMessageBeforeTheWindowsGo()
    {
        auto c = std::make_shared<ProvController>();
        Variant p = connectParams(Variant("PendantType=-1"));
        QCOMPARE(c->FinalConnect(p), 0);
        pendantWindow(PendantKind::Standard).Load();
        pendantWindow(PendantKind::Mini).Load();
        drainQueue(*c);
        auto *old = windowOf(PendantKind::Old);
        old->show();
        QCOMPARE(c->FinalDisconnect(), 0);
        for (PendantKind kind : {PendantKind::Standard, PendantKind::Mini, PendantKind::Old, PendantKind::TPLess})
            QVERIFY(!existingPendantWindow(kind));
        QVERIFY(!g_Controller);
        const QList<Msg> got = drainQueue(*c);
        QCOMPARE(got.size(), 1);
        QCOMPARE(got[0].number, 0);
        QCOMPARE(got[0].value, Variant(int16_t(0)));
        QCOMPARE(got[0].source, QStringLiteral("17"));
        // The queue and the options stay; disconnecting again never fails.
        QCOMPARE(c->pendantType(), -1);
        QCOMPARE(c->FinalDisconnect(), 0);
    }

    void disconnectUnloadsAfterQueuing()
    {
        auto seen = std::make_shared<int>(-2);
        struct Probe : RecordingWindow
        {
            std::shared_ptr<int> out;
            explicit Probe(std::shared_ptr<int> o)
                : RecordingWindow(PendantKind::Standard)
                , out(std::move(o))
            {}
            void Unload() override
            {
                *out = g_Controller ? int(g_Controller->queuedMessages()) : -1;
                RecordingWindow::Unload();
            }
        };
        registerPendantWindow(PendantKind::Standard, [seen] { return std::make_unique<Probe>(seen); });
        auto c = std::make_shared<ProvController>();
        Variant p = connectParams(Variant(""));
        QCOMPARE(c->FinalConnect(p), 0);
        drainQueue(*c);
        QCOMPARE(c->FinalDisconnect(), 0);
        QCOMPARE(*seen, 1); // the state message was queued and the controller still published
    }

    void disconnectLetsHeldKeysGoBeforeTheState()
    {
        // The key a window still holds is reported released first; "DISCONNECT" comes last.
        struct Holding : RecordingWindow
        {
            using RecordingWindow::RecordingWindow;
            void releaseHeldKeys() override
            {
                int32_t two = 2, three = 3;
                const Variant okKey = Variant::array({Variant(int32_t(14)), Variant(true)});
                if (held && g_Controller) {
                    g_Controller->CreateMessage(two, okKey);
                    g_Controller->CreateMessage(three, okKey);
                }
                held = false;
            }
            bool held = true;
        };
        registerPendantWindow(PendantKind::Mini, [] { return std::make_unique<Holding>(PendantKind::Mini); });
        auto c = std::make_shared<ProvController>();
        Variant p = connectParams(Variant("PendantType=1"));
        QCOMPARE(c->FinalConnect(p), 0);
        drainQueue(*c);
        QCOMPARE(c->FinalDisconnect(), 0);
        QCOMPARE(describeMessages(drainQueue(*c)), QStringLiteral("2:Long 14 | 3:Long 14 | 0:Integer 0"));
    }

    void unloadedWindowWaitsForTheOutermostLoop()
    {
        auto c = std::make_shared<ProvController>();
        Variant p = connectParams(Variant("PendantType=0"));
        QCOMPARE(c->FinalConnect(p), 0);
        QPointer<ProbeWindow> window = windowOf(PendantKind::Standard);
        window->show();

        // The main loop runs a handler of the window, which opens a message box; the box's loop
        // serves the client's disconnect.
        QEventLoop mainLoop;
        bool aliveInBox = false;
        bool hiddenInBox = false;
        bool aliveAfterBox = false;
        QTimer::singleShot(0, window, [&] {
            QEventLoop box;
            QTimer::singleShot(0, &box, [&] { c->FinalDisconnect(); });
            QTimer::singleShot(100, &box, [&] {
                aliveInBox = !window.isNull();
                hiddenInBox = window && !window->isVisible();
                box.quit();
            });
            box.exec();
            // The handler goes on with its own window after the box.
            aliveAfterBox = !window.isNull();
            if (window)
                window->calls << QStringLiteral("after the box");
        });
        QTimer::singleShot(300, &mainLoop, &QEventLoop::quit);
        mainLoop.exec();
        QVERIFY(!existingPendantWindow(PendantKind::Standard));
        QVERIFY(aliveInBox);
        QVERIFY(hiddenInBox);
        QVERIFY(aliveAfterBox);
        // Back in the outermost loop it went.
        QVERIFY(window.isNull());
        QCOMPARE(retiredPendantWindows(), 0);

        // Unloaded from the outermost loop, a window goes at the loop's next turn.
        QCOMPARE(c->FinalConnect(p), 0);
        window = windowOf(PendantKind::Standard);
        QCOMPARE(c->FinalDisconnect(), 0);
        QVERIFY(window);
        QTRY_VERIFY(window.isNull());
    }

    void executeCommands()
    {
        auto c = std::make_shared<ProvController>();
        Variant p = connectParams(Variant("PendantType=1"));
        QCOMPARE(c->FinalConnect(p), 0);
        auto *mini = windowOf(PendantKind::Mini);
        Variant result;

        QCOMPARE(c->FinalExecute(QStringLiteral("GetVisible"), Variant(), result), 0);
        QCOMPARE(result, Variant(false));
        QCOMPARE(c->FinalExecute(QStringLiteral(" show"), Variant(), result), 0);
        QVERIFY(!mini->isVisible()); // a leading blank matches nothing
        QCOMPARE(c->FinalExecute(QStringLiteral("show"), Variant(), result), 0);
        QVERIFY(mini->isVisible());
        QVERIFY(!isAppWindow(mini));
        QVERIFY(result.isEmpty());
        QCOMPARE(c->FinalExecute(QStringLiteral("getvisible"), Variant(), result), 0);
        QCOMPARE(result, Variant(true));
        QCOMPARE(c->FinalExecute(QStringLiteral("gethwnd"), Variant(), result), 0);
        QCOMPARE(result.type(), Variant::Type::Long);
        QCOMPARE(uint32_t(result.toLong()), uint32_t(mini->winId()));

        QCOMPARE(c->FinalExecute(QStringLiteral("move"), Variant::array({Variant(1500.0f), Variant(750)}), result), 0);
        QCOMPARE(mini->pos(), QPoint(100, 50));
        const QSize size = mini->size();
        QCOMPARE(c->FinalExecute(QStringLiteral("move"), Variant::array({1}), result), 9);
        QCOMPARE(c->FinalExecute(QStringLiteral("move"), Variant(3), result), 13);
        QCOMPARE(mini->size(), size);

        QCOMPARE(c->FinalExecute(QStringLiteral("show"), Variant(-1), result), 0);
        QCOMPARE(zOrderRequest(mini), QStringLiteral("topmost"));
        QVERIFY(mini->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(c->FinalExecute(QStringLiteral("show"), Variant(-2), result), 0);
        QVERIFY(!(mini->windowFlags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(c->FinalExecute(QStringLiteral("show"), Variant("x"), result), 13);

        QCOMPARE(c->FinalExecute(QStringLiteral("hide"), Variant(), result), 0);
        QVERIFY(!mini->isVisible());

        const Variant led = Variant::array({1, 2});
        QCOMPARE(c->FinalExecute(QStringLiteral("LED"), led, result), 0);
        QCOMPARE(mini->lastParameter, led);
        QCOMPARE(led.at(0), Variant(1)); // the window changed its copy only
        QCOMPARE(c->FinalExecute(QStringLiteral("beep"), Variant(500), result), 0);
        QCOMPARE(c->FinalExecute(QStringLiteral("lcd"), Variant("x"), result), 0);
        QCOMPARE(c->FinalExecute(QStringLiteral("drawminitp"), Variant::array({}), result), 0);
        QCOMPARE(c->FinalExecute(QStringLiteral("setinproceventkey"), Variant(QByteArray(8, 0)), result), 0);
        QCOMPARE(c->FinalExecute(QStringLiteral("getkeystate"), Variant(), result), 0);
        QCOMPARE(result, Variant(QByteArray(8, '\x01')));
        QCOMPARE(c->FinalExecute(QStringLiteral("getinproceventkey"), Variant(), result), 0);
        QCOMPARE(result, Variant(QByteArray(8, '\xff')));
        for (const char *accepted : {"resetudpdest", "setkeystate", "setpanelstate", "nosuchcommand"}) {
            QCOMPARE(c->FinalExecute(QString::fromLatin1(accepted), Variant(1), result), 0);
            QVERIFY(result.isEmpty());
        }
        QCOMPARE(c->FinalExecute(QStringLiteral("backlight"), Variant(), result), 5);
        QVERIFY(result.isEmpty());
        QCOMPARE(mini->calls.mid(mini->calls.indexOf("SetLED")),
                 (QStringList{"SetLED", "SetBeep", "SetLCD", "DrawDisplay", "SetInprocEventKey", "GetKeyState",
                              "GetInprocEventKey"}));
    }

    void executeByPendantType()
    {
        auto c = std::make_shared<ProvController>();
        Variant result;
        Variant p = connectParams(Variant(""));
        QCOMPARE(c->FinalConnect(p), 0);
        QCOMPARE(c->FinalExecute(QStringLiteral("lcd"), Variant(1), result), 438);
        QCOMPARE(c->FinalExecute(QStringLiteral("drawminitp"), Variant(1), result), 438);
        QCOMPARE(c->FinalExecute(QStringLiteral("backlight"), Variant(), result), 0);

        for (const char *options : {"PendantType=-1", "PendantType=2"}) {
            Variant q = connectParams(Variant(options));
            QCOMPARE(c->FinalConnect(q), 0);
            QCOMPARE(c->FinalExecute(QStringLiteral("backlight"), Variant(), result), 5);
        }
        // Pendant-less: the window operations are skipped and succeed with Empty.
        for (const char *cmd :
             {"led", "getkeystate", "beep", "drawminitp", "lcd", "setinproceventkey", "getinproceventkey"}) {
            result = Variant(1);
            QCOMPARE(c->FinalExecute(QString::fromLatin1(cmd), Variant::array({1, 1}), result), 0);
            QVERIFY(result.isEmpty());
        }
        QCOMPARE(c->FinalExecute(QStringLiteral("getvisible"), Variant(), result), 0);
        QCOMPARE(result, Variant(false));
    }

    void secondaryObjectsAreNeutral()
    {
        ProvVariable v;
        QCOMPARE(v.FinalPutValue(Variant(5)), 0);
        Variant out(1);
        QCOMPARE(v.FinalGetValue(out), 0);
        QVERIFY(out.isEmpty());
        ProvRobot r;
        QCOMPARE(r.FinalPutID(Variant("id")), 0);
        out = Variant(1);
        QCOMPARE(r.FinalGetID(out), 0);
        QVERIFY(out.isEmpty());
        ProvFile f;
        int32_t size = 7;
        QCOMPARE(f.FinalGetSize(size), 0);
        QCOMPARE(size, 0);
        QString path = QStringLiteral("x");
        QCOMPARE(f.FinalRun(QStringLiteral("opt"), path), 0);
        QVERIFY(path.isEmpty());
        ProvCommand cmd;
        int32_t state = 3;
        QCOMPARE(cmd.FinalPutTimeout(100), 0);
        QCOMPARE(cmd.FinalGetTimeout(state), 0);
        QCOMPARE(state, 0);
        ProvTask t;
        QCOMPARE(t.FinalStart(1, QString()), 0);
        ProvExtension e;
        QCOMPARE(e.FinalExecute(QStringLiteral("x"), Variant(1), out), 0);
        QVERIFY(out.isEmpty());
    }

    void splitCommandLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("empty") << "" << 0 << QStringList{};
        QTest::newRow("blanks") << " \t " << 0 << QStringList{};
        QTest::newRow("one") << "10.0.0.2" << 1 << QStringList{"10.0.0.2"};
        QTest::newRow("trailing blanks") << "a b   " << 2 << QStringList{"a", "b"};
        QTest::newRow("tabs") << "a\tb" << 2 << QStringList{"a", "b"};
        QTest::newRow("quoted blanks") << "\"a b\" c" << 2 << QStringList{"a b", "c"};
        QTest::newRow("empty quotes") << "\"\" x" << 2 << QStringList{"", "x"};
        QTest::newRow("quote inside plain") << "a\"b c" << 2 << QStringList{"a\"b", "c"};
        QTest::newRow("sixth ignored") << "1 2 3 4 5 6" << 5 << QStringList{"1", "2", "3", "4", "5"};
        QTest::newRow("fifth quoted then more") << "1 2 3 4 \"5 5\" 6" << 5 << QStringList{"1", "2", "3", "4", "5 5"};
        QTest::newRow("unterminated quote") << "\"a b" << 1 << QStringList{"a b"};
    }
    void splitCommandLine()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, args);
        QStringList got;
        QTEST(int(SplitCommandLine(got, line)), "count");
        QCOMPARE(got.size(), 6);
        for (int i = 0; i < args.size(); ++i)
            QCOMPARE(got[i + 1], args[i]);
    }

    void leadingNumbers()
    {
        QCOMPARE(leadingNumber(QStringLiteral("1")), 1.0);
        QCOMPARE(leadingNumber(QStringLiteral("-1abc")), -1.0);
        QCOMPARE(leadingNumber(QStringLiteral("MiniTP")), 0.0);
        QCOMPARE(leadingNumber(QStringLiteral(" 1 2")), 12.0);
        QCOMPARE(leadingNumber(QStringLiteral("1.5x")), 1.5);
    }

    void mainHostedAndStandalone()
    {
        CapturingDiagnostics capture;
        auto link = makeLink();
        bool dialogShown = false;
        StartupEnvironment env;
        env.startedByUser = false;
        env.runConnectDialog = [&] {
            dialogShown = true;
            return ConnectChoice{};
        };
        env.createLink = [&] { return link; };
        Main(env);
        QVERIFY(!dialogShown);
        QVERIFY(!g_Standalone);
        QVERIFY(!g_TPComm);
        QCOMPARE(g_TPKeyTable->Count(), 37);

        env.startedByUser = true;
        env.commandLine = QStringLiteral("192.168.0.5");
        Main(env);
        QVERIFY(g_Standalone);
        QCOMPARE(link->openedName, QStringLiteral("TPComm"));
        QCOMPARE(link->openedOptions, QStringLiteral("TPClient, UDP=192.168.0.5:5010:255.255.255.255:5009"));
        QCOMPARE(link->variableName, QStringLiteral("@Enabled"));
        QCOMPARE(link->enabled, Variant(true));
        auto *w = windowOf(PendantKind::Standard);
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->calls.mid(0, 2), (QStringList{"Load", "Connect 1"}));
        QVERIFY(capture.boxes.isEmpty());
    }

    void mainFiveArgumentsAndDialog()
    {
        CapturingDiagnostics capture;
        auto link = makeLink();
        StartupEnvironment env;
        env.createLink = [&] { return link; };
        env.commandLine = QStringLiteral("1.2.3.4 6000 5.6.7.8 6001 1");
        Main(env);
        QVERIFY(windowOf(PendantKind::Mini) && windowOf(PendantKind::Mini)->isVisible());
        QCOMPARE(link->openedOptions, QStringLiteral("TPClient, UDP=1.2.3.4:6000:5.6.7.8:6001"));

        resetProcessState();
        registerRecordingWindows();
        env.commandLine.clear();
        ConnectChoice choice;
        choice.destIP = QStringLiteral("10.1.1.1");
        choice.destPort = 7000;
        choice.useSrcIP = false;
        choice.srcIP = QStringLiteral("ignored");
        choice.useSrcPort = false;
        choice.type = -1;
        choice.cancel = false;
        env.runConnectDialog = [&] { return choice; };
        Main(env);
        QCOMPARE(link->openedOptions, QStringLiteral("TPClient, UDP=10.1.1.1:7000:255.255.255.255:5009"));
        QVERIFY(windowOf(PendantKind::Old));

        resetProcessState();
        registerRecordingWindows();
        choice.cancel = true;
        link->openedOptions.clear();
        Main(env);
        QVERIFY(link->openedOptions.isEmpty());
        QVERIFY(!g_Standalone);
        QVERIFY(!existingPendantWindow(PendantKind::Standard));
    }

    void mainFailureShowsWarning()
    {
        CapturingDiagnostics capture;
        auto link = makeLink();
        link->failOpen = true;
        StartupEnvironment env;
        env.commandLine = QStringLiteral("x");
        env.createLink = [&] { return link; };
        QVERIFY(!Main(env));
        QCOMPARE(capture.boxes.size(), 1);
        QCOMPARE(capture.boxes[0].text, QStringLiteral("bad options"));
        QCOMPARE(capture.boxes[0].icon, Diagnostics::Icon::Exclamation);
        QVERIFY(!g_TPComm);
        QVERIFY(!existingPendantWindow(PendantKind::Standard));
    }

    void closeStandaloneLinkIgnoresErrors()
    {
        CloseStandaloneLink(); // never created
        auto link = makeLink();
        g_TPComm = link;
        CloseStandaloneLink();
        QCOMPARE(link->closes, 1);
        QVERIFY(!g_TPComm);
    }

    void windowProcedures()
    {
        QWidget w;
        QCOMPARE(systemMenuItems(&w).size(), 6);
        RemoveCloseItem(&w);
        QVERIFY(!systemMenuItems(&w).contains("Close"));
        QVERIFY(systemMenuItems(&w).contains("Move"));
        RemoveSystemMenu(&w);
        QVERIFY(systemMenuItems(&w).isEmpty());
        QVERIFY(!(w.windowFlags() & Qt::WindowSystemMenuHint));
        SetAppWindow(&w, false, false);
        QVERIFY(!isAppWindow(&w));
        QVERIFY(!w.isVisible());
        SetAppWindow(&w, true, true);
        QVERIFY(isAppWindow(&w));
        QVERIFY(w.isVisible());
        SetAppWindow(&w, false, false); // visible before: shown again
        QVERIFY(w.isVisible());
        QVERIFY(!isAppWindow(&w));
        SetZOrder(&w, kZBottom);
        QCOMPARE(zOrderRequest(&w), QStringLiteral("bottom"));
        SetZOrder(&w, 0x1234);
        QCOMPARE(zOrderRequest(&w), QStringLiteral("after:4660"));
        QLineEdit edit(QStringLiteral("12345"));
        SelectAllText(&edit);
        QCOMPARE(edit.selectedText(), QStringLiteral("12345"));
        SelectAllText(nullptr);
    }
};

QTEST_MAIN(TestProvider)
#include "test_provider.moc"
