// tarvisk-client's text form of values: what it prints reads back as the same value, and the
// parameters people type come out with the types they mean.
#include "valuetext.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace tarvisk;
using namespace tarvisk::valuetext;

class TestValueText : public QObject
{
    Q_OBJECT

private slots:
    void formatReadsBack_data()
    {
        QTest::addColumn<Variant>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("Empty") << Variant() << "empty";
        QTest::newRow("Null") << Variant::null() << "null";
        QTest::newRow("Boolean") << Variant(true) << "true";
        QTest::newRow("Byte") << Variant(uint8_t(7)) << "y:7";
        QTest::newRow("Integer") << Variant(int16_t(-7)) << "n:-7";
        QTest::newRow("Long") << Variant(int32_t(14)) << "14";
        QTest::newRow("Long min") << Variant(std::numeric_limits<int32_t>::min()) << "-2147483648";
        QTest::newRow("Single") << Variant(0.1f) << "f:0.1";
        QTest::newRow("Single inf") << Variant(std::numeric_limits<float>::infinity()) << "f:inf";
        QTest::newRow("Double") << Variant(0.1) << "0.1";
        QTest::newRow("Double whole") << Variant(2.0) << "2.0";
        QTest::newRow("Double large") << Variant(1e300) << "1e+300";
        QTest::newRow("String") << Variant("a \"b\"\\\n") << "\"a \\\"b\\\"\\\\\\n\"";
        QTest::newRow("String number-like") << Variant("14") << "\"14\"";
        QTest::newRow("String empty") << Variant(QString()) << "\"\"";
        QTest::newRow("ByteArray") << Variant(QByteArray("\x00\xff", 2)) << "B:00ff";
        QTest::newRow("ByteArray empty") << Variant(QByteArray()) << "B:";
        QTest::newRow("Array") << Variant::array({Variant(1), Variant::array({}), Variant("x"), Variant()})
                               << "[1 [] \"x\" empty]";
    }

    void formatReadsBack()
    {
        QFETCH(Variant, value);
        QFETCH(QString, text);
        QCOMPARE(formatValue(value), text);
        Variant back;
        QString error;
        QVERIFY2(parseValue(text, back, &error), qPrintable(error));
        QCOMPARE(back.debugText(), value.debugText());
        QVERIFY(back == value);
    }

    void parametersAsTyped()
    {
        const auto param = [](const QString &text) {
            Variant v;
            QString error;
            if (!parseParameter(text, v, &error))
                return QStringLiteral("error: ") + error;
            return v.debugText();
        };
        QCOMPARE(param(""), QStringLiteral("Empty"));
        QCOMPARE(param("  "), QStringLiteral("Empty"));
        QCOMPARE(param("500"), QStringLiteral("Long 500"));
        QCOMPARE(param("1 2"), QStringLiteral("Array(Long 1, Long 2)"));
        QCOMPARE(param("1, 2"), QStringLiteral("Array(Long 1, Long 2)"));
        QCOMPARE(param("[1 2]"), QStringLiteral("Array(Long 1, Long 2)"));
        QCOMPARE(param("4294967296"), QStringLiteral("Double 4294967296"));
        QCOMPARE(param("-1.5e1"), QStringLiteral("Double -15"));
        QCOMPARE(param("inf"), QStringLiteral("String \"inf\""));
        QCOMPARE(param("d:inf").left(7), QStringLiteral("Double "));
        QCOMPARE(param("StateDestination=x"), QStringLiteral("String \"StateDestination=x\""));
        QCOMPARE(param("\"a b\" s:\"c d\" s:e"), QStringLiteral("Array(String \"a b\", String \"c d\", String \"e\")"));
        QCOMPARE(param("[[1] [] empty]"), QStringLiteral("Array(Array(Long 1), Array(), Empty)"));
        QCOMPARE(param("b:false y:255 n:-32768 i:7 f:0.5"),
                 QStringLiteral("Array(Boolean False, Byte 255, Integer -32768, Long 7, Single 0.5)"));

        QVERIFY(param("y:256").startsWith(u"error: '256' is no value of type 'y'"));
        QVERIFY(param("n:40000").startsWith(u"error:"));
        QVERIFY(param("f:1e300").startsWith(u"error:"));
        QVERIFY(param("b:yes").startsWith(u"error:"));
        QVERIFY(param("B:0").startsWith(u"error:"));
        QVERIFY(param("B:zz").startsWith(u"error:"));
        QVERIFY(param("q:1").startsWith(u"error: unknown type letter 'q'"));
        QVERIFY(param("[1 2").startsWith(u"error: an array is not closed"));
        QVERIFY(param("\"open").startsWith(u"error: a quoted text is not closed"));
        QVERIFY(param("]").startsWith(u"error:"));
        QVERIFY(param(QString(100, u'[')).startsWith(u"error: arrays nest too deep"));

        Variant v;
        QVERIFY(!parseValue("1 2", v));
    }

    void commandSplit()
    {
        QString command, parameter;
        splitCommand(QStringLiteral("  led 1 2 "), command, parameter);
        QCOMPARE(command, QStringLiteral("led"));
        QCOMPARE(parameter, QStringLiteral("1 2"));
        splitCommand(QStringLiteral("show"), command, parameter);
        QCOMPARE(command, QStringLiteral("show"));
        QVERIFY(parameter.isEmpty());
        splitCommand(QStringLiteral("beep\t500"), command, parameter);
        QCOMPARE(command, QStringLiteral("beep"));
        QCOMPARE(parameter, QStringLiteral("500"));
    }
};

QTEST_GUILESS_MAIN(TestValueText)
#include "test_valuetext.moc"
