// The virtual controller end to end on 127.0.0.1: a real UdpPendantLink (or a plain socket where
// the test needs to forge datagrams) as the pendant, the controller's lines captured in strings.

#include "commandrunner.h"
#include "commands.h"
#include "demoscreens.h"
#include "jsonvariant.h"
#include "capturedcontroller.h"
#include "virtualcontroller.h"

#include "link/udplink.h"
#include "pendant/minidisplay.h"
#include "support/keybits.h"
#include "support/udppeer.h"

#include <QTemporaryFile>
#include <QTest>
#include <QTextStream>

using namespace tarvisk;
using namespace tarvisk::controller;
using namespace tarvisk::testing;

namespace {

constexpr int Generous = 5000; // ms; only an upper bound for something expected much sooner

Variant L(int32_t v)
{
    return Variant(v);
}

struct ReceivedMessage
{
    int32_t number;
    Variant value;
};

// A controller on a free port and a pendant link opened to it; both sides recorded.
struct Rig : CapturedController
{
    explicit Rig(ControllerOptions options = {})
        : CapturedController(std::move(options))
    {
        QObject::connect(&link, &IPendantLink::OnMessage, [this](ILinkMessage &m, qint32) {
            messages.append({m.Number(), m.Value()});
            if (m.Number() == 0)
                m.Reply(Variant());
        });
    }

    void open()
    {
        link.Open(QStringLiteral("TPComm"),
                  QStringLiteral("TPClient, UDP=127.0.0.1:%1:127.0.0.1:0").arg(controller->localPort()));
    }

    QList<ReceivedMessage> messagesNumbered(int32_t number) const
    {
        QList<ReceivedMessage> out;
        for (const ReceivedMessage &m : messages) {
            if (m.number == number)
                out << m;
        }
        return out;
    }
    void keys(std::initializer_list<int> codes)
    {
        link.Execute(QStringLiteral("SetKeyState"), Variant(bitmapOf(codes)));
    }

    UdpPendantLink link;
    QList<ReceivedMessage> messages;
};

ControllerOptions noWatchdog()
{
    ControllerOptions o;
    o.watchdogMs = 0;
    return o;
}

linkwire::Datagram keyStateDatagram(quint32 sequence, std::initializer_list<int> codes)
{
    linkwire::Datagram d;
    d.kind = linkwire::Kind::Exec;
    d.sequence = sequence;
    d.command = QStringLiteral("SetKeyState");
    d.value = Variant(bitmapOf(codes));
    return d;
}

linkwire::Datagram helloDatagram()
{
    linkwire::Datagram d;
    d.kind = linkwire::Kind::Hello;
    d.sequence = 0;
    d.name = QStringLiteral("TPComm");
    return d;
}

// How many pixels of a row band of the display are black.
int blackPixels(const MiniDisplay &display, int unitTop, int unitBottom)
{
    int n = 0;
    for (int y = unitTop * MiniDisplay::PixelsPerUnit; y < unitBottom * MiniDisplay::PixelsPerUnit; ++y) {
        for (int x = 0; x < MiniDisplay::PixelWidth; ++x)
            n += display.image().pixel(x, y) == MiniDisplay::toRgb(MiniDisplay::Black) ? 1 : 0;
    }
    return n;
}

} // namespace

class TestController : public QObject
{
    Q_OBJECT
private slots:
    void jsonMapsToNestedVariants();
    void commandLinesParseOrFail();
    void keyChangesAreReportedByName();
    void miniPendantUsesItsKeyNames();
    void scriptCommandsReachThePendant();
    void drawingListArrivesAsTheSameVariant();
    void demoTogglesLedAndBeeps();
    void miniDemoDrawsAMenuThePendantCanShow();
    void garbageIsCountedAndIgnored();
    void staleAndForeignKeyStatesAreIgnored();
    void silentPendantHasItsKeysReleased();
    void givenPendantEndpointNeedsNoHello();
};

void TestController::jsonMapsToNestedVariants()
{
    Variant v;
    QString error;
    QVERIFY(variantFromJson(QStringLiteral(R"([1, -2.5, 2.0, 1e2, "é\n", null, true, [], [[7]]])"), &v, &error));
    QCOMPARE(v, Variant::array({L(1), Variant(-2.5), Variant(2.0), Variant(100.0), Variant("é\n"), Variant::null(),
                                Variant(true), Variant(VariantArray()), Variant::array({Variant::array({L(7)})})}));
    // Scalars stand alone too; the Long range is the limit of an integer.
    QVERIFY(variantFromJson(QStringLiteral(" -2147483648 "), &v, &error));
    QCOMPARE(v, L(std::numeric_limits<int32_t>::min()));
    QVERIFY(variantFromJson(QStringLiteral("\"x\""), &v, &error));
    QCOMPARE(v, Variant("x"));

    const Variant before = v;
    for (const char *bad : {"2147483648", "{\"a\":1}", "[1,{}]", "[1,", "1 2", "", "nul", "[1]]"}) {
        error.clear();
        QVERIFY2(!variantFromJson(QString::fromUtf8(bad), &v, &error), bad);
        QVERIFY2(!error.isEmpty(), bad);
        QCOMPARE(v, before);
    }

    // Printed values read back as the same value where JSON has the words for them.
    const Variant printed = Variant::array({L(3), Variant(2.0), Variant(0.1), Variant("a\"b"), Variant::null()});
    QCOMPARE(variantText(printed), QStringLiteral(R"([3,2.0,0.1,"a\"b",null])"));
    QVERIFY(variantFromJson(variantText(printed), &v, &error));
    QCOMPARE(v, printed);
    QCOMPARE(variantText(Variant::array({Variant(), Variant(uint8_t(200)), Variant(int16_t(-2)), Variant(1.5f),
                                         Variant(QByteArray::fromHex("00ff"))})),
             QStringLiteral("[Empty,Byte(200),Integer(-2),Single(1.5),bytes(00 ff)]"));
}

void TestController::commandLinesParseOrFail()
{
    auto sends = [](const QString &line, int32_t number, const Variant &value) {
        const ParsedCommand p = parseCommand(line);
        QVERIFY2(p.error.isEmpty(), qPrintable(line + u' ' + p.error));
        QCOMPARE(p.command.kind, Command::Kind::Send);
        QCOMPARE(p.command.number, number);
        QCOMPARE(p.command.value, value);
    };
    sends(QStringLiteral("  LED 3 2 "), 257, Variant::array({L(3), L(2)}));
    sends(QStringLiteral("beep -1"), 256, L(-1));
    sends(QStringLiteral("text \"READY\""), 258, Variant("READY"));
    sends(QStringLiteral("msg 0"), 0, Variant());
    sends(QStringLiteral("msg -7 [1, \"two words\"]"), -7, Variant::array({L(1), Variant("two words")}));
    sends(QStringLiteral("draw []"), 259, Variant(VariantArray()));
    sends(QStringLiteral("draw [[0, null, 5]]"), 259, Variant::array({Variant::array({L(0), Variant::null(), L(5)})}));

    QCOMPARE(parseCommand(QStringLiteral("sleep 250")).command.kind, Command::Kind::Sleep);
    QCOMPARE(parseCommand(QStringLiteral("sleep 250")).command.sleepMs, 250);
    QCOMPARE(parseCommand(QStringLiteral("   # led 1 1")).command.kind, Command::Kind::Nothing);
    QCOMPARE(parseCommand(QString()).command.kind, Command::Kind::Nothing);
    QCOMPARE(parseCommand(QStringLiteral("Quit")).command.kind, Command::Kind::Quit);
    QCOMPARE(parseCommand(QStringLiteral("wait")).command.kind, Command::Kind::Wait);

    for (const char *bad : {"led 1", "led 1 2 3", "led one 2", "beep", "beep 1.5", "text", "draw 5", "draw [5]",
                            "draw [[1]]", "draw [[\"a\", 1]]", "draw [[1,2]", "msg", "msg x 1", "msg 1 {}", "sleep -1",
                            "sleep 99999999", "state now", "quit 1", "jump"}) {
        const ParsedCommand p = parseCommand(QString::fromUtf8(bad));
        QVERIFY2(!p.error.isEmpty(), bad);
        QCOMPARE(p.command.kind, Command::Kind::Nothing);
    }
}

void TestController::keyChangesAreReportedByName()
{
    Rig rig(noWatchdog());
    QVERIFY(rig.bound);
    rig.open();
    QTRY_VERIFY_WITH_TIMEOUT(rig.lines().contains(QStringLiteral("pendant connected")), Generous);
    rig.link.GetVariable(QStringLiteral("@Enabled"), QString())->setValue(Variant(true));
    QTRY_VERIFY_WITH_TIMEOUT(rig.lines().contains(QStringLiteral("pendant enabled")), Generous);

    rig.keys({14}); // byte 1, bit 6
    QTRY_COMPARE_WITH_TIMEOUT(rig.keyLines(), QStringList{QStringLiteral("TP_KEY_OK pressed")}, Generous);
    // Heartbeats repeat the state and print nothing.
    const quint64 keyStates = rig.controller->counters().keyStates;
    QTRY_VERIFY_WITH_TIMEOUT(rig.controller->counters().heartbeats >= 3, Generous);
    QVERIFY(rig.controller->counters().keyStates >= keyStates + 3);
    QCOMPARE(rig.keyLines().size(), 1);

    rig.keys({});
    QTRY_COMPARE_WITH_TIMEOUT(rig.keyLines().size(), 2, Generous);
    QCOMPARE(rig.keyLines().last(), QStringLiteral("TP_KEY_OK released"));

    // The mode switch: its key is one more bit; a new position releases the old one first.
    rig.keys({3, 48});
    QTRY_COMPARE_WITH_TIMEOUT(rig.keyLines().size(), 4, Generous);
    QCOMPARE(rig.keyLines().mid(2), (QStringList{"TP_KEY_AUTO pressed", "TP_KEY_DEAD pressed"}));
    rig.keys({5, 48, 56});
    QTRY_COMPARE_WITH_TIMEOUT(rig.keyLines().size(), 7, Generous);
    QCOMPARE(rig.keyLines().mid(4), (QStringList{"TP_KEY_AUTO released", "TP_KEY_TC pressed", "TP_KEY_P_J6 pressed"}));

    CommandRunner runner(*rig.controller, QStringLiteral("stdin"));
    runner.addLine(QStringLiteral("state"));
    QVERIFY(
        rig.lines().last().startsWith(QStringLiteral("held: TP_KEY_TC TP_KEY_DEAD TP_KEY_P_J6 (pendant 127.0.0.1:")));

    // Closing releases whatever is still held.
    rig.link.Close();
    QTRY_VERIFY_WITH_TIMEOUT(rig.lines().contains(QStringLiteral("pendant closed")), Generous);
    QCOMPARE(rig.keyLines().mid(7),
             (QStringList{"TP_KEY_TC released", "TP_KEY_DEAD released", "TP_KEY_P_J6 released"}));
    QVERIFY(!rig.controller->isConnected());
    QVERIFY(rig.controller->heldKeys().isEmpty());
    QVERIFY(rig.errors().isEmpty());

    // A new opening is a new pendant.
    rig.open();
    QTRY_COMPARE_WITH_TIMEOUT(rig.lines().count(QStringLiteral("pendant connected")), 2, Generous);
    rig.keys({14});
    QTRY_COMPARE_WITH_TIMEOUT(rig.keyLines().last(), QStringLiteral("TP_KEY_OK pressed"), Generous);
}

void TestController::miniPendantUsesItsKeyNames()
{
    ControllerOptions options = noWatchdog();
    options.mini = true;
    Rig rig(options);
    rig.open();
    rig.keys({4, 37, 20, 7}); // 7 has no key in either family
    QTRY_COMPARE_WITH_TIMEOUT(rig.keyLines().size(), 4, Generous);
    QCOMPARE(rig.keyLines(),
             (QStringList{"MP_KEY_MAN pressed", "key 7 pressed", "MP_KEY_P_J1 pressed", "MP_KEY_UP pressed"}));
    QCOMPARE(rig.controller->keyName(19), QStringLiteral("MP_KEY_SHIFT"));
    QCOMPARE(rig.controller->keyName(47), QStringLiteral("MP_KEY_SPD"));
}

void TestController::scriptCommandsReachThePendant()
{
    Rig rig(noWatchdog());
    QTemporaryFile script;
    QVERIFY(script.open());
    script.write("# waits for the pendant, then drives it\r\n"
                 "wait\n"
                 "led 1 2\n"
                 "jump around\n"
                 "led 1\n"
                 "sleep 50\n"
                 "beep 300\n"
                 "text [\"READY\", 1]\n"
                 "msg 0\n");
    script.close();

    CommandRunner runner(*rig.controller, QStringLiteral("demo.txt"));
    bool finished = false;
    connect(&runner, &CommandRunner::finished, this, [&] { finished = true; });
    QString error;
    QVERIFY(runner.addScriptFile(script.fileName(), &error));
    runner.endOfInput();
    QCOMPARE(runner.linesRun(), 2); // held at "wait"
    QVERIFY(!finished);

    rig.open();
    QTRY_COMPARE_WITH_TIMEOUT(rig.messages.size(), 4, Generous);
    QCOMPARE(rig.messages[0].number, 257);
    QCOMPARE(rig.messages[0].value, Variant::array({L(1), L(2)}));
    QCOMPARE(rig.messages[1].number, 256);
    QCOMPARE(rig.messages[1].value, L(300));
    QCOMPARE(rig.messages[2].number, 258);
    QCOMPARE(rig.messages[2].value, Variant::array({Variant("READY"), L(1)}));
    QCOMPARE(rig.messages[3].number, 0);
    QTRY_VERIFY_WITH_TIMEOUT(rig.lines().contains(QStringLiteral("reply to message 0: Empty")), Generous);
    QVERIFY(finished);

    // The two bad lines were reported with their place and skipped.
    QCOMPARE(rig.errors().size(), 2);
    QVERIFY(rig.errors()[0].startsWith(QStringLiteral("error: demo.txt:4: unknown command")));
    QVERIFY(rig.errors()[1].startsWith(QStringLiteral("error: demo.txt:5: usage: led")));

    // "quit" ends the input: nothing after it runs.
    CommandRunner second(*rig.controller, QStringLiteral("stdin"));
    int quits = 0;
    connect(&second, &CommandRunner::quitRequested, this, [&] { ++quits; });
    second.addLines({QStringLiteral("quit"), QStringLiteral("led 2 1")});
    QCOMPARE(quits, 1);
    QTest::qWait(200);
    QCOMPARE(rig.messages.size(), 4);
}

void TestController::drawingListArrivesAsTheSameVariant()
{
    Rig rig(noWatchdog());
    rig.open();
    QTRY_VERIFY_WITH_TIMEOUT(rig.controller->isConnected(), Generous);
    CommandRunner runner(*rig.controller, QStringLiteral("stdin"));
    runner.addLine(
        QStringLiteral(R"(draw [[49,[0,0,10,10]], [16,15], [32,["OK\u001b2",1.5,2,null,0]], [48,[0.5,1,2e1,-3]]])"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.messages.size(), 1, Generous);
    QCOMPARE(rig.messages[0].number, 259);
    const Variant expected = Variant::array({
        Variant::array({L(49), Variant::array({L(0), L(0), L(10), L(10)})}),
        Variant::array({L(16), L(15)}),
        Variant::array({L(32), Variant::array({Variant(QStringLiteral("OK\x1b"
                                                                      "2")),
                                               Variant(1.5), L(2), Variant::null(), L(0)})}),
        Variant::array({L(48), Variant::array({Variant(0.5), L(1), Variant(20.0), L(-3)})}),
    });
    QCOMPARE(rig.messages[0].value, expected);

    // What cannot travel is refused with an error line; nothing is sent.
    QString deep = QStringLiteral("0");
    for (int i = 0; i < 40; ++i)
        deep = u'[' + deep + u']';
    runner.addLine(QStringLiteral("text ") + deep);
    QCOMPARE(rig.errors().size(), 1);
    QVERIFY(rig.errors()[0].contains(QStringLiteral("message 258 not sent")));
    QTest::qWait(200);
    QCOMPARE(rig.messages.size(), 1);
}

void TestController::demoTogglesLedAndBeeps()
{
    ControllerOptions options = noWatchdog();
    options.demo = true;
    Rig rig(options);
    rig.open();
    rig.keys({3, 6}); // AUTO, MOTOR
    QTRY_COMPARE_WITH_TIMEOUT(rig.messages.size(), 1, Generous);
    QCOMPARE(rig.messages[0].number, 257);
    QCOMPARE(rig.messages[0].value, Variant::array({L(1), L(1)}));
    rig.keys({3}); // a release changes nothing
    rig.keys({3, 6});
    QTRY_COMPARE_WITH_TIMEOUT(rig.messages.size(), 2, Generous);
    QCOMPARE(rig.messages[1].value, Variant::array({L(1), L(0)}));
    rig.keys({3, 6, 2}); // STOP with MOTOR still held: only the new press counts
    QTRY_COMPARE_WITH_TIMEOUT(rig.messages.size(), 3, Generous);
    QCOMPARE(rig.messages[2].number, 256);
    QCOMPARE(rig.messages[2].value, L(300));
    // Neither heartbeats nor the standard pendant's cursor keys draw anything.
    rig.keys({3, 10, 11, 14});
    QTRY_VERIFY_WITH_TIMEOUT(rig.controller->counters().heartbeats >= 3, Generous);
    QCOMPARE(rig.messages.size(), 3);
    QVERIFY(rig.lines().contains(QStringLiteral("demo: LED 1 on")));
    QVERIFY(rig.lines().contains(QStringLiteral("demo: LED 1 off")));
    QVERIFY(rig.lines().contains(QStringLiteral("demo: beep 300 ms")));
}

void TestController::miniDemoDrawsAMenuThePendantCanShow()
{
    ControllerOptions options = noWatchdog();
    options.demo = true;
    options.mini = true;
    Rig rig(options);
    rig.open();
    rig.keys({3}); // the first key state: the pendant's windows are up
    QTRY_COMPARE_WITH_TIMEOUT(rig.messagesNumbered(259).size(), 1, Generous);
    QCOMPARE(rig.messagesNumbered(259)[0].value, demoMenuScreen(0));

    // Drawn by the pendant's display, the bar is black and the other entries mostly unlit.
    auto barRows = [](int entry) { return std::pair(16 + 11 * entry, 16 + 11 * entry + 8); };
    auto shown = [&](const Variant &list) {
        auto display = std::make_unique<MiniDisplay>();
        display->DrawDisplay(list);
        return display;
    };
    auto checkBar = [&](const MiniDisplay &display, int selected) {
        for (int entry = 0; entry < 4; ++entry) {
            const auto [top, bottom] = barRows(entry);
            const int black = blackPixels(display, top, bottom);
            const int all = (bottom - top) * MiniDisplay::PixelsPerUnit * MiniDisplay::PixelWidth;
            if (entry == selected)
                QVERIFY2(black > all * 6 / 10, qPrintable(QString::number(entry)));
            else
                QVERIFY2(black < all * 3 / 10, qPrintable(QString::number(entry)));
        }
    };
    checkBar(*shown(rig.messagesNumbered(259)[0].value), 0);

    rig.keys({3, 36}); // DOWN
    QTRY_COMPARE_WITH_TIMEOUT(rig.messagesNumbered(259).size(), 2, Generous);
    checkBar(*shown(rig.messagesNumbered(259)[1].value), 1);
    rig.keys({3});
    rig.keys({3, 37}); // UP twice wraps to the last entry
    rig.keys({3});
    rig.keys({3, 37});
    QTRY_COMPARE_WITH_TIMEOUT(rig.messagesNumbered(259).size(), 4, Generous);
    checkBar(*shown(rig.messagesNumbered(259)[3].value), 3);

    rig.keys({3, 14}); // OK: the choice, framed
    QTRY_COMPARE_WITH_TIMEOUT(rig.messagesNumbered(259).size(), 5, Generous);
    const Variant choice = rig.messagesNumbered(259)[4].value;
    QCOMPARE(choice, demoChoiceScreen(3));
    bool framedChoice = false;
    for (const Variant &item : *choice.arrayItems()) {
        if (item.at(0) == L(0x20) && item.at(1).at(0) == Variant("4 Info"))
            framedChoice = (item.at(1).at(3).toLong() & 100) != 0;
    }
    QVERIFY(framedChoice);
    QVERIFY(rig.lines().contains(QStringLiteral("demo: chose \"4 Info\"")));
    // The last item of every list takes effect: no item stops the display early.
    const std::unique_ptr<MiniDisplay> chosen = shown(choice);
    QVERIFY(blackPixels(*chosen, 49, 57) > 0);

    rig.keys({3, 15}); // CANCEL: back to the menu where it was
    QTRY_COMPARE_WITH_TIMEOUT(rig.messagesNumbered(259).size(), 6, Generous);
    QCOMPARE(rig.messagesNumbered(259)[5].value, demoMenuScreen(3));
}

void TestController::garbageIsCountedAndIgnored()
{
    ControllerOptions options = noWatchdog();
    options.verbose = true;
    Rig rig(options);
    rig.open();
    QTRY_VERIFY_WITH_TIMEOUT(rig.controller->isConnected(), Generous);
    UdpPeer stranger;
    QVERIFY(stranger.bound());
    auto send = [&](const QByteArray &bytes) { stranger.sendRaw(bytes, rig.controller->localPort()); };
    linkwire::Datagram msg;
    msg.kind = linkwire::Kind::Message;
    msg.number = 257;
    send("hello world");                           // no CBOR
    send(QByteArray::fromHex("83010203"));         // CBOR, but no map
    send(QByteArray::fromHex("a1616b6477686174")); // {"k": "what"}
    send(linkwire::encode(msg));                   // a controller's message
    send(QByteArray(linkwire::MaxDatagramSize + 10, 'x'));
    send(linkwire::encode(keyStateDatagram(1, {14}))); // well formed, but not the pendant
    QTRY_COMPARE_WITH_TIMEOUT(rig.controller->counters().ignored(), quint64(6), Generous);
    const ControllerCounters &c = rig.controller->counters();
    QCOMPARE(c.malformed, quint64(2));
    QCOMPARE(c.unknownKind, quint64(1));
    QCOMPARE(c.unexpected, quint64(1));
    QCOMPARE(c.tooLarge, quint64(1));
    QCOMPARE(c.foreign, quint64(1));
    QVERIFY(rig.keyLines().isEmpty());
    QCOMPARE(rig.lines().filter(QStringLiteral("ignored")).size(), 6);

    // The pendant still gets through afterwards.
    rig.keys({14});
    QTRY_COMPARE_WITH_TIMEOUT(rig.keyLines(), QStringList{QStringLiteral("TP_KEY_OK pressed")}, Generous);
    QVERIFY(rig.errors().isEmpty());
}

void TestController::staleAndForeignKeyStatesAreIgnored()
{
    Rig rig(noWatchdog());
    UdpPeer pendant;
    QVERIFY(pendant.bound());
    auto send = [&](const linkwire::Datagram &d) { pendant.send(d, rig.controller->localPort()); };
    send(helloDatagram());
    send(keyStateDatagram(5, {14}));
    QTRY_COMPARE_WITH_TIMEOUT(rig.keyLines().size(), 1, Generous);
    send(keyStateDatagram(3, {}));   // overtaken on the way
    send(keyStateDatagram(5, {15})); // repeated number
    QTRY_COMPARE_WITH_TIMEOUT(rig.controller->counters().stale, quint64(2), Generous);
    send(keyStateDatagram(6, {}));
    QTRY_COMPARE_WITH_TIMEOUT(rig.keyLines().size(), 2, Generous);
    QCOMPARE(rig.keyLines(), (QStringList{"TP_KEY_OK pressed", "TP_KEY_OK released"}));

    // Serial-number order: half the range ahead counts as older; the count may wrap.
    send(keyStateDatagram(0x80000006u, {2}));
    send(keyStateDatagram(0xfffffff0u, {2}));
    QTRY_COMPARE_WITH_TIMEOUT(rig.controller->counters().stale, quint64(4), Generous);
    send(keyStateDatagram(0x70000000u, {}));
    send(keyStateDatagram(0xe0000000u, {}));
    send(keyStateDatagram(5, {2}));
    QTRY_COMPARE_WITH_TIMEOUT(rig.keyLines().size(), 3, Generous);
    QCOMPARE(rig.keyLines().last(), QStringLiteral("TP_KEY_STOP pressed"));
    QCOMPARE(rig.controller->counters().stale, quint64(4));
    // A hello starts a new count.
    send(keyStateDatagram(6, {}));
    QTRY_COMPARE_WITH_TIMEOUT(rig.keyLines().size(), 4, Generous);
    send(helloDatagram());
    send(keyStateDatagram(1, {2}));
    QTRY_COMPARE_WITH_TIMEOUT(rig.keyLines().size(), 5, Generous);
    QCOMPARE(rig.keyLines().last(), QStringLiteral("TP_KEY_STOP pressed"));

    // A key state of the wrong size is no key state.
    linkwire::Datagram bad = keyStateDatagram(2, {});
    bad.value = Variant(QByteArray(7, '\0'));
    send(bad);
    QTRY_COMPARE_WITH_TIMEOUT(rig.controller->counters().badKeyState, quint64(1), Generous);
    QCOMPARE(rig.controller->heldKeys(), QList<int>{2});

    // Another pendant's hello takes over, releasing the keys of the first.
    UdpPendantLink other;
    QObject::connect(&other, &IPendantLink::OnMessage, [&](ILinkMessage &m, qint32) {
        rig.messages.append({m.Number(), m.Value()});
    });
    other.Open(QStringLiteral("TPComm"),
               QStringLiteral("TPClient, UDP=127.0.0.1:%1:127.0.0.1:0").arg(rig.controller->localPort()));
    QTRY_COMPARE_WITH_TIMEOUT(rig.keyLines().size(), 6, Generous);
    QCOMPARE(rig.keyLines().last(), QStringLiteral("TP_KEY_STOP released"));
    send(keyStateDatagram(3, {14})); // the first one is foreign now
    QTRY_COMPARE_WITH_TIMEOUT(rig.controller->counters().foreign, quint64(1), Generous);
    QVERIFY(rig.controller->sendMessage(256, L(5)));
    QTRY_COMPARE_WITH_TIMEOUT(rig.messages.size(), 1, Generous);
}

void TestController::silentPendantHasItsKeysReleased()
{
    ControllerOptions options;
    options.watchdogMs = 300;
    Rig rig(options);
    UdpPeer pendant;
    QVERIFY(pendant.bound());
    auto send = [&](const linkwire::Datagram &d) { pendant.send(d, rig.controller->localPort()); };
    send(helloDatagram());
    send(keyStateDatagram(1, {14, 48}));
    QTRY_COMPARE_WITH_TIMEOUT(rig.keyLines().size(), 2, Generous);
    // No heartbeat follows: the keys go, and come back with the next state.
    QTRY_COMPARE_WITH_TIMEOUT(rig.keyLines().size(), 4, Generous);
    QCOMPARE(rig.keyLines().mid(2), (QStringList{"TP_KEY_OK released", "TP_KEY_DEAD released"}));
    QVERIFY(rig.lines().filter(QStringLiteral("pendant silent")).size() == 1);
    QVERIFY(rig.controller->isConnected());
    send(keyStateDatagram(2, {48}));
    QTRY_COMPARE_WITH_TIMEOUT(rig.keyLines().size(), 5, Generous);
    QCOMPARE(rig.keyLines().last(), QStringLiteral("TP_KEY_DEAD pressed"));
    QVERIFY(rig.lines().contains(QStringLiteral("pendant heard again")));

    // A live link's heartbeat keeps its keys held, over more than twice the watchdog's time; the
    // watchdog is long here so that a busy machine's scheduling gaps do not trip it.
    options.watchdogMs = 1000;
    Rig live(options);
    live.open();
    live.keys({14});
    QTRY_VERIFY_WITH_TIMEOUT(live.link.counters().heartbeatsSent >= 25, 4 * Generous);
    QCOMPARE(live.keyLines(), QStringList{QStringLiteral("TP_KEY_OK pressed")});
}

void TestController::givenPendantEndpointNeedsNoHello()
{
    UdpPeer pendant;
    QVERIFY(pendant.bound());
    ControllerOptions options = noWatchdog();
    options.pendantAddress = QHostAddress(QHostAddress::LocalHost);
    options.pendantPort = pendant.port();
    Rig rig(options);
    QVERIFY(rig.controller->pendantKnown());
    QVERIFY(!rig.controller->isConnected());
    CommandRunner runner(*rig.controller, QStringLiteral("stdin"));
    runner.addLine(QStringLiteral("led 2 1"));
    QTRY_VERIFY_WITH_TIMEOUT(!pendant.received.isEmpty(), Generous);
    const linkwire::Decoded d = pendant.received.first().decoded;
    QCOMPARE(d.status, linkwire::DecodeStatus::Ok);
    QCOMPARE(d.datagram.kind, linkwire::Kind::Message);
    QCOMPARE(d.datagram.number, 257);
    QCOMPARE(d.datagram.value, Variant::array({L(2), L(1)}));

    // A link on another port is not the pendant that was given.
    rig.open();
    QTRY_VERIFY_WITH_TIMEOUT(rig.controller->counters().foreign >= 1, Generous);
    QVERIFY(!rig.controller->isConnected());
    // Without a known pendant nothing is sent, and the error says why.
    Rig lonely(noWatchdog());
    QVERIFY(!lonely.controller->sendMessage(257, Variant::array({L(1), L(1)})));
    QVERIFY(lonely.errors().value(0).contains(QStringLiteral("no pendant yet")));
}

QTEST_GUILESS_MAIN(TestController)
#include "tst_controller.moc"
