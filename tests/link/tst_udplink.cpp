// The UDP pendant link end to end on 127.0.0.1, with a UDP peer as the controller.

#include "link/udplink.h"
#include "support/errors.h"
#include "support/udppeer.h"

#include <QTest>
#include <QUdpSocket>

using namespace tarvisk;
using namespace tarvisk::testing;
using linkwire::Kind;

namespace {

constexpr int Generous = 5000; // ms; only an upper bound for something expected much sooner

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text));
}

// The controller's side: records every datagram it receives, decoded.
using Controller = testing::UdpPeer;

linkwire::Datagram message(int32_t number, const Variant &value, std::optional<quint32> sequence)
{
    linkwire::Datagram d;
    d.kind = Kind::Message;
    d.number = number;
    d.value = value;
    d.sequence = sequence;
    return d;
}

// A drawing list as the mini pendant's display takes it, with Empty, Null and bytes inside.
Variant drawingList()
{
    return Variant::array({
        Variant::array({Variant(int32_t(0x11)), Variant(int32_t(15))}),
        Variant::array({Variant(int32_t(0x31)),
                        Variant::array({Variant(0.0f), Variant(0.0f), Variant(125.5f), Variant(int16_t(61))})}),
        Variant::array({Variant(int32_t(0x20)), Variant::array({Variant("ＲＥＡＤＹ"), Variant(uint8_t(2)),
                                                                Variant(1.0), Variant(), Variant::null()})}),
        Variant::array({Variant(int32_t(0x30)), Variant(hex("00ff"))}),
        Variant::array({Variant::array({Variant::array({Variant()})})}),
    });
}

} // namespace

class TestUdpLink : public QObject
{
    Q_OBJECT
private slots:
    void openSendsHelloAndListensOnAnyAddress();
    void setKeyStateArrivesAsExactlyThoseBytes();
    void heartbeatRepeatsTheLastKeyState();
    void enabledVariableWriteIsSent();
    void controllerMessageArrivesAndReplyReturns();
    void handWrittenMessageIsRaised();
    void dropsAndCountsWhatIsNotForIt();
    void closeSendsCloseAndStopsHeartbeat();
    void operationsNeedAnOpenLink();
    void malformedOptionsFailWith5_data();
    void malformedOptionsFailWith5();
    void wellFormedOptions_data();
    void wellFormedOptions();
    void busyOwnPortFailsOpen();
    void handlersMayThrowOrClose();
};

void TestUdpLink::openSendsHelloAndListensOnAnyAddress()
{
    Controller controller;
    QVERIFY(controller.bound());
    UdpPendantLink link;
    link.Open(QStringLiteral("TPComm"),
              QStringLiteral("TPClient, UDP=127.0.0.1:%1:255.255.255.255:0").arg(controller.port()));
    QVERIFY(link.isOpen());
    QVERIFY(link.localPort() != 0);

    QTRY_COMPARE_WITH_TIMEOUT(controller.received.size(), 1, Generous);
    const Controller::Received &hello = controller.received.first();
    QCOMPARE(hello.decoded.status, linkwire::DecodeStatus::Ok);
    QCOMPARE(hello.decoded.datagram.kind, Kind::Hello);
    QCOMPARE(hello.decoded.datagram.name, QStringLiteral("TPComm"));
    QCOMPARE(hello.decoded.datagram.version, linkwire::ProtocolVersion);
    QCOMPARE(hello.decoded.datagram.sequence, std::optional<quint32>(0));
    QCOMPARE(hello.fromPort, link.localPort());

    // "255.255.255.255" as the own address listens on every address, 127.0.0.1 included.
    int raised = 0;
    connect(&link, &IPendantLink::OnMessage, this, [&](ILinkMessage &, qint32) { ++raised; });
    controller.send(message(256, Variant(int32_t(100)), 1), link.localPort());
    QTRY_COMPARE_WITH_TIMEOUT(raised, 1, Generous);
}

void TestUdpLink::setKeyStateArrivesAsExactlyThoseBytes()
{
    Controller controller;
    UdpPendantLink link;
    link.Open(QStringLiteral("TPComm"), controller.linkOptions());

    const QByteArray bits = hex("0840000000000081");
    QCOMPARE(link.Execute(QStringLiteral("SetKeyState"), Variant(bits)), Variant());
    QTRY_COMPARE_WITH_TIMEOUT(controller.ofKind(Kind::Exec).size(), 1, Generous);
    const linkwire::Datagram d = controller.ofKind(Kind::Exec).first();
    QCOMPARE(d.command, QStringLiteral("SetKeyState"));
    QCOMPARE(d.value, Variant(bits));
    QVERIFY(!d.heartbeat);
    // On the wire: "v" followed by an 8-byte byte string holding exactly the bitmap.
    QVERIFY(controller.received.last().bytes.contains(hex("617648") + bits));

    // An array of eight byte values travels as the same byte string.
    VariantArray asArray;
    for (char c : hex("0100000000000002"))
        asArray.append(Variant(int32_t(uint8_t(c))));
    link.Execute(QStringLiteral("setkeystate"), Variant(asArray));
    QTRY_COMPARE_WITH_TIMEOUT(controller.ofKind(Kind::Exec).size(), 2, Generous);
    QCOMPARE(controller.ofKind(Kind::Exec).last().value, Variant(hex("0100000000000002")));
    QCOMPARE(controller.ofKind(Kind::Exec).last().command, QStringLiteral("SetKeyState"));

    // Other commands carry their parameter as it is, nested values included.
    link.Execute(QStringLiteral("Custom"), drawingList());
    QTRY_COMPARE_WITH_TIMEOUT(controller.ofKind(Kind::Exec).size(), 3, Generous);
    QCOMPARE(controller.ofKind(Kind::Exec).last().command, QStringLiteral("Custom"));
    QCOMPARE(controller.ofKind(Kind::Exec).last().value, drawingList());

    // What cannot be a key state, or cannot travel, is refused before anything is sent.
    const quint64 sent = link.counters().datagramsSent;
    QCOMPARE(errorOf([&] { link.Execute(QStringLiteral("SetKeyState"), Variant(hex("01020304"))); }),
             int32_t(ErrInvalidArgument));
    QCOMPARE(errorOf([&] { link.Execute(QStringLiteral("SetKeyState"), Variant("0102030405060708")); }),
             int32_t(ErrTypeMismatch));
    QCOMPARE(errorOf([&] { link.Execute(QStringLiteral("Custom"), Variant(std::make_shared<VariantObject>())); }),
             int32_t(ErrTypeMismatch));
    QCOMPARE(errorOf([&] { link.Execute(QString(), Variant()); }), int32_t(ErrInvalidArgument));
    QCOMPARE(link.counters().datagramsSent, sent);
}

void TestUdpLink::heartbeatRepeatsTheLastKeyState()
{
    Controller controller;
    UdpPendantLink link;
    link.Open(QStringLiteral("TPComm"), controller.linkOptions());
    QTest::qWait(3 * UdpPendantLink::HeartbeatPeriodMs);
    QVERIFY2(controller.heartbeats().isEmpty(), "a heartbeat before any key state");

    link.Execute(QStringLiteral("SetKeyState"), Variant(hex("0040000000000000")));
    const QByteArray last = hex("0000000000000000");
    link.Execute(QStringLiteral("SetKeyState"), Variant(last));
    QTRY_VERIFY_WITH_TIMEOUT(controller.heartbeats().size() >= 1, Generous);

    for (const linkwire::Datagram &beat : controller.heartbeats()) {
        QCOMPARE(beat.command, QStringLiteral("SetKeyState"));
        QCOMPARE(beat.value, Variant(last));
    }
    QVERIFY(link.counters().heartbeatsSent >= 1);
    // Sequence numbers keep counting up through the repeats, so a controller can drop stale ones.
    quint32 expected = 0;
    for (const Controller::Received &r : controller.received)
        QCOMPARE(r.decoded.datagram.sequence, std::optional<quint32>(expected++));
}

void TestUdpLink::enabledVariableWriteIsSent()
{
    Controller controller;
    UdpPendantLink link;
    link.Open(QStringLiteral("TPComm"), controller.linkOptions());
    const std::shared_ptr<ILinkVariable> enabled = link.GetVariable(QStringLiteral("@Enabled"), QString());
    QCOMPARE(enabled->Value(), Variant());
    enabled->setValue(Variant(true));
    QCOMPARE(enabled->Value(), Variant(true));

    QTRY_COMPARE_WITH_TIMEOUT(controller.ofKind(Kind::Set).size(), 1, Generous);
    const linkwire::Datagram set = controller.ofKind(Kind::Set).first();
    QCOMPARE(set.name, QStringLiteral("@Enabled"));
    QCOMPARE(set.value, Variant(true));

    QCOMPARE(errorOf([&] { link.GetVariable(QStringLiteral("@Enabled"), QStringLiteral("x=1")); }),
             int32_t(ErrInvalidArgument));
    QCOMPARE(errorOf([&] { link.GetVariable(QStringLiteral(" "), QString()); }), int32_t(ErrInvalidArgument));
    link.Close();
    QCOMPARE(errorOf([&] { enabled->setValue(Variant(false)); }), int32_t(ErrObjectNotSet));
    QCOMPARE(enabled->Value(), Variant(true));
}

void TestUdpLink::controllerMessageArrivesAndReplyReturns()
{
    Controller controller;
    UdpPendantLink link;
    link.Open(QStringLiteral("TPComm"), controller.linkOptions());

    QList<std::pair<int32_t, Variant>> raised;
    connect(&link, &IPendantLink::OnMessage, this, [&](ILinkMessage &m, qint32 option) {
        QCOMPARE(option, 0);
        raised.append({m.Number(), m.Value()});
        m.Reply(m.Number() == 0 ? Variant() : Variant::array({Variant("done"), m.Value()}));
    });

    controller.send(message(259, drawingList(), 77), link.localPort());
    QTRY_COMPARE_WITH_TIMEOUT(raised.size(), 1, Generous);
    QCOMPARE(raised[0].first, 259);
    QVERIFY2(raised[0].second == drawingList(), qPrintable(raised[0].second.debugText()));

    QTRY_COMPARE_WITH_TIMEOUT(controller.ofKind(Kind::Reply).size(), 1, Generous);
    const linkwire::Datagram reply = controller.ofKind(Kind::Reply).first();
    QCOMPARE(reply.number, 259);
    QCOMPARE(reply.replyTo, std::optional<quint32>(77));
    QCOMPARE(reply.value, Variant::array({Variant("done"), drawingList()}));

    // Message 0 is answered with Empty; without a sequence number the reply names none.
    controller.send(message(0, Variant(), std::nullopt), link.localPort());
    QTRY_COMPARE_WITH_TIMEOUT(controller.ofKind(Kind::Reply).size(), 2, Generous);
    QCOMPARE(controller.ofKind(Kind::Reply).last().value, Variant());
    QCOMPARE(controller.ofKind(Kind::Reply).last().replyTo, std::nullopt);
    QCOMPARE(link.counters().messagesReceived, quint64(2));
}

void TestUdpLink::handWrittenMessageIsRaised()
{
    Controller controller;
    UdpPendantLink link;
    link.Open(QStringLiteral("TPComm"), controller.linkOptions());
    QList<std::pair<int32_t, Variant>> raised;
    connect(&link, &IPendantLink::OnMessage, this, [&](ILinkMessage &m, qint32) {
        raised.append({m.Number(), m.Value()});
    });
    // {"k": "msg", "no": 256, "v": 500} and {"k": "msg", "no": 257, "v": [1, 2]}, as a controller
    // written in another language would send them.
    controller.sendRaw(hex("a3616b636d7367626e6f19010061761901f4"), link.localPort());
    controller.sendRaw(hex("a3616b636d7367626e6f190101617682"
                           "0102"),
                       link.localPort());
    QTRY_COMPARE_WITH_TIMEOUT(raised.size(), 2, Generous);
    QCOMPARE(raised[0], std::make_pair(int32_t(256), Variant(int32_t(500))));
    QCOMPARE(raised[1], std::make_pair(int32_t(257), Variant::array({Variant(int32_t(1)), Variant(int32_t(2))})));
}

void TestUdpLink::dropsAndCountsWhatIsNotForIt()
{
    Controller controller;
    UdpPendantLink link;
    link.Open(QStringLiteral("TPComm"), controller.linkOptions());
    QList<int32_t> raised;
    connect(&link, &IPendantLink::OnMessage, this, [&](ILinkMessage &m, qint32) { raised.append(m.Number()); });
    const quint16 to = link.localPort();
    const QByteArray good = linkwire::encode(message(257, Variant::array({1, 1}), 1));

    // A well-formed message from another port, and from another address with the controller's port.
    Controller otherPort;
    otherPort.sendRaw(good, to);
    Controller otherAddress(QHostAddress(QStringLiteral("127.0.0.2")), controller.port());
    QVERIFY(otherAddress.bound());
    otherAddress.sendRaw(good, to);

    controller.sendRaw(QByteArray(), to);
    controller.sendRaw(QByteArray("\xff\xfe garbage \x00", 12), to);
    controller.sendRaw(good.left(good.size() - 1), to);
    controller.sendRaw(QByteArray(40000, char(0xa1)), to);
    QByteArray deep = hex("a3616b636d7367626e6f016176");
    deep.append(QByteArray(1000, char(0x81)));
    deep.append(char(0x01));
    controller.sendRaw(deep, to);
    // A pendant's datagram reflected back, and a kind of a later protocol version.
    linkwire::Datagram hello;
    hello.kind = Kind::Hello;
    hello.sequence = 0;
    controller.send(hello, to);
    controller.sendRaw(hex("a2616b637a6170626e6f01"), to);
    // Then a good one: the link still works.
    controller.sendRaw(good, to);

    QTRY_COMPARE_WITH_TIMEOUT(raised.size(), 1, Generous);
    QCOMPARE(raised.first(), 257);
    const UdpLinkCounters &c = link.counters();
    QCOMPARE(c.droppedForeign, quint64(2));
    QCOMPARE(c.droppedMalformed, quint64(3));
    QCOMPARE(c.droppedOversized, quint64(1));
    QCOMPARE(c.droppedTooDeep, quint64(1));
    QCOMPARE(c.droppedUnexpected, quint64(2));
    QCOMPARE(c.messagesReceived, quint64(1));
}

void TestUdpLink::closeSendsCloseAndStopsHeartbeat()
{
    Controller controller;
    UdpPendantLink link;
    link.Open(QStringLiteral("TPComm"), controller.linkOptions());
    const quint16 firstPort = link.localPort();
    link.Execute(QStringLiteral("SetKeyState"), Variant(hex("0000000000000000")));
    QTRY_VERIFY_WITH_TIMEOUT(!controller.heartbeats().isEmpty(), Generous);

    link.Close();
    QVERIFY(!link.isOpen());
    QTRY_COMPARE_WITH_TIMEOUT(controller.ofKind(Kind::Close).size(), 1, Generous);
    QCOMPARE(controller.received.last().decoded.datagram.kind, Kind::Close);

    // Many heartbeat periods later nothing more has come, and the port is given back.
    const qsizetype count = controller.received.size();
    const quint64 beats = link.counters().heartbeatsSent;
    QTest::qWait(6 * UdpPendantLink::HeartbeatPeriodMs);
    QCOMPARE(controller.received.size(), count);
    QCOMPARE(link.counters().heartbeatsSent, beats);
    QUdpSocket reuse;
    QVERIFY(reuse.bind(QHostAddress::LocalHost, firstPort, QAbstractSocket::DontShareAddress));
    reuse.close();

    link.Close(); // a second Close does nothing
    QCOMPARE(controller.ofKind(Kind::Close).size(), 1);

    // The link opens again, counting from 0.
    link.Open(QStringLiteral("TPComm"), controller.linkOptions());
    QTRY_COMPARE_WITH_TIMEOUT(controller.ofKind(Kind::Hello).size(), 2, Generous);
    QCOMPARE(controller.ofKind(Kind::Hello).last().sequence, std::optional<quint32>(0));
    QCOMPARE(errorOf([&] { link.Open(QStringLiteral("TPComm"), controller.linkOptions()); }),
             int32_t(ErrInvalidArgument));
}

void TestUdpLink::operationsNeedAnOpenLink()
{
    UdpPendantLink link;
    QString why;
    QCOMPARE(errorOf([&] { link.Execute(QStringLiteral("SetKeyState"), Variant(QByteArray(8, 0))); }, &why),
             int32_t(ErrObjectNotSet));
    QVERIFY(why.contains(QStringLiteral("open")));
    QCOMPARE(errorOf([&] { link.GetVariable(QStringLiteral("@Enabled"), QString()); }), int32_t(ErrObjectNotSet));
    QCOMPARE(errorOf([&] { link.Close(); }), 0);
    QCOMPARE(link.localPort(), quint16(0));
}

void TestUdpLink::malformedOptionsFailWith5_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("mentions");
    const auto row = [](const char *name, const char *options, const char *mentions) {
        QTest::newRow(name) << QString::fromUtf8(options) << QString::fromUtf8(mentions);
    };
    row("empty", "", "TPClient is missing");
    row("role only", "TPClient", "UDP addresses are missing");
    row("no role", "UDP=127.0.0.1:5010:255.255.255.255:5009", "TPClient is missing");
    row("other role", "TPServer, UDP=127.0.0.1:5010:255.255.255.255:5009", "\"TPServer\"");
    row("other transport", "TPClient, TCP=127.0.0.1:5010:255.255.255.255:5009", "\"TCP\"");
    row("UDP twice", "TPClient, UDP=127.0.0.1:5010:255.255.255.255:5009, UDP=127.0.0.1:1:255.255.255.255:2", "twice");
    row("three parts", "TPClient, UDP=127.0.0.1:5010:255.255.255.255", "found 3");
    row("five parts", "TPClient, UDP=127.0.0.1:5010:255.255.255.255:5009:1", "found 5");
    row("port above range", "TPClient, UDP=127.0.0.1:65536:255.255.255.255:5009", "65536 is outside 0 to 65535");
    row("own port above range", "TPClient, UDP=127.0.0.1:5010:255.255.255.255:99999999999999999999",
        "outside 0 to 65535");
    row("negative port", "TPClient, UDP=127.0.0.1:-1:255.255.255.255:5009", "\"-1\" is no decimal number");
    row("port text", "TPClient, UDP=127.0.0.1:abc:255.255.255.255:5009", "\"abc\" is no decimal number");
    row("port missing", "TPClient, UDP=127.0.0.1::255.255.255.255:5009", "controller port is missing");
    row("controller port 0", "TPClient, UDP=127.0.0.1:0:255.255.255.255:5009", "cannot be sent to");
    row("host name", "TPClient, UDP=localhost:5010:255.255.255.255:5009", "\"localhost\" is no IP address");
    row("short IPv4", "TPClient, UDP=127.1:5010:255.255.255.255:5009", "\"127.1\" is no IP address");
    row("four digits in a group", "TPClient, UDP=0127.0.0.1:5010:255.255.255.255:5009",
        "\"0127.0.0.1\" is no IP address");
    row("empty group", "TPClient, UDP=127..0.1:5010:255.255.255.255:5009", "\"127..0.1\" is no IP address");
    row("five groups", "TPClient, UDP=127.0.0.1.1:5010:255.255.255.255:5009", "\"127.0.0.1.1\" is no IP address");
    row("IPv4 past 255", "TPClient, UDP=300.0.0.1:5010:255.255.255.255:5009", "\"300.0.0.1\"");
    row("any as controller", "TPClient, UDP=0.0.0.0:5010:255.255.255.255:5009", "names no host");
    row("own address text", "TPClient, UDP=127.0.0.1:5010:me:5009", "own address \"me\"");
    row("mixed IP versions", "TPClient, UDP=[::1]:5010:127.0.0.1:5009", "different IP versions");
    row("IPv6 without brackets", "TPClient, UDP=::1:5010:255.255.255.255:5009", "found");
}

void TestUdpLink::malformedOptionsFailWith5()
{
    QFETCH(QString, options);
    QFETCH(QString, mentions);
    QString why;
    QCOMPARE(errorOf([&] { parseUdpLinkOptions(options); }, &why), int32_t(ErrInvalidArgument));
    QVERIFY2(why.contains(mentions), qPrintable(why));
    QVERIFY2(why.contains(QStringLiteral("Expected \"TPClient, UDP=")), qPrintable(why));

    UdpPendantLink link;
    QCOMPARE(errorOf([&] { link.Open(QStringLiteral("TPComm"), options); }), int32_t(ErrInvalidArgument));
    QVERIFY(!link.isOpen());
}

void TestUdpLink::wellFormedOptions_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<UdpLinkEndpoints>("endpoints");
    QTest::newRow("defaults") << QStringLiteral("TPClient, UDP=127.0.0.1:5010:255.255.255.255:5009")
                              << UdpLinkEndpoints{QHostAddress(QStringLiteral("127.0.0.1")), 5010,
                                                  QHostAddress(QHostAddress::AnyIPv4), 5009};
    QTest::newRow("case, blanks, own address")
        << QStringLiteral("  tpclient ,udp = 10.1.2.3 : 00080 : 10.1.2.4 : 65535 ,")
        << UdpLinkEndpoints{QHostAddress(QStringLiteral("10.1.2.3")), 80, QHostAddress(QStringLiteral("10.1.2.4")),
                            65535};
    QTest::newRow("IPv6") << QStringLiteral("TPClient, UDP=[::1]:5010:255.255.255.255:0")
                          << UdpLinkEndpoints{QHostAddress(QStringLiteral("::1")), 5010,
                                              QHostAddress(QHostAddress::AnyIPv6), 0};
    QTest::newRow("broadcast controller")
        << QStringLiteral("TPClient, UDP=255.255.255.255:5010:255.255.255.255:5009")
        << UdpLinkEndpoints{QHostAddress(QHostAddress::Broadcast), 5010, QHostAddress(QHostAddress::AnyIPv4), 5009};
}

void TestUdpLink::wellFormedOptions()
{
    QFETCH(QString, options);
    QFETCH(UdpLinkEndpoints, endpoints);
    const UdpLinkEndpoints parsed = parseUdpLinkOptions(options);
    QCOMPARE(parsed.controllerAddress, endpoints.controllerAddress);
    QCOMPARE(parsed.controllerPort, endpoints.controllerPort);
    QCOMPARE(parsed.ownAddress, endpoints.ownAddress);
    QCOMPARE(parsed.ownPort, endpoints.ownPort);
}

void TestUdpLink::busyOwnPortFailsOpen()
{
    Controller controller;
    QUdpSocket taken;
    QVERIFY(taken.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress));
    UdpPendantLink link;
    QString why;
    const QString options =
        QStringLiteral("TPClient, UDP=127.0.0.1:%1:127.0.0.1:%2").arg(controller.port()).arg(taken.localPort());
    QCOMPARE(errorOf([&] { link.Open(QStringLiteral("TPComm"), options); }, &why), ErrLinkNetwork);
    QVERIFY2(why.contains(QString::number(taken.localPort())), qPrintable(why));
    QVERIFY(!link.isOpen());
    QTest::qWait(50);
    QVERIFY(controller.received.isEmpty());
}

void TestUdpLink::handlersMayThrowOrClose()
{
    Controller controller;
    auto *link = new UdpPendantLink;
    link->Open(QStringLiteral("TPComm"), controller.linkOptions());
    const quint16 to = link->localPort();
    QList<int32_t> raised;
    connect(link, &IPendantLink::OnMessage, this, [&](ILinkMessage &m, qint32) {
        raised.append(m.Number());
        if (m.Number() == 1)
            throw ProvError(ErrTypeMismatch);
        if (m.Number() == 2)
            link->Close();
        if (m.Number() == 3)
            delete link;
    });
    controller.send(message(1, Variant(), 1), to);
    controller.send(message(0, Variant(), 2), to);
    QTRY_COMPARE_WITH_TIMEOUT(raised.size(), 2, Generous);
    QCOMPARE(link->counters().handlerExceptions, quint64(1));

    // Closing from the handler while more datagrams wait: none of them is raised.
    controller.send(message(2, Variant(), 3), to);
    controller.send(message(0, Variant(), 4), to);
    QTRY_VERIFY_WITH_TIMEOUT(!link->isOpen(), Generous);
    QTest::qWait(100);
    QCOMPARE(raised, (QList<int32_t>{1, 0, 2}));

    // Deleting the link from its own handler while more datagrams wait.
    link->Open(QStringLiteral("TPComm"), controller.linkOptions());
    const quint16 again = link->localPort();
    QPointer<UdpPendantLink> watch(link);
    controller.send(message(3, Variant(), 5), again);
    controller.send(message(0, Variant(), 6), again);
    QTRY_VERIFY_WITH_TIMEOUT(watch.isNull(), Generous);
    QTest::qWait(100);
    QCOMPARE(raised, (QList<int32_t>{1, 0, 2, 3}));
    // Its destructor closed it.
    QTRY_COMPARE_WITH_TIMEOUT(controller.ofKind(Kind::Close).size(), 2, Generous);
}

QTEST_GUILESS_MAIN(TestUdpLink)
#include "tst_udplink.moc"
