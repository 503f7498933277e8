#include "link/cborvariant.h"
#include "link/linkwire.h"

#include <QCborValue>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace tarvisk;
using namespace tarvisk::linkwire;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text));
}

Datagram make(Kind kind, std::optional<quint32> sequence)
{
    Datagram d;
    d.kind = kind;
    d.sequence = sequence;
    return d;
}

// The session id of the examples' opening.
constexpr quint32 ExampleSession = 0x2f6b9ac1;

Datagram fromPendant(Kind kind, quint32 sequence)
{
    Datagram d = make(kind, sequence);
    d.session = ExampleSession;
    return d;
}

// The datagrams shown in docs/link-protocol.md, by the name of their example block.
QList<std::pair<QString, Datagram>> documentedExamples()
{
    QList<std::pair<QString, Datagram>> out;
    Datagram hello = fromPendant(Kind::Hello, 0);
    hello.name = QStringLiteral("TPComm");
    out.append({QStringLiteral("hello"), hello});

    Datagram enabled = fromPendant(Kind::Set, 1);
    enabled.name = QStringLiteral("@Enabled");
    enabled.value = Variant(true);
    out.append({QStringLiteral("set-enabled"), enabled});

    // The mode switch on AUTO (key code 3), OK (14) held.
    Datagram keys = fromPendant(Kind::Exec, 2);
    keys.command = QStringLiteral("SetKeyState");
    keys.value = Variant(hex("0840000000000000"));
    out.append({QStringLiteral("exec-keys"), keys});

    Datagram beat = keys;
    beat.sequence = 3;
    beat.heartbeat = true;
    out.append({QStringLiteral("exec-heartbeat"), beat});

    Datagram check = make(Kind::Message, 41);
    out.append({QStringLiteral("msg-check"), check});

    Datagram answer = fromPendant(Kind::Reply, 4);
    answer.replyTo = 41;
    out.append({QStringLiteral("reply-check"), answer});

    out.append({QStringLiteral("ping"), fromPendant(Kind::Ping, 5)});
    Datagram pong = make(Kind::Pong, std::nullopt);
    pong.replyTo = 5;
    out.append({QStringLiteral("pong"), pong});

    Datagram beep = make(Kind::Message, 42);
    beep.number = 256;
    beep.value = Variant(int32_t(500));
    out.append({QStringLiteral("msg-beep"), beep});

    Datagram led = make(Kind::Message, 43);
    led.number = 257;
    led.value = Variant::array({Variant(int32_t(1)), Variant(int32_t(2))});
    out.append({QStringLiteral("msg-led"), led});

    const auto item = [](int32_t code, const Variant &param) { return Variant::array({Variant(code), param}); };
    const auto L = [](int32_t v) { return Variant(v); };
    Datagram draw = make(Kind::Message, 44);
    draw.number = 259;
    draw.value = Variant::array({
        item(0x10, L(15)),
        item(0x11, L(15)),
        item(0x31, Variant::array({L(0), L(0), L(125), L(61)})),
        item(0x10, L(0)),
        item(0x20, Variant::array({Variant("READY"), L(2), L(1), L(0), L(0)})),
        item(0x30, Variant::array({Variant(0.5f), Variant(10.0f), Variant(125.0f), Variant(10.0f)})),
    });
    out.append({QStringLiteral("msg-draw"), draw});

    out.append({QStringLiteral("close"), fromPendant(Kind::Close, 6)});

    Datagram types = fromPendant(Kind::Exec, 7);
    types.command = QStringLiteral("Types");
    types.value = Variant::array({Variant(), Variant::null(), Variant(false), Variant(uint8_t(200)),
                                  Variant(int16_t(-2)), Variant(int32_t(-100000)), Variant(1.5f), Variant(1.5),
                                  Variant("é"), Variant(hex("00ff")), Variant(VariantArray())});
    out.append({QStringLiteral("exec-types"), types});
    return out;
}

QString spacedHex(const QByteArray &bytes)
{
    // 16 bytes a line, as in the document.
    QStringList lines;
    for (qsizetype i = 0; i < bytes.size(); i += 16)
        lines << QString::fromLatin1(bytes.mid(i, 16).toHex(' '));
    return lines.join(u'\n');
}

QString diagnostic(const QByteArray &bytes)
{
    return QCborValue::fromCbor(bytes).toDiagnosticNotation(QCborValue::LineWrapped);
}

// Example blocks of the document: a marker line "<!-- wire: NAME -->", then a ```hex block, then a
// ```cbor-diag block.
QMap<QString, std::pair<QString, QString>> examplesInDocument(const QString &text)
{
    QMap<QString, std::pair<QString, QString>> out;
    static const QRegularExpression block(
        QStringLiteral("<!-- wire: ([a-z-]+) -->\\s*```hex\\n(.*?)```\\s*```cbor-diag\\n(.*?)```"),
        QRegularExpression::DotMatchesEverythingOption);
    auto it = block.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        out.insert(m.captured(1), {m.captured(2).trimmed(), m.captured(3).trimmed()});
    }
    return out;
}

} // namespace

class TestLinkWire : public QObject
{
    Q_OBJECT
private slots:
    void roundTripsEveryKind();
    void documentShowsTheExactBytes();
    void documentedValueFormsAreExact();
    void decodesHandWrittenDatagrams_data();
    void decodesHandWrittenDatagrams();
    void refusesBrokenDatagrams_data();
    void refusesBrokenDatagrams();
    void capsSize();
};

void TestLinkWire::roundTripsEveryKind()
{
    for (const auto &[name, d] : documentedExamples()) {
        const Decoded back = decode(encode(d));
        QVERIFY2(back.status == DecodeStatus::Ok, qPrintable(name));
        QVERIFY2(back.datagram == d, qPrintable(name + QStringLiteral(": ") + back.datagram.value.debugText()));
    }
    // A controller message without a sequence number, and a reply to it.
    Datagram msg = make(Kind::Message, std::nullopt);
    msg.number = -7;
    msg.value = Variant::array({Variant(), Variant::array({Variant()})});
    QVERIFY(decode(encode(msg)).datagram == msg);
    Datagram reply = make(Kind::Reply, 9);
    reply.number = -7;
    reply.value = Variant("answer");
    QVERIFY(decode(encode(reply)).datagram == reply);

    // A controller's pong needs nothing but its kind; a hello of protocol 1 has no session id.
    const Decoded pong = decode(hex("a1616b64706f6e67"));
    QCOMPARE(pong.status, DecodeStatus::Ok);
    QCOMPARE(pong.datagram.kind, Kind::Pong);
    QCOMPARE(pong.datagram.replyTo, std::nullopt);
    const Decoded oldHello = decode(hex("a4616b6568656c6c6f617300637665720161"
                                        "6e66545043 6f6d6d"));
    QCOMPARE(oldHello.status, DecodeStatus::Ok);
    QCOMPARE(oldHello.datagram.version, quint32(1));
    QCOMPARE(oldHello.datagram.session, std::nullopt);
}

void TestLinkWire::documentShowsTheExactBytes()
{
    QFile file(qEnvironmentVariable("TARVISK_SOURCE_DIR") + QStringLiteral("/docs/link-protocol.md"));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const auto inDocument = examplesInDocument(QString::fromUtf8(file.readAll()));
    const auto examples = documentedExamples();
    QStringList wanted;
    for (const auto &[name, d] : examples) {
        const QByteArray bytes = encode(d);
        wanted << QStringLiteral("<!-- wire: %1 -->\n```hex\n%2\n```\n```cbor-diag\n%3\n```")
                      .arg(name, spacedHex(bytes), diagnostic(bytes));
    }
    bool same = inDocument.size() == examples.size();
    for (const auto &[name, d] : examples) {
        const QByteArray bytes = encode(d);
        same = same && inDocument.value(name) == std::make_pair(spacedHex(bytes), diagnostic(bytes));
    }
    if (!same) // the whole text, for pasting: failure messages are cut short
        qWarning().noquote() << "The example blocks should read:\n" + wanted.join(u'\n' + QString(u'\n'));
    QCOMPARE(inDocument.size(), examples.size());
    for (const auto &[name, d] : examples) {
        const QByteArray bytes = encode(d);
        QVERIFY2(inDocument.contains(name), qPrintable(name));
        QVERIFY2(inDocument[name].first == spacedHex(bytes), qPrintable(name));
        QVERIFY2(inDocument[name].second == diagnostic(bytes), qPrintable(name));
        // What the document shows decodes back to the example.
        QVERIFY(decode(QByteArray::fromHex(inDocument[name].first.toLatin1())).datagram == d);
    }
}

// The table of value forms and the lenient forms the document names, against the mapping.
void TestLinkWire::documentedValueFormsAreExact()
{
    QFile file(qEnvironmentVariable("TARVISK_SOURCE_DIR") + QStringLiteral("/docs/link-protocol.md"));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QString text = QString::fromUtf8(file.readAll());
    const QMap<QString, Variant> examples = {
        {QStringLiteral("Empty"), Variant()},
        {QStringLiteral("Null"), Variant::null()},
        {QStringLiteral("Boolean"), Variant(true)},
        {QStringLiteral("Byte (0..255)"), Variant(uint8_t(200))},
        {QStringLiteral("Integer (16-bit)"), Variant(int16_t(-2))},
        {QStringLiteral("Long (32-bit)"), Variant(int32_t(14))},
        {QStringLiteral("Single"), Variant(1.5f)},
        {QStringLiteral("Double"), Variant(1.5)},
        {QStringLiteral("String"), Variant("OK")},
        {QStringLiteral("ByteArray"), Variant(hex("0102"))},
        {QStringLiteral("Array"), Variant::array({Variant(int32_t(14)), Variant(true)})},
    };
    static const QRegularExpression row(QStringLiteral("^\\| ([^|]+?) \\| [^|]+ \\| [^|]+ \\| `([0-9a-f ]+)` \\|$"),
                                        QRegularExpression::MultilineOption);
    QStringList seen;
    auto it = row.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        const QString type = m.captured(1);
        QVERIFY2(examples.contains(type), qPrintable(type));
        QCOMPARE(QString::fromLatin1(cbor::toCbor(examples[type]).toHex(' ')), m.captured(2));
        seen << type;
    }
    QCOMPARE(seen.size(), examples.size());

    // The lenient forms: a half float under the Single tag is that Single.
    static const QRegularExpression lenient(QStringLiteral("\\(e\\.g\\. `([0-9a-f ]+)`\\)"));
    const auto m = lenient.match(text);
    QVERIFY(m.hasMatch());
    Variant v;
    QCOMPARE(cbor::fromCbor(QByteArray::fromHex(m.captured(1).toLatin1()), &v), cbor::ReadStatus::Ok);
    QCOMPARE(v, Variant(1.5f));
}

void TestLinkWire::decodesHandWrittenDatagrams_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("number");
    QTest::addColumn<Variant>("value");
    // {"k": "msg", "no": 256, "v": 500}
    QTest::newRow("minimal message") << hex("a3616b636d7367626e6f19010061761901f4") << 256 << Variant(int32_t(500));
    // {"no": 256, "k": "msg"}: keys in any order, the value absent reads as Empty.
    QTest::newRow("no value, other order") << hex("a2626e6f190100616b636d7367") << 256 << Variant();
    // {"k": "msg", "no": Integer-tagged 0, "x": {"future": [1]}, "v": null}: unknown keys are passed over.
    QTest::newRow("unknown key") << hex("a4616b636d7367626e6fd9e002006178a166667574757265810161"
                                        "76f6")
                                 << 0 << Variant::null();
    // Indefinite-length map and chunked kind text from a streaming encoder.
    QTest::newRow("indefinite map") << hex("bf616b7f626d736167ff626e6f20ff") << -1 << Variant();
}

void TestLinkWire::decodesHandWrittenDatagrams()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, number);
    QFETCH(Variant, value);
    const Decoded d = decode(bytes);
    QCOMPARE(d.status, DecodeStatus::Ok);
    QCOMPARE(d.datagram.kind, Kind::Message);
    QCOMPARE(d.datagram.number, number);
    QCOMPARE(d.datagram.value, value);
}

void TestLinkWire::refusesBrokenDatagrams_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<DecodeStatus>("status");
    const auto malformed = DecodeStatus::Malformed;
    QTest::newRow("empty") << QByteArray() << malformed;
    QTest::newRow("garbage") << QByteArray("\xde\xad\xbe\xef garbage") << malformed;
    QTest::newRow("array instead of map") << hex("8101") << malformed;
    QTest::newRow("no kind") << hex("a1626e6f01") << malformed;
    QTest::newRow("kind not text") << hex("a2616b01626e6f01") << malformed;
    QTest::newRow("message without number") << hex("a1616b636d7367") << malformed;
    QTest::newRow("number a double") << hex("a2616b636d7367626e6ffb3ff0000000000000") << malformed;
    QTest::newRow("number past 32 bits") << hex("a2616b636d7367626e6f1a80000000") << malformed;
    QTest::newRow("sequence past 32 bits") << hex("a3616b636d7367626e6f0161731b0000000100000000") << malformed;
    QTest::newRow("sequence negative") << hex("a3616b636d7367626e6f01617320") << malformed;
    QTest::newRow("duplicate key") << hex("a3616b636d7367626e6f01626e6f02") << malformed;
    QTest::newRow("integer key") << hex("a2616b636d736701 01") << malformed;
    QTest::newRow("key without value") << hex("bf616b636d7367626e6fff") << malformed;
    QTest::newRow("trailing bytes") << hex("a2616b636d7367626e6f0100") << malformed;
    QTest::newRow("truncated") << hex("a3616b636d7367626e6f01617681") << malformed;
    QTest::newRow("value holds a map") << hex("a3616b636d7367626e6f01617681a0") << malformed;
    QTest::newRow("hello without sequence") << hex("a3616b6568656c6c6f637665720161"
                                                   "6e625450")
                                            << malformed;
    QTest::newRow("exec without value") << hex("a3616b646578656361730061636153") << malformed;
    QTest::newRow("heartbeat flag not boolean") << hex("a5616b6465786563617300616361536176f662686201") << malformed;
    QTest::newRow("ping without sequence") << hex("a1616b6470696e67") << malformed;
    QTest::newRow("session negative") << hex("a3616b6470696e6761730063736964 20") << malformed;
    QTest::newRow("session past 32 bits") << hex("a3616b6470696e676173006373696 41b0000000100000000") << malformed;
    QTest::newRow("unknown kind") << hex("a2616b637a6170626e6f01") << DecodeStatus::UnknownKind;

    QByteArray deep = hex("a3616b636d7367626e6f016176");
    deep.append(QByteArray(40, char(0x81)));
    deep.append(char(0x01));
    QTest::newRow("value too deep") << deep << DecodeStatus::TooDeep;
    QByteArray deepUnknown = hex("a3616b636d7367626e6f016178");
    deepUnknown.append(QByteArray(40, char(0xa1)));
    QTest::newRow("unknown key too deep") << deepUnknown << DecodeStatus::TooDeep;
}

void TestLinkWire::refusesBrokenDatagrams()
{
    QFETCH(QByteArray, bytes);
    QFETCH(DecodeStatus, status);
    QCOMPARE(decode(bytes).status, status);
}

void TestLinkWire::capsSize()
{
    Datagram d = make(Kind::Exec, 1);
    d.command = QStringLiteral("Big");
    d.value = Variant(QByteArray(MaxDatagramSize - 40, 'x'));
    const QByteArray fits = encode(d);
    QVERIFY(fits.size() <= MaxDatagramSize);
    QCOMPARE(decode(fits).status, DecodeStatus::Ok);

    d.value = Variant(QByteArray(MaxDatagramSize, 'x'));
    try {
        encode(d);
        QFAIL("an oversized datagram was encoded");
    } catch (const ProvError &e) {
        QCOMPARE(e.number(), int32_t(ErrInvalidArgument));
    }
    QByteArray big = fits;
    big.append(QByteArray(MaxDatagramSize, 'x'));
    QCOMPARE(decode(big).status, DecodeStatus::TooLarge);
}

QTEST_GUILESS_MAIN(TestLinkWire)
#include "tst_linkwire.moc"
