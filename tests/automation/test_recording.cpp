// The recording format (every event, every fault named with its line), the recorder on a real
// window, and the replay's comparison: matching sessions, each kind of difference, refused
// inputs and the fast mode.
#include "automation/recorder.h"
#include "automation/recording.h"
#include "automation/replayer.h"
#include "common/diagnostics.h"
#include "common/unitbitmap.h"
#include "link/udplink.h"
#include "pendant/displaybits.h"
#include "pendant/frmminitp.h"
#include "pendant/frmtp.h"
#include "pendant/minidisplay.h"
#include "provider/provstate.h"
#include "provider/startup.h"
#include "support/displaytest.h"
#include "support/keybits.h"
#include "support/pendantprocess.h"
#include "support/udppeer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace tarvisk;
using namespace tarvisk::testing;
using recording::Event;
using recording::Type;

namespace {

Event output(Type type, int64_t t)
{
    Event e;
    e.type = type;
    e.t = t;
    return e;
}

Event led(int64_t t, int number, int mode)
{
    Event e = output(Type::Led, t);
    e.number = number;
    e.mode = mode;
    return e;
}

Event start()
{
    Event s = output(Type::Start, 0);
    s.setting = QStringLiteral("standalone");
    s.arguments = {QStringLiteral("127.0.0.1")};
    return s;
}

Event pendantEvent(int type)
{
    Event p = output(Type::Pendant, 0);
    p.pendantType = type;
    return p;
}

const QByteArray kStartLine =
    R"({"t":0,"event":"start","format":"tarvisk-recording","version":1,"setting":"standalone","arguments":[]})";

} // namespace

class TestRecording : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<CapturingDiagnostics> diagnostics;
    std::unique_ptr<UdpPeer> controller;

    QString write(const QString &name, const QByteArray &content)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(content);
        return path;
    }

    // A standalone pendant of the type against a socket of the test's, its first tick done.
    PendantWindowBase *startStandalone(int type)
    {
        controller = std::make_unique<UdpPeer>();
        StartupEnvironment env;
        env.commandLine = QStringLiteral("127.0.0.1 %1 127.0.0.1 0 %2").arg(controller->port()).arg(type);
        env.createLink = [] { return std::make_shared<UdpPendantLink>(); };
        if (!Main(env))
            return nullptr;
        auto *w = dynamic_cast<PendantWindowBase *>(existingPendantWindow(pendantKindForType(type)));
        if (w)
            emit w->firstConnectionTimer()->Timer();
        return w;
    }

    // Runs the replay to its end; its report and status.
    int replay(Replayer &r, QStringList *report = nullptr, int timeoutMs = 10000)
    {
        int status = -1;
        connect(&r, &Replayer::finished, this, [&](int s) { status = s; });
        r.setReportWriter({});
        r.start();
        QElapsedTimer waited;
        waited.start();
        while (status < 0 && waited.elapsed() < timeoutMs)
            QTest::qWait(10);
        if (report)
            *report = r.report();
        return status;
    }

private slots:
    void init()
    {
        startPendantProcess();
        diagnostics = std::make_unique<CapturingDiagnostics>();
    }

    void cleanup()
    {
        resetProcessState();
        controller.reset();
        diagnostics.reset();
    }

    void everyEventRoundTrips()
    {
        QList<Event> events;
        Event s = start();
        s.arguments = {QStringLiteral("127.0.0.1"), QStringLiteral("5010"), QStringLiteral("a b")};
        events << s << pendantEvent(-1);
        Event press = output(Type::Press, 3001);
        press.key = QStringLiteral("TP_KEY_OK");
        press.source = QStringLiteral("touch");
        Event release = output(Type::Release, 3002);
        release.key = QStringLiteral("TP_KEY_SHIFT");
        release.source = QStringLiteral("program");
        Event beep = output(Type::Beeper, 3003);
        beep.sounding = true;
        beep.milliseconds = -1;
        Event display = output(Type::Display, 3004);
        MiniDisplay d;
        d.DrawDisplay(displaytest::list({displaytest::line(0, 0, 125, 61)}));
        display.digest = displayDigest(d);
        display.bits = displayUnitBits(d);
        Event state = output(Type::State, 3005);
        state.state = QStringLiteral("TPERROR");
        events << press << release << led(3003, 3, 2) << beep << display << state << output(Type::End, 4000);

        for (const Event &e : events) {
            Event back;
            QString error;
            const QByteArray line = recording::toJsonLine(e);
            QVERIFY2(!line.contains('\n'), line.constData());
            QVERIFY2(recording::parseLine(line, back, &error), qPrintable(error + u' ' + QString::fromUtf8(line)));
            QCOMPARE(recording::toJsonLine(back), line);
        }
        // The picture survives: the diagonal's ends are lit, a unit beside it is not.
        Event back;
        QString error;
        QVERIFY(recording::parseLine(recording::toJsonLine(display), back, &error));
        QVERIFY(unitbitmap::isLit(back.bits, 126, 0, 0) && unitbitmap::isLit(back.bits, 126, 125, 61));
        QVERIFY(!unitbitmap::isLit(back.bits, 126, 125, 0));
    }

    void badLinesAreNamed_data()
    {
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<QString>("fault");
        QTest::newRow("not json") << QByteArray("{\"t\":1,") << "not JSON";
        QTest::newRow("not an object") << QByteArray("[1,2]") << "not a JSON object";
        QTest::newRow("unknown event") << QByteArray(R"({"t":1,"event":"boom"})")
                                       << "\"event\" is \"boom\"; it must be one of start, pendant, press";
        QTest::newRow("no time") << QByteArray(R"({"event":"end"})") << "\"t\" is missing";
        QTest::newRow("negative time") << QByteArray(R"({"t":-4,"event":"end"})") << "\"t\" must be a whole number";
        QTest::newRow("led without mode")
            << QByteArray(R"({"t":1,"event":"led","number":1})") << "led event: \"mode\" is missing";
        QTest::newRow("led mode 3") << QByteArray(R"({"t":1,"event":"led","number":1,"mode":3})") << "from 0 to 2";
        QTest::newRow("unknown source") << QByteArray(R"({"t":1,"event":"press","key":"TP_KEY_OK","source":"voice"})")
                                        << "\"source\" is \"voice\"";
        QTest::newRow("empty key") << QByteArray(R"({"t":1,"event":"release","key":"","source":"mouse"})")
                                   << "\"key\" is empty";
        QTest::newRow("short bitmap") << QByteArray(R"({"t":1,"event":"display","digest":"sha256:)" +
                                                    QByteArray(64, 'a') + R"(","bits":"AAAA"})")
                                      << "base64 of 992 bytes";
        QTest::newRow("bad digest") << QByteArray(R"({"t":1,"event":"display","digest":"md5:1","bits":""})")
                                    << "\"digest\" must be";
        QTest::newRow("second start") << kStartLine << "a second \"start\"";
        QTest::newRow("empty line") << QByteArray("   ") << "the line is empty";
        QTest::newRow("state") << QByteArray(R"({"t":1,"event":"state","state":"ONLINE"})")
                               << "\"state\" is \"ONLINE\"";
    }

    void badLinesAreNamed()
    {
        QFETCH(QByteArray, second);
        QFETCH(QString, fault);
        const QString path =
            write(QStringLiteral("bad.jsonl"), kStartLine + '\n' + second + "\n" + R"({"t":9,"event":"end"})" + '\n');
        QList<Event> events;
        QString error;
        QVERIFY(!recording::readRecording(path, events, &error));
        QVERIFY2(error.startsWith(path + QStringLiteral(", line 2: ")), qPrintable(error));
        QVERIFY2(error.contains(fault), qPrintable(error));
        QVERIFY(events.isEmpty());
    }

    void badFilesAreNamed()
    {
        QList<Event> events;
        QString error;
        QVERIFY(!recording::readRecording(dir.filePath(QStringLiteral("missing")), events, &error));
        QVERIFY2(error.contains(u"cannot read the recording"), qPrintable(error));
        QVERIFY(!recording::readRecording(write(QStringLiteral("e"), ""), events, &error));
        QVERIFY2(error.contains(u"line 1: the file is empty"), qPrintable(error));
        QVERIFY(!recording::readRecording(write(QStringLiteral("s"), R"({"t":0,"event":"end"})"), events, &error));
        QVERIFY2(error.contains(u"line 1: a recording begins with a \"start\" event"), qPrintable(error));
        QByteArray newer = kStartLine;
        newer.replace("\"version\":1", "\"version\":2");
        QVERIFY(!recording::readRecording(write(QStringLiteral("v"), newer), events, &error));
        QVERIFY2(error.contains(u"format version 2; this build reads version 1"), qPrintable(error));
        const QByteArray late =
            kStartLine + "\n" + R"({"t":50,"event":"state","state":"CONNECT"})" + "\n" + R"({"t":40,"event":"end"})";
        QVERIFY(!recording::readRecording(write(QStringLiteral("t"), late), events, &error));
        QVERIFY2(error.contains(u"line 3: time 40 ms comes before the time of the line above (50 ms)"),
                 qPrintable(error));
        const QByteArray after = kStartLine + "\n" + R"({"t":1,"event":"end"})" + "\n" + R"({"t":2,"event":"end"})";
        QVERIFY(!recording::readRecording(write(QStringLiteral("a"), after), events, &error));
        QVERIFY2(error.contains(u"line 3: an event after \"end\""), qPrintable(error));
        // A recording cut off (its process killed, or still writing) has no "end": it never
        // replays as a pass.
        const QByteArray cut = kStartLine + "\n" + R"({"t":50,"event":"state","state":"CONNECT"})" + "\n";
        QVERIFY(!recording::readRecording(write(QStringLiteral("c"), cut), events, &error));
        QVERIFY2(error.endsWith(u"line 2: the recording stops without its \"end\" event: the recording process did "
                                u"not finish; record the session again"),
                 qPrintable(error));
        QVERIFY(events.isEmpty());
        QVERIFY(!recording::readRecording(write(QStringLiteral("c1"), kStartLine), events, &error));
        QVERIFY2(error.contains(u"line 1: the recording stops without its \"end\" event"), qPrintable(error));
        // Windows line ends and a missing final newline are fine.
        QVERIFY2(recording::readRecording(write(QStringLiteral("ok"), kStartLine + "\r\n" + R"({"t":2,"event":"end"})"),
                                          events, &error),
                 qPrintable(error));
        QCOMPARE(events.size(), 2);
    }

    void namesGoToTheStateFolder()
    {
        const QByteArray saved = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", "/srv/state");
        QCOMPARE(recording::resolvePath(QStringLiteral("s1.jsonl")), QStringLiteral("/srv/state/Tarvisk/s1.jsonl"));
        QCOMPARE(recording::resolvePath(QStringLiteral("./s1.jsonl")), QStringLiteral("./s1.jsonl"));
        QCOMPARE(recording::resolvePath(QStringLiteral("/tmp/s1")), QStringLiteral("/tmp/s1"));
        qputenv("XDG_STATE_HOME", "relative/ignored");
        QCOMPARE(recording::resolvePath(QStringLiteral("s1")),
                 QDir::homePath() + QStringLiteral("/.local/state/Tarvisk/s1"));
        if (saved.isNull())
            qunsetenv("XDG_STATE_HOME");
        else
            qputenv("XDG_STATE_HOME", saved);
    }

    // What the window shows is written as it changes, in the session's time.
    void recorderWritesTheOutputs()
    {
        const QString path = dir.filePath(QStringLiteral("deep/folder/session.jsonl"));
        Recorder recorder;
        QString error;
        QVERIFY2(recorder.open(path, QStringLiteral("standalone"), {QStringLiteral("127.0.0.1")}, &error),
                 qPrintable(error));
        auto *mini = dynamic_cast<frmMiniTP *>(startStandalone(1));
        QVERIFY(mini);
        Variant on = Variant::array({3, 1});
        mini->SetLED(on);
        Variant beep(200);
        mini->SetBeep(beep);
        Variant drawing = displaytest::list({displaytest::text(QStringLiteral("HI"), Variant(8), Variant(8))});
        mini->DrawDisplay(drawing);
        Variant nothing = displaytest::list({});
        mini->DrawDisplay(nothing); // writes no pixel: no change
        QTest::qWait(300);          // the beeper ends
        recorder.finish();

        QList<Event> events;
        QVERIFY2(recording::readRecording(path, events, &error), qPrintable(error));
        QStringList kinds;
        for (const Event &e : events)
            kinds << recording::typeName(e.type) + u' ' + (e.isOutput() ? e.valueText() : QString());
        // The first tick's state and default mode (turned by the window itself) come first, in
        // the window's order; then what the test did, in its order.
        QCOMPARE(kinds.size(), 9);
        QCOMPARE(kinds.mid(0, 2), (QStringList{QStringLiteral("start "), QStringLiteral("pendant ")}));
        QStringList tick = kinds.mid(2, 2);
        tick.sort();
        QCOMPARE(tick, (QStringList{QStringLiteral("press "), QStringLiteral("state CONNECT")}));
        QCOMPARE(kinds.mid(4), (QStringList{QStringLiteral("led mode 1"), QStringLiteral("beeper sounding 200 ms"),
                                            QStringLiteral("display ") + displayDigest(mini->display()),
                                            QStringLiteral("beeper silent"), QStringLiteral("end ")}));
        QCOMPARE(events[1].pendantType, 1);
        const Event &mode = events[2].type == Type::Press ? events[2] : events[3];
        QCOMPARE(mode.key + u' ' + mode.source, QStringLiteral("MP_KEY_MAN program"));
        QCOMPARE(events[4].number, 3);
        QCOMPARE(events[6].bits, displayUnitBits(mini->display()));
        QVERIFY(events[7].t - events[5].t >= 190);

        Recorder again;
        QVERIFY(!again.open(path, QStringLiteral("standalone"), {}, &error));
        QVERIFY2(error.contains(u"exists already") && error.contains(u"never overwritten"), qPrintable(error));
    }

    void matchingSessionExitsZero()
    {
        auto *tp = dynamic_cast<frmTP *>(startStandalone(0));
        QVERIFY(tp);
        Event beep = output(Type::Beeper, 120);
        beep.sounding = true;
        beep.milliseconds = 50;
        Event silent = output(Type::Beeper, 170);
        Replayer r({start(), pendantEvent(0), led(100, 2, 1), beep, led(150, 1, 2), silent, output(Type::End, 400)},
                   QStringLiteral("ok.jsonl"));
        // The outputs of another stream may come in another order.
        QTimer::singleShot(60, tp, [tp] {
            Variant b(50);
            tp->SetBeep(b);
        });
        QTimer::singleShot(80, tp, [tp] {
            Variant l = Variant::array({2, 1});
            tp->SetLED(l);
            Variant m = Variant::array({1, 2});
            tp->SetLED(m);
        });
        QStringList report;
        QCOMPARE(replay(r, &report), 0);
        QCOMPARE(report, QStringList{QStringLiteral("replay of ok.jsonl: all 4 outputs match (0 inputs played)")});
    }

    void differencesAreNamedInTimeOrder()
    {
        auto *tp = dynamic_cast<frmTP *>(startStandalone(0));
        QVERIFY(tp);
        Replayer r({start(), pendantEvent(0), led(100, 1, 1), led(200, 2, 1), led(300, 2, 0), output(Type::End, 400)},
                   QStringLiteral("d.jsonl"));
        QTimer::singleShot(250, tp, [tp] {
            Variant l = Variant::array({2, 1});
            tp->SetLED(l);
            Variant m = Variant::array({2, 2});
            tp->SetLED(m);
            Variant x = Variant::array({2, 0});
            tp->SetLED(x);
        });
        QStringList report;
        QCOMPARE(replay(r, &report), 1);
        QCOMPARE(report.size(), 4);
        QCOMPARE(report[0], QStringLiteral("replay of d.jsonl: 3 differences (3 outputs recorded, 0 inputs played)"));
        QCOMPARE(report[1], QStringLiteral("0.100 s  LED 1: recorded mode 1, the replay gave nothing"));
        QVERIFY2(report[2].startsWith(u"0.2") &&
                     report[2].contains(u"s  LED 2: the replay gave mode 0, which the recording does not have"),
                 qPrintable(report[2]));
        QVERIFY2(report[3].startsWith(u"0.300 s  LED 2: recorded mode 0, the replay gave mode 2 at 0.2"),
                 qPrintable(report[3]));
    }

    // A display that differs shows both pictures side by side, the differing rows marked.
    void displayDifferenceShowsBothPictures()
    {
        auto *mini = dynamic_cast<frmMiniTP *>(startStandalone(1));
        QVERIFY(mini);
        MiniDisplay expected;
        expected.DrawDisplay(displaytest::list({displaytest::box(0, 0, 10, 10)}));
        Event shown = output(Type::Display, 100);
        shown.digest = displayDigest(expected);
        shown.bits = displayUnitBits(expected);
        Replayer r({start(), pendantEvent(1), shown, output(Type::End, 200)}, QStringLiteral("p.jsonl"));
        QTimer::singleShot(50, mini, [mini] {
            Variant other = displaytest::list({displaytest::box(0, 0, 12, 10)});
            mini->DrawDisplay(other);
        });
        QStringList report;
        QCOMPARE(replay(r, &report), 1);
        QVERIFY2(report.size() == 2 + 1 + 62, qPrintable(report.join(u'\n')));
        QVERIFY(report[1].startsWith(u"0.100 s  display: recorded sha256:"));
        QVERIFY(report[2].contains(u"recorded at 0.100 s") && report[2].contains(u"| replay at"));
        const QStringList recordedRows = unitbitmap::textRows(shown.bits);
        const QStringList replayRows = unitbitmap::textRows(displayUnitBits(mini->display()));
        QCOMPARE(report[3], QStringLiteral("    ") + recordedRows[0] + QStringLiteral(" | ") + replayRows[0] +
                                QStringLiteral(" <"));
        QVERIFY(recordedRows[0] != replayRows[0] && recordedRows[0].startsWith(QStringLiteral("##########")));
        QCOMPARE(report[3 + 20],
                 QStringLiteral("    ") + QString(126, u'.') + QStringLiteral(" | ") + QString(126, u'.'));
    }

    void inputsArePlayedAndRefusalsReported()
    {
        QVERIFY(startStandalone(0));
        Event press = output(Type::Press, 100);
        press.key = QStringLiteral("TP_KEY_OK");
        press.source = QStringLiteral("mouse");
        Event release = press;
        release.type = Type::Release;
        release.t = 150;
        Replayer r({start(), pendantEvent(0), press, release, output(Type::End, 200)}, QStringLiteral("i.jsonl"));
        QStringList played;
        QElapsedTimer clock;
        clock.start();
        InputPlayer player;
        player.play = [&](const Event &e, QString *why) {
            played << QStringLiteral("%1 %2 %3")
                          .arg(recording::typeName(e.type), e.key,
                               clock.elapsed() >= e.t - 5 ? QStringLiteral("on time") : QStringLiteral("early"));
            if (e.type == Type::Release) {
                *why = QStringLiteral("the keys take no input now");
                return false;
            }
            return true;
        };
        r.setInputPlayer(player);
        QStringList report;
        QCOMPARE(replay(r, &report), 1);
        QCOMPARE(played,
                 (QStringList{QStringLiteral("press TP_KEY_OK on time"), QStringLiteral("release TP_KEY_OK on time")}));
        QCOMPARE(report.last(), QStringLiteral("0.150 s  release of TP_KEY_OK (recorded from the mouse): the pendant "
                                               "refused it: the keys take no input now"));
    }

    // The first connection tick comes a little later in a replay than it did when recording: an
    // input recorded just after it still waits for it, in either mode, and is taken.
    void inputsWaitForTheStateChangeBeforeThem()
    {
        for (const bool fast : {false, true}) {
            controller = std::make_unique<UdpPeer>();
            StartupEnvironment env;
            env.commandLine = QStringLiteral("127.0.0.1 %1 127.0.0.1 0 0").arg(controller->port());
            env.createLink = [] { return std::make_shared<UdpPendantLink>(); };
            QVERIFY(Main(env));
            auto *tp = dynamic_cast<PendantWindowBase *>(existingPendantWindow(PendantKind::Standard));
            QVERIFY(tp);
            Event connected = output(Type::State, 100);
            connected.state = QStringLiteral("CONNECT");
            Event press = output(Type::Press, 103);
            press.key = QStringLiteral("TP_KEY_OK");
            press.source = QStringLiteral("script");
            Event release = press;
            release.type = Type::Release;
            release.t = 150;
            Replayer r({start(), pendantEvent(0), connected, press, release, output(Type::End, 200)},
                       QStringLiteral("tick.jsonl"));
            r.setFast(fast);
            r.setInputPlayer(makeReplayInputPlayer());
            QElapsedTimer clock;
            clock.start();
            QTimer::singleShot(300, tp, [tp] { emit tp->firstConnectionTimer()->Timer(); });
            QStringList report;
            QCOMPARE(replay(r, &report, 5000), 0);
            QVERIFY2(report.join(u'\n').contains(u"(2 inputs played)"), qPrintable(report.join(u'\n')));
            QTRY_VERIFY_WITH_TIMEOUT(controller->keyStates().contains(bitmapOf({4, 14})), 2000);
            resetProcessState();
            startPendantProcess();
        }
    }

    // With --fast an input waits only for the outputs recorded before it.
    void fastPlaysAsSoonAsTheOutputsCame()
    {
        auto *tp = dynamic_cast<frmTP *>(startStandalone(0));
        QVERIFY(tp);
        Event press = output(Type::Press, 5000);
        press.key = QStringLiteral("TP_KEY_MOTOR");
        press.source = QStringLiteral("script");
        Replayer r({start(), pendantEvent(0), led(4000, 2, 1), press, led(8000, 2, 0), output(Type::End, 9000)},
                   QStringLiteral("f.jsonl"));
        r.setFast(true);
        QElapsedTimer clock;
        clock.start();
        qint64 playedAt = -1;
        InputPlayer player;
        player.play = [&](const Event &, QString *) {
            playedAt = clock.elapsed();
            QTimer::singleShot(20, tp, [tp] {
                Variant l = Variant::array({2, 0});
                tp->SetLED(l);
            });
            return true;
        };
        r.setInputPlayer(player);
        QTimer::singleShot(100, tp, [tp] {
            Variant l = Variant::array({2, 1});
            tp->SetLED(l);
        });
        QCOMPARE(replay(r, nullptr, 5000), 0);
        QVERIFY2(playedAt >= 100 && playedAt < 2000, qPrintable(QString::number(playedAt)));
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    }
};

QObject *makeRecordingTest()
{
    return new TestRecording;
}

#include "test_recording.moc"
