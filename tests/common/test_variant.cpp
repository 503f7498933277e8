#include "common/diagnostics.h"
#include "common/twips.h"
#include "common/variant.h"
#include "support/errors.h"

#include <QTest>

using namespace tarvisk;
using tarvisk::testing::errorOf;

class TestVariant : public QObject
{
    Q_OBJECT

private slots:
    void toLongRoundsHalvesToEven_data()
    {
        QTest::addColumn<Variant>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("2.5") << Variant(2.5) << 2;
        QTest::newRow("3.5") << Variant(3.5) << 4;
        QTest::newRow("-2.5") << Variant(-2.5) << -2;
        QTest::newRow("-3.5") << Variant(-3.5) << -4;
        QTest::newRow("2.51") << Variant(2.51) << 3;
        QTest::newRow("single 0.5") << Variant(0.5f) << 0;
        QTest::newRow("text 1.5") << Variant("1.5") << 2;
        QTest::newRow("text blanks") << Variant("  42  ") << 42;
        QTest::newRow("text tab sign") << Variant("\t-7") << -7;
        QTest::newRow("text exponent") << Variant("1e3") << 1000;
        QTest::newRow("text hex") << Variant("&H10") << 16;
        QTest::newRow("text hex signed") << Variant("&HFFFFFFFF") << -1;
        QTest::newRow("True") << Variant(true) << -1;
        QTest::newRow("False") << Variant(false) << 0;
        QTest::newRow("Empty") << Variant() << 0;
        QTest::newRow("Byte") << Variant(uint8_t(200)) << 200;
        QTest::newRow("max") << Variant("2147483647") << 2147483647;
        QTest::newRow("min") << Variant(-2147483648.0) << int(-2147483647 - 1);
    }
    void toLongRoundsHalvesToEven()
    {
        QFETCH(Variant, value);
        QFETCH(int, expected);
        QCOMPARE(value.toLong(), expected);
    }

    void conversionErrors_data()
    {
        QTest::addColumn<Variant>("value");
        QTest::addColumn<int>("kind"); // 0 long, 1 integer, 2 byte, 3 bool, 4 single, 5 string
        QTest::addColumn<int>("error");
        QTest::newRow("long overflow") << Variant(2147483647.5) << 0 << 6;
        QTest::newRow("long overflow text") << Variant("99999999999") << 0 << 6;
        QTest::newRow("long not a number") << Variant("12abc") << 0 << 13;
        QTest::newRow("long empty text") << Variant("") << 0 << 13;
        QTest::newRow("long blank text") << Variant("   ") << 0 << 13;
        QTest::newRow("long array") << Variant::array({1}) << 0 << 13;
        QTest::newRow("long null") << Variant::null() << 0 << 94;
        QTest::newRow("integer overflow") << Variant(32768) << 1 << 6;
        QTest::newRow("integer halves") << Variant(32767.5) << 1 << 6;
        QTest::newRow("byte negative") << Variant(-1) << 2 << 6;
        QTest::newRow("byte 256") << Variant(256) << 2 << 6;
        QTest::newRow("bool word") << Variant("yes") << 3 << 13;
        QTest::newRow("single overflow") << Variant(1e300) << 4 << 6;
        QTest::newRow("string array") << Variant::array({}) << 5 << 13;
    }
    void conversionErrors()
    {
        QFETCH(Variant, value);
        QFETCH(int, kind);
        QFETCH(int, error);
        const int got = errorOf([&] {
            switch (kind) {
            case 0:
                value.toLong();
                break;
            case 1:
                value.toInteger();
                break;
            case 2:
                value.toByte();
                break;
            case 3:
                value.toBool();
                break;
            case 4:
                value.toSingle();
                break;
            default:
                value.toString();
            }
        });
        QCOMPARE(got, error);
    }

    void errorsCarryThePlatformText()
    {
        QCOMPARE(ProvError(13).description(), QStringLiteral("Type mismatch"));
        QCOMPARE(ProvError(6).description(), QStringLiteral("Overflow"));
        QCOMPARE(ProvError(9).description(), QStringLiteral("Subscript out of range"));
        QCOMPARE(ProvError(5).description(), QStringLiteral("Invalid procedure call or argument"));
        QCOMPARE(ProvError(438).description(), QStringLiteral("Object doesn't support this property or method"));
        QCOMPARE(ProvError(5, QStringLiteral("own")).description(), QStringLiteral("own"));
    }

    void booleanWordsAndNumbers()
    {
        QCOMPARE(Variant("TRUE").toBool(), true);
        QCOMPARE(Variant("fAlSe").toBool(), false);
        QCOMPARE(Variant(" true ").toBool(), true);
        QCOMPARE(Variant("0").toBool(), false);
        QCOMPARE(Variant("-2").toBool(), true);
        QCOMPARE(Variant(0.0).toBool(), false);
        QCOMPARE(Variant(0.1).toBool(), true);
        QCOMPARE(Variant().toBool(), false);
        QCOMPARE(Variant::boolValue(true), int16_t(-1));
    }

    void toStringForms()
    {
        QCOMPARE(Variant(true).toString(), QStringLiteral("True"));
        QCOMPARE(Variant(false).toString(), QStringLiteral("False"));
        QCOMPARE(Variant(17).toString(), QStringLiteral("17"));
        QCOMPARE(Variant(int16_t(-3)).toString(), QStringLiteral("-3"));
        QCOMPARE(Variant(2.5).toString(), QStringLiteral("2.5"));
        QCOMPARE(Variant(0.1f).toString(), QStringLiteral("0.1"));
        QCOMPARE(Variant(1e20).toString(), QStringLiteral("1E+20"));
        QCOMPARE(Variant().toString(), QString());
    }

    void arraysAndBytes()
    {
        Variant a =
            Variant::array({Variant(1), Variant::array({Variant("x"), Variant()}), Variant(QByteArray("\x01\xff", 2))});
        QCOMPARE(a.upperBound(), 2);
        QCOMPARE(a.at(1).at(0).toString(), QStringLiteral("x"));
        QVERIFY(a.at(1).at(1).isEmpty());
        QCOMPARE(a.at(2).at(1), Variant(uint8_t(255)));
        QCOMPARE(a.at(2).upperBound(), 1);
        QCOMPARE(errorOf([&] { a.at(3); }), 9);
        QCOMPARE(errorOf([&] { a.at(-1); }), 9);
        QCOMPARE(errorOf([&] { Variant(5).at(0); }), 13);
        QCOMPARE(Variant::array({}).upperBound(), -1);
        a.setAt(0, Variant("y"));
        QCOMPARE(a.at(0), Variant("y"));
        // Types are part of equality: 1 as Long is not 1 as Integer, Empty is not "".
        QVERIFY(Variant(1) != Variant(int16_t(1)));
        QVERIFY(Variant() != Variant(""));
        QVERIFY(Variant() != Variant::null());
    }

    void twipsUseHalvesToEven()
    {
        QCOMPARE(twips::toPixels(22.5, 15), 2); // 1.5 -> 2
        QCOMPARE(twips::toPixels(37.5, 15), 2); // 2.5 -> 2
        QCOMPARE(twips::toPixels(3195, 15), 213);
        QCOMPARE(twips::toPixels(7335, 15), 489);
    }

    void diagnosticsAreCaptured()
    {
        CapturingDiagnostics capture;
        debugPrint(QStringLiteral("line"));
        showErrorBox(438, QStringLiteral("Object doesn't support this property or method"));
        QCOMPARE(capture.debugLines, QStringList{QStringLiteral("line")});
        QCOMPARE(capture.boxes.size(), 1);
        QCOMPARE(capture.boxes[0].text, QStringLiteral("[1B6]\r\nObject doesn't support this property or method"));
        QCOMPARE(capture.boxes[0].icon, Diagnostics::Icon::Critical);
    }
};

QTEST_GUILESS_MAIN(TestVariant)
#include "test_variant.moc"
