#include "link/cborvariant.h"

#include <QCborStreamReader>
#include <QCborStreamWriter>
#include <QTest>

#include <cmath>
#include <cstring>
#include <limits>

using namespace tarvisk;
using cbor::ReadStatus;

namespace {

Variant nested(int depth, const Variant &inner = Variant(int32_t(1)))
{
    Variant v = inner;
    for (int i = 0; i < depth; ++i)
        v = Variant::array({v});
    return v;
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text));
}

template <typename T> QByteArray bitsOf(T v)
{
    QByteArray b(sizeof v, '\0');
    std::memcpy(b.data(), &v, sizeof v);
    return b;
}

} // namespace

class TestCborVariant : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void keepsFloatBitsAndNaN();
    void encodesAsDocumented_data();
    void encodesAsDocumented();
    void readsOtherEncodersLeniently_data();
    void readsOtherEncodersLeniently();
    void refusesWhatIsNoVariant_data();
    void refusesWhatIsNoVariant();
    void capsNesting();
    void refusesUnsendableValues();
    void skipsAnyWellFormedItem();
};

void TestCborVariant::roundTrip_data()
{
    QTest::addColumn<Variant>("value");
    QTest::newRow("Empty") << Variant();
    QTest::newRow("Null") << Variant::null();
    QTest::newRow("True") << Variant(true);
    QTest::newRow("False") << Variant(false);
    QTest::newRow("Byte 0") << Variant(uint8_t(0));
    QTest::newRow("Byte 255") << Variant(uint8_t(255));
    QTest::newRow("Integer min") << Variant(int16_t(-32768));
    QTest::newRow("Integer max") << Variant(int16_t(32767));
    QTest::newRow("Integer 0") << Variant(int16_t(0));
    QTest::newRow("Long min") << Variant(std::numeric_limits<int32_t>::min());
    QTest::newRow("Long max") << Variant(std::numeric_limits<int32_t>::max());
    QTest::newRow("Long -1") << Variant(int32_t(-1));
    QTest::newRow("Single") << Variant(1.1f);
    QTest::newRow("Single max") << Variant(std::numeric_limits<float>::max());
    QTest::newRow("Single denormal") << Variant(std::numeric_limits<float>::denorm_min());
    QTest::newRow("Single inf") << Variant(-std::numeric_limits<float>::infinity());
    QTest::newRow("Double") << Variant(0.1);
    QTest::newRow("Double whole") << Variant(3.0);
    QTest::newRow("Double max") << Variant(std::numeric_limits<double>::max());
    QTest::newRow("Double denormal") << Variant(std::numeric_limits<double>::denorm_min());
    QTest::newRow("Double inf") << Variant(std::numeric_limits<double>::infinity());
    QTest::newRow("String empty") << Variant(QString());
    QTest::newRow("String wide") << Variant(QStringLiteral("ＭＳ ゴシック é € \U0001F916"));
    QTest::newRow("String NUL") << Variant(QString(QChar(0)) + u'x');
    QTest::newRow("ByteArray empty") << Variant(QByteArray());
    QTest::newRow("ByteArray key state") << Variant(hex("0440000000000080"));
    QTest::newRow("Array empty") << Variant(VariantArray());
    QTest::newRow("Array of empties") << Variant::array(
        {Variant(), Variant::null(), Variant(QString()), Variant(QByteArray()), Variant(VariantArray())});
    QTest::newRow("Array of each type") << Variant::array({Variant(true), Variant(uint8_t(7)), Variant(int16_t(-7)),
                                                           Variant(int32_t(7)), Variant(7.0f), Variant(7.0),
                                                           Variant("7"), Variant(hex("07"))});
    QTest::newRow("Drawing list") << Variant::array({
        Variant::array({Variant(int32_t(0x11)), Variant(int32_t(15))}),
        Variant::array(
            {Variant(int32_t(0x31)), Variant::array({Variant(0.0f), Variant(0.0f), Variant(125.5f), Variant(61.0f)})}),
        Variant::array({Variant(int32_t(0x20)), Variant::array({Variant("READY"), Variant(int16_t(3)),
                                                                Variant(int16_t(4)), Variant(), Variant()})}),
    });
    QTest::newRow("Deepest allowed") << nested(cbor::MaxNesting);
    QTest::newRow("Deepest allowed, Empty inside") << nested(cbor::MaxNesting, Variant());
}

void TestCborVariant::roundTrip()
{
    QFETCH(Variant, value);
    Variant back(QStringLiteral("sentinel"));
    QCOMPARE(cbor::fromCbor(cbor::toCbor(value), &back), ReadStatus::Ok);
    QVERIFY2(back == value, qPrintable(back.debugText() + QStringLiteral(" != ") + value.debugText()));
}

void TestCborVariant::keepsFloatBitsAndNaN()
{
    // operator== cannot tell -0.0 from 0.0 nor compare NaN: the bits must come back.
    const float singles[] = {-0.0f, std::numeric_limits<float>::quiet_NaN(), 0.1f};
    for (float f : singles) {
        Variant back;
        QCOMPARE(cbor::fromCbor(cbor::toCbor(Variant(f)), &back), ReadStatus::Ok);
        QCOMPARE(back.type(), Variant::Type::Single);
        QCOMPARE(bitsOf(back.toSingle()), bitsOf(f));
    }
    const double doubles[] = {-0.0, std::numeric_limits<double>::quiet_NaN(), 1e-300};
    for (double d : doubles) {
        Variant back;
        QCOMPARE(cbor::fromCbor(cbor::toCbor(Variant(d)), &back), ReadStatus::Ok);
        QCOMPARE(back.type(), Variant::Type::Double);
        QCOMPARE(bitsOf(back.toDouble()), bitsOf(d));
    }
}

void TestCborVariant::encodesAsDocumented_data()
{
    QTest::addColumn<Variant>("value");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("Empty") << Variant() << hex("f7");
    QTest::newRow("Null") << Variant::null() << hex("f6");
    QTest::newRow("True") << Variant(true) << hex("f5");
    QTest::newRow("False") << Variant(false) << hex("f4");
    QTest::newRow("Byte") << Variant(uint8_t(200)) << hex("d9e00118c8");
    QTest::newRow("Integer") << Variant(int16_t(-2)) << hex("d9e00221");
    QTest::newRow("Long small") << Variant(int32_t(14)) << hex("0e");
    QTest::newRow("Long wide") << Variant(int32_t(-100000)) << hex("3a0001869f");
    QTest::newRow("Single") << Variant(1.5f) << hex("d9e004fa3fc00000");
    QTest::newRow("Double") << Variant(1.5) << hex("fb3ff8000000000000");
    QTest::newRow("String") << Variant("OK") << hex("624f4b");
    QTest::newRow("ByteArray") << Variant(hex("0102")) << hex("420102");
    QTest::newRow("Array") << Variant::array({Variant(int32_t(14)), Variant(true)}) << hex("820ef5");
}

void TestCborVariant::encodesAsDocumented()
{
    QFETCH(Variant, value);
    QFETCH(QByteArray, bytes);
    QCOMPARE(cbor::toCbor(value).toHex(), bytes.toHex());
}

void TestCborVariant::readsOtherEncodersLeniently_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Variant>("value");
    QTest::newRow("integer past Long") << hex("1b0000010000000000") << Variant(1099511627776.0);
    QTest::newRow("negative past Long") << hex("3a80000000") << Variant(-2147483649.0);
    QTest::newRow("most negative integer") << hex("3bffffffffffffffff") << Variant(-18446744073709551616.0);
    QTest::newRow("Long in 8 bytes") << hex("1b0000000000000005") << Variant(int32_t(5));
    QTest::newRow("untagged half") << hex("f93e00") << Variant(1.5);
    QTest::newRow("untagged float32") << hex("fa3fc00000") << Variant(1.5);
    QTest::newRow("Single tag on half") << hex("d9e004f93e00") << Variant(1.5f);
    QTest::newRow("Single tag on exact double") << hex("d9e004fb3ff8000000000000") << Variant(1.5f);
    QTest::newRow("Integer tag on wide encoding") << hex("d9e0021a00007fff") << Variant(int16_t(32767));
    QTest::newRow("indefinite array") << hex("9f01f7ff") << Variant::array({Variant(int32_t(1)), Variant()});
    QTest::newRow("chunked text") << hex("7f624f4b6121ff") << Variant("OK!");
    QTest::newRow("chunked bytes") << hex("5f41014102ff") << Variant(hex("0102"));
}

void TestCborVariant::readsOtherEncodersLeniently()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Variant, value);
    Variant back;
    QCOMPARE(cbor::fromCbor(bytes, &back), ReadStatus::Ok);
    QVERIFY2(back == value, qPrintable(back.debugText()));
}

void TestCborVariant::refusesWhatIsNoVariant_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("nothing") << QByteArray();
    QTest::newRow("map") << hex("a0");
    QTest::newRow("array holding a map") << hex("81a0");
    QTest::newRow("unknown tag") << hex("c11a5f000000");
    QTest::newRow("simple value 16") << hex("f0");
    QTest::newRow("two-byte simple value") << hex("f820");
    QTest::newRow("Byte tag 256") << hex("d9e0011901 00");
    QTest::newRow("Byte tag negative") << hex("d9e00120");
    QTest::newRow("Byte tag on text") << hex("d9e0016141");
    QTest::newRow("Integer tag 32768") << hex("d9e0021980 00");
    QTest::newRow("Integer tag -32769") << hex("d9e0023980 00");
    QTest::newRow("Single tag inexact") << hex("d9e004fb3fb999999999999a");
    QTest::newRow("Single tag on integer") << hex("d9e00401");
    QTest::newRow("tag without item") << hex("d9e001");
    QTest::newRow("invalid UTF-8") << hex("62c328");
    QTest::newRow("truncated text") << hex("6541");
    QTest::newRow("forged text length") << hex("7bffffffffffffff0041");
    QTest::newRow("forged bytes length") << hex("5a7fffffff00");
    QTest::newRow("forged array length") << hex("9b7fffffffffffffff01");
    QTest::newRow("unclosed indefinite array") << hex("9f01");
    QTest::newRow("break alone") << hex("ff");
    QTest::newRow("reserved additional info") << hex("1c");
    QTest::newRow("trailing item") << hex("0102");
    QTest::newRow("text chunk of another type") << hex("7f4101ff");
}

void TestCborVariant::refusesWhatIsNoVariant()
{
    QFETCH(QByteArray, bytes);
    Variant out(QStringLiteral("untouched"));
    QCOMPARE(cbor::fromCbor(bytes, &out), ReadStatus::Malformed);
    QCOMPARE(out, Variant(QStringLiteral("untouched")));
}

void TestCborVariant::capsNesting()
{
    Variant out;
    QCOMPARE(cbor::fromCbor(cbor::toCbor(nested(cbor::MaxNesting)), &out), ReadStatus::Ok);

    // One level too deep, written by hand since the encoder refuses it.
    QByteArray deep(cbor::MaxNesting + 1, char(0x81));
    deep.append(char(0x01));
    QCOMPARE(cbor::fromCbor(deep, &out), ReadStatus::TooDeep);

    // Nesting far deeper than any stack would bear is refused just as cheaply.
    QByteArray abyss(60000, char(0x9f));
    QCOMPARE(cbor::fromCbor(abyss, &out), ReadStatus::TooDeep);

    try {
        cbor::toCbor(nested(cbor::MaxNesting + 1));
        QFAIL("an over-deep value was encoded");
    } catch (const ProvError &e) {
        QCOMPARE(e.number(), int32_t(ErrInvalidArgument));
    }
}

void TestCborVariant::refusesUnsendableValues()
{
    const Variant object(std::make_shared<VariantObject>());
    for (const Variant &v : {object, Variant::array({Variant(int32_t(1)), Variant::array({object})})}) {
        QByteArray out;
        QCborStreamWriter writer(&out);
        try {
            cbor::writeVariant(writer, v);
            QFAIL("an object was encoded");
        } catch (const ProvError &e) {
            QCOMPARE(e.number(), int32_t(ErrTypeMismatch));
        }
        QVERIFY2(out.isEmpty(), "bytes were written before the refusal");
    }
}

void TestCborVariant::skipsAnyWellFormedItem()
{
    // An array holding a map (with a tagged date and an unknown simple value) and the item after it.
    const QByteArray bytes = hex("82a2616bc11a5f000000616cf007");
    QCborStreamReader reader(bytes);
    QVERIFY(reader.enterContainer());
    QCOMPARE(cbor::skipItem(reader, bytes.size()), ReadStatus::Ok);
    Variant next;
    QCOMPARE(cbor::readVariant(reader, &next, bytes.size()), ReadStatus::Ok);
    QCOMPARE(next, Variant(int32_t(7)));
    QVERIFY(!reader.hasNext());

    QByteArray deepMap;
    for (int i = 0; i < cbor::MaxNesting + 1; ++i)
        deepMap.append("\xa1\x61k", 3);
    deepMap.append(char(0x01));
    QCborStreamReader deepReader(deepMap);
    QCOMPARE(cbor::skipItem(deepReader, deepMap.size()), ReadStatus::TooDeep);
}

QTEST_GUILESS_MAIN(TestCborVariant)
#include "tst_cborvariant.moc"
