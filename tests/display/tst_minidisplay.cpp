#include "common/diagnostics.h"
#include "pendant/minidisplaytext.h"
#include "support/displaytest.h"

#include <QPainter>
#include <QTest>

#include <limits>

using namespace displaytest;
using tarvisk::UnifontFace;

namespace {

const QString Esc = QString(QChar(0x1B));

QString jpHex()
{
    return UnifontFace::defaultDirectory() + QStringLiteral("/unifont_jp.hex");
}

} // namespace

class TestMiniDisplay : public QObject
{
    Q_OBJECT

private:
    UnifontFace m_font;

private slots:
    void initTestCase()
    {
        if (!m_font.isAvailable())
            QFAIL("the Unifont hex files are needed (Debian package unifont)");
    }

    void startsBlankWithInitialState()
    {
        MiniDisplay d(&m_font);
        QCOMPARE(d.image().size(), QSize(252, 124));
        QCOMPARE(mismatches(d.image(), d.image().rect(), Back), 0);
        QCOMPARE(d.penColor(), MiniDisplay::SystemTextColor);
        QCOMPARE(d.fillColor(), MiniDisplay::Black);
        QVERIFY(!d.fillSolid());
        QCOMPARE(MiniDisplay::outerRect(), QRect(9, 92, 254, 126));

        // reset() gives back exactly this state: the same inverted text comes out the same.
        const Variant probe = list({text("X", 0, 0, 0, 1)});
        MiniDisplay fresh(&m_font), reused(&m_font);
        fresh.DrawDisplay(probe);
        reused.DrawDisplay(list({fill(15), pen(0), box(0, 0, 125, 61)}));
        reused.reset();
        QCOMPARE(mismatches(reused.image(), reused.image().rect(), Back), 0);
        reused.DrawDisplay(probe);
        QCOMPARE(reused.image(), fresh.image());
        QVERIFY(!reused.fillSolid());
    }

    // "AB" at (8, 16) on a solid black fill: the cell (8, 16)-(24, 24) exactly, glyphs over it.
    void textCellWithSolidFill()
    {
        MiniDisplay d(&m_font);
        d.DrawDisplay(list({fill(0), pen(15), text("AB", 8, 16)}));
        const QImage &img = d.image();
        const QRect cell(16, 32, 32, 16);
        QCOMPARE(mismatchesOutside(img, cell, Back), 0);
        const HexBitmap a = readHexGlyph(jpHex(), 0xFF21), b = readHexGlyph(jpHex(), 0xFF22);
        QCOMPARE(a.width, 16);
        QVERIFY(inkPixels(a) > 10);
        QCOMPARE(glyphMismatches(img, 16, 32, a, Back, Black), 0);
        QCOMPARE(glyphMismatches(img, 32, 32, b, Back, Black), 0);

        // The initial pen is black too: the same call then paints the bare black cell.
        MiniDisplay plain(&m_font);
        plain.DrawDisplay(list({fill(0), text("AB", 8, 16)}));
        QCOMPARE(mismatches(plain.image(), cell, Black), 0);
        QCOMPARE(mismatchesOutside(plain.image(), cell, Back), 0);
    }

    void inversionBeforeAndAfterPenCommand()
    {
        const HexBitmap x = readHexGlyph(jpHex(), 0xFF38);
        // Before any pen command the pen is the system text colour, not literal black, so an
        // inverted text is still drawn in black.
        MiniDisplay d(&m_font);
        d.DrawDisplay(list({text("X", 0, 0, 0, 1)}));
        QCOMPARE(glyphMismatches(d.image(), 0, 0, x, Black, Back), 0);
        QCOMPARE(d.penColor(), MiniDisplay::SystemTextColor);

        // After pen 5 (literal black) the inverted text comes out in the background colour.
        d.DrawDisplay(list({fill(0), box(10, 0, 30, 8), fill(255), pen(5), text("X", 10, 0, 0, 1)}));
        QCOMPARE(glyphMismatches(d.image(), 20, 0, x, Back, Black), 0);
        QCOMPARE(d.penColor(), MiniDisplay::Black);

        // With a solid background fill the inverted cell is lit and the glyph unlit; the state
        // comes back afterwards.
        d.DrawDisplay(list({fill(15), pen(0), text("X", 40, 20, 0, 1)}));
        QCOMPARE(glyphMismatches(d.image(), 80, 40, x, Back, Black), 0);
        QCOMPARE(d.penColor(), MiniDisplay::Black);
        QCOMPARE(d.fillColor(), MiniDisplay::BackColor);
        QVERIFY(d.fillSolid());
        // Attribute bits other than bit 0 do not invert.
        MiniDisplay e(&m_font);
        e.DrawDisplay(list({fill(15), pen(0), text("X", 0, 0, 0, 6)}));
        QCOMPARE(glyphMismatches(e.image(), 0, 0, x, Black, Back), 0);
    }

    void frameFlags_data()
    {
        QTest::addColumn<int>("flags");
        QTest::addColumn<bool>("framed");
        QTest::newRow("1") << 1 << false;
        QTest::newRow("2") << 2 << false;
        QTest::newRow("0x100") << 0x100 << false;
        QTest::newRow("4") << 4 << true;
        QTest::newRow("32") << 32 << true;
        QTest::newRow("64") << 64 << true;
        QTest::newRow("100") << 100 << true;
        QTest::newRow("-1") << -1 << true;
    }
    void frameFlags()
    {
        QFETCH(int, flags);
        QFETCH(bool, framed);
        MiniDisplay d(&m_font);
        // Text "AB" at (10, 20): cell (10, 20)-(26, 28), frame (9, 19)-(27, 29) one unit wide.
        d.DrawDisplay(list({text("AB", 10, 20, flags)}));
        const QRect frame(18, 38, 36, 20);
        const QRect cell(20, 40, 32, 16);
        const int ring = frame.width() * frame.height() - cell.width() * cell.height();
        QCOMPARE(mismatches(d.image(), frame, Black) - mismatches(d.image(), cell, Black), framed ? 0 : ring);
        QCOMPARE(mismatchesOutside(d.image(), frame, Back), 0);
    }

    void frameKeepsThePenFromBeforeInversion()
    {
        MiniDisplay d(&m_font);
        d.DrawDisplay(list({fill(0), box(0, 0, 40, 20), fill(255), pen(15), text("A", 8, 4, 4, 1)}));
        const QImage &img = d.image();
        // Frame (7, 3)-(17, 13) in the background colour, glyph in black (inverted lit pen).
        QCOMPARE(mismatches(img, QRect(14, 6, 20, 2), Back), 0);
        QCOMPARE(mismatches(img, QRect(14, 24, 20, 2), Back), 0);
        QCOMPARE(mismatches(img, QRect(14, 6, 2, 20), Back), 0);
        QCOMPARE(mismatches(img, QRect(32, 6, 2, 20), Back), 0);
        QCOMPARE(mismatches(img, QRect(16, 8, 16, 16), Black), 0); // black glyph on black
        QCOMPARE(d.penColor(), MiniDisplay::BackColor);
    }

    void escapeTable()
    {
        using tarvisk::expandDisplayEscapes;
        const QString symbols = QStringLiteral("▽△▼▲◆◇←→≪≫⇔⌒○●◎");
        for (int i = 0; i < symbols.size(); ++i)
            QCOMPARE(expandDisplayEscapes(Esc + QChar(0x10 + i)), QString(symbols[i]));
        QCOMPARE(expandDisplayEscapes(Esc + "0" + Esc + "1" + Esc + "2" + Esc + "3" + Esc + "4" + Esc + "5"),
                 QStringLiteral("！ｉ？ＣＷＸ"));
        QCOMPARE(expandDisplayEscapes("x" + Esc + "2"), QStringLiteral("x？"));
        QCOMPARE(expandDisplayEscapes(Esc + "9"), QStringLiteral("9"));
        QCOMPARE(expandDisplayEscapes(Esc + QChar(0x1F)), QString(QChar(0x1F)));
        QCOMPARE(expandDisplayEscapes(Esc + Esc), QStringLiteral("⌒"));
        QCOMPARE(expandDisplayEscapes(Esc + Esc + Esc + Esc), QStringLiteral("⌒⌒"));
        QCOMPARE(expandDisplayEscapes("a" + Esc + Esc + "b" + Esc + "c"), QStringLiteral("a⌒bc"));
        for (const QString &bad : {Esc, "abc" + Esc, Esc + Esc + Esc, Esc + "1" + Esc}) {
            QCOMPARE(tarvisk::statusOf([&] { expandDisplayEscapes(bad); }), tarvisk::ErrInvalidArgument);
        }
    }

    void narrowToWide()
    {
        using tarvisk::toWideCharacters;
        QCOMPARE(toWideCharacters("Az09 !~"), QStringLiteral("Ａｚ０９　！～"));
        QCOMPARE(toWideCharacters(QStringLiteral("ｱｲｳｴｵｦﾝｰ｡｢｣､･")), QStringLiteral("アイウエオヲンー。「」、・"));
        QCOMPARE(toWideCharacters(QStringLiteral("ｶﾞﾊﾟﾎﾟｳﾞﾄﾞ")), QStringLiteral("ガパポヴド"));
        // A mark that cannot combine stays a mark of its own.
        QCOMPARE(toWideCharacters(QStringLiteral("ｱﾞﾏﾟﾞ")), QStringLiteral("ア゛マ゜゛"));
        QCOMPARE(toWideCharacters(QStringLiteral("é→漢ア\n")), QStringLiteral("é→漢ア\n"));
    }

    // Escapes are drawn as the symbols they stand for, through the whole command.
    void escapesOnTheSurface()
    {
        MiniDisplay viaEscape(&m_font), direct(&m_font);
        viaEscape.DrawDisplay(list({text("x" + Esc + "2" + Esc + "9" + Esc + Esc, 0, 0)}));
        direct.DrawDisplay(list({text(QStringLiteral("ｘ？９⌒"), 0, 0)}));
        QCOMPARE(viaEscape.image(), direct.image());
        QCOMPARE(glyphMismatches(direct.image(), 16, 0, readHexGlyph(jpHex(), 0xFF1F), Black, Back), 0);

        // A symbol with a narrow glyph sits in the middle of its full-width cell.
        MiniDisplay sym(&m_font);
        sym.DrawDisplay(list({text(Esc + QChar(0x10) + "A", 0, 0)}));
        const HexBitmap tri = readHexGlyph(jpHex(), 0x25BD);
        QCOMPARE(tri.width, 8);
        QCOMPARE(glyphMismatches(sym.image(), 4, 0, tri, Black, Back), 0);
        QCOMPARE(glyphMismatches(sym.image(), 16, 0, readHexGlyph(jpHex(), 0xFF21), Black, Back), 0);

        // A trailing escape ends the list before the text and anything after it.
        MiniDisplay trailing(&m_font);
        trailing.DrawDisplay(list({line(0, 30, 100, 30), text("AB" + Esc, 0, 0), line(0, 40, 100, 40)}));
        QCOMPARE(mismatches(trailing.image(), QRect(0, 60, 202, 2), Black), 0);
        QCOMPARE(mismatchesOutside(trailing.image(), QRect(0, 60, 202, 2), Back), 0);
    }

    void halfWidthKanaAndKanjiRender()
    {
        MiniDisplay d(&m_font);
        d.DrawDisplay(list({text(QStringLiteral("ｶﾞ漢"), 0, 0)}));
        QCOMPARE(glyphMismatches(d.image(), 0, 0, readHexGlyph(jpHex(), 0x30AC), Black, Back), 0);
        QCOMPARE(glyphMismatches(d.image(), 16, 0, readHexGlyph(jpHex(), 0x6F22), Black, Back), 0);
        QCOMPARE(mismatchesOutside(d.image(), QRect(0, 0, 32, 16), Back), 0);
    }

    void lineAndBoxGeometry()
    {
        MiniDisplay d(&m_font);
        d.DrawDisplay(list({line(0, 10, 125, 10)}));
        QCOMPARE(mismatches(d.image(), QRect(0, 20, 252, 2), Black), 0);
        QCOMPARE(mismatchesOutside(d.image(), QRect(0, 20, 252, 2), Back), 0);

        MiniDisplay v(&m_font);
        v.DrawDisplay(list({line(5, 50, 5, 3)}));
        QCOMPARE(mismatches(v.image(), QRect(10, 6, 2, 96), Black), 0);
        QCOMPARE(mismatchesOutside(v.image(), QRect(10, 6, 2, 96), Back), 0);

        // Diagonal: both ends lit, one unit thick, nothing but the two colours.
        MiniDisplay g(&m_font);
        g.DrawDisplay(list({line(0, 0, 20, 10)}));
        QCOMPARE(mismatches(g.image(), QRect(0, 0, 2, 2), Black), 0);
        QCOMPARE(mismatches(g.image(), QRect(40, 20, 2, 2), Black), 0);
        QCOMPARE(mismatchesOutside(g.image(), QRect(0, 0, 42, 22), Back), 0);
        for (int x = 0; x < 42; ++x) {
            int lit = 0;
            for (int y = 0; y < 22; ++y)
                lit += g.image().pixel(x, y) == Black;
            QVERIFY2(lit >= 2 && lit <= 3, qPrintable(QString::number(x)));
        }

        // The whole visible area as a box, (0, 0)-(125, 61): outline on the outermost unit,
        // inside untouched; with a solid fill not one pixel keeps the background.
        MiniDisplay b(&m_font);
        b.DrawDisplay(list({box(0, 0, 125, 61)}));
        QCOMPARE(mismatchesOutside(b.image(), QRect(2, 2, 248, 120), Black), 0);
        QCOMPARE(mismatches(b.image(), QRect(2, 2, 248, 120), Back), 0);
        MiniDisplay whole(&m_font);
        whole.DrawDisplay(list({fill(0), box(0, 0, 125, 61)}));
        QCOMPARE(mismatches(whole.image(), whole.image().rect(), Black), 0);
        whole.DrawDisplay(list({pen(15), fill(15), box(0, 0, 125, 61)}));
        QCOMPARE(mismatches(whole.image(), whole.image().rect(), Back), 0);

        // Corners in any order; a solid fill paints the inside.
        MiniDisplay f1(&m_font), f2(&m_font);
        f1.DrawDisplay(list({fill(0), pen(15), box(30, 20, 10, 5)}));
        f2.DrawDisplay(list({fill(0), pen(15), box(10, 5, 30, 20)}));
        QCOMPARE(f1.image(), f2.image());
        QCOMPARE(mismatches(f1.image(), QRect(22, 12, 38, 28), Black), 0);
        QCOMPARE(mismatches(f1.image(), QRect(20, 10, 42, 2), Back), 0);
        QCOMPARE(mismatchesOutside(f1.image(), QRect(20, 10, 42, 32), Back), 0);

        // Half units are honoured at pixel precision; a flat box is one unit high.
        MiniDisplay h(&m_font);
        h.DrawDisplay(list({box(0.5f, 0.5f, 10.5f, 0.5f)}));
        QCOMPARE(mismatches(h.image(), QRect(1, 1, 22, 2), Black), 0);
        QCOMPARE(mismatchesOutside(h.image(), QRect(1, 1, 22, 2), Back), 0);
    }

    // A box is drawn on the units of the four lines along its edges, whatever its corners:
    // whole, fractional, swapped, flat, partly or wholly off the surface.
    void boxOutlineIsItsFourLines()
    {
        const float corners[][4] = {
            {0, 0, 125, 61},       {10, 5, 30, 20},  {30, 20, 10, 5},          {0.5f, 0.25f, 7.75f, 3.5f},
            {3, 3, 3, 3},          {4, 9, 4, 40},    {-5, -3, 20, 8},          {100, 50, 140, 70},
            {125.4f, 61.4f, 0, 0}, {-9, -9, -2, -2}, {0.7f, 1.3f, 2.2f, 2.6f},
        };
        for (const auto &c : corners) {
            const QString name = QStringLiteral("(%1, %2)-(%3, %4)").arg(c[0]).arg(c[1]).arg(c[2]).arg(c[3]);
            MiniDisplay asBox(&m_font), asLines(&m_font);
            asBox.DrawDisplay(list({box(c[0], c[1], c[2], c[3])}));
            asLines.DrawDisplay(list({line(c[0], c[1], c[2], c[1]), line(c[2], c[1], c[2], c[3]),
                                      line(c[2], c[3], c[0], c[3]), line(c[0], c[3], c[0], c[1])}));
            QVERIFY2(asBox.image() == asLines.image(), qPrintable(name));
            // Filled, the box covers the inside of those lines too, and nothing beyond them.
            MiniDisplay filled(&m_font);
            filled.DrawDisplay(list({fill(0), box(c[0], c[1], c[2], c[3])}));
            int left = 252, top = 124, right = -1, bottom = -1;
            for (int y = 0; y < 124; ++y) {
                for (int x = 0; x < 252; ++x) {
                    if (asLines.image().pixel(x, y) == Black) {
                        left = std::min(left, x), right = std::max(right, x);
                        top = std::min(top, y), bottom = std::max(bottom, y);
                    }
                }
            }
            const QRect hull = right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
            QVERIFY2(mismatches(filled.image(), hull, Black) == 0, qPrintable(name));
            QVERIFY2(mismatchesOutside(filled.image(), hull, Back) == 0, qPrintable(name));
        }
    }

    // After the narrow-to-wide conversion every character takes one full cell, so the glyphs
    // stay in the cells that the background and the frame are drawn for. Symbols the conversion
    // keeps (degree, plus-minus, times, divide, section) have narrow glyphs: each sits in the
    // middle of its cell.
    void everyCharacterTakesOneCell()
    {
        const QString symbols = QStringLiteral("°±×÷§");
        MiniDisplay d(&m_font);
        d.DrawDisplay(list({text(symbols + "A", 2, 3)}));
        for (int i = 0; i < symbols.size(); ++i) {
            const HexBitmap g =
                readHexGlyph(UnifontFace::defaultDirectory() + QStringLiteral("/unifont.hex"), symbols[i].unicode());
            QCOMPARE(g.width, 8);
            const int cellLeft = 4 + 16 * i;
            QVERIFY2(glyphMismatches(d.image(), cellLeft + 4, 6, g, Black, Back) == 0, qPrintable(symbols.mid(i, 1)));
        }
        QCOMPARE(glyphMismatches(d.image(), 4 + 16 * 5, 6, readHexGlyph(jpHex(), 0xFF21), Black, Back), 0);

        // With a solid fill exactly the cells of the seven characters are painted, and the
        // glyphs fall inside them; a control character keeps its cell blank.
        MiniDisplay filled(&m_font);
        filled.DrawDisplay(list({fill(0), pen(15), text(symbols + QChar(0x07) + "A", 0, 0)}));
        const QRect cells(0, 0, 16 * 7, 16);
        QCOMPARE(mismatchesOutside(filled.image(), cells, Back), 0);
        QCOMPARE(glyphMismatches(filled.image(), 16 * 6, 0, readHexGlyph(jpHex(), 0xFF21), Back, Black), 0);
        QCOMPARE(mismatches(filled.image(), QRect(16 * 5, 0, 16, 16), Black), 0);
    }

    void listStopsAtTextWithThreeElements()
    {
        MiniDisplay d(&m_font);
        const Variant shortText = cmd(0x20, list({Variant("AB"), Variant(0), Variant(0)}));
        d.DrawDisplay(list({line(0, 5, 50, 5), shortText, line(0, 20, 50, 20)}));
        QCOMPARE(mismatches(d.image(), QRect(0, 10, 102, 2), Black), 0);
        QCOMPARE(mismatchesOutside(d.image(), QRect(0, 10, 102, 2), Back), 0);
    }

    void unknownCodesAreSkipped()
    {
        MiniDisplay d(&m_font);
        d.DrawDisplay(list({cmd(0, Variant(15)), cmd(33, list({})), cmd(0x12, Variant("junk")), line(0, 5, 50, 5),
                            cmd(-16, Variant()), cmd(0x30 + 0x100, Variant())}));
        QCOMPARE(mismatches(d.image(), QRect(0, 10, 102, 2), Black), 0);
        QCOMPARE(mismatchesOutside(d.image(), QRect(0, 10, 102, 2), Back), 0);

        // Codes and parameters of any numeric type compare by value.
        MiniDisplay t(&m_font);
        t.DrawDisplay(
            list({list({Variant(int16_t(0x11)), Variant(uint8_t(0))}),
                  list({Variant(48.0), list({Variant(0.0f), Variant(int16_t(5)), Variant(uint8_t(50)), Variant(5.0)})}),
                  list({Variant(16.0f), Variant(15.0), Variant("extra")})}));
        QCOMPARE(mismatches(t.image(), QRect(0, 10, 102, 2), Black), 0);
        QCOMPARE(t.penColor(), MiniDisplay::BackColor);
        QVERIFY(t.fillSolid());
    }

    void stateCarriesAcrossCalls()
    {
        MiniDisplay d(&m_font);
        d.DrawDisplay(list({fill(0)}));
        d.DrawDisplay(list({box(0, 0, 50, 20)})); // filled black from the earlier fill
        QCOMPARE(mismatches(d.image(), QRect(0, 0, 100, 40), Black), 0);
        d.DrawDisplay(list({pen(15)}));
        d.DrawDisplay(list({line(2, 10, 40, 10)}));
        QCOMPARE(mismatches(d.image(), QRect(4, 20, 78, 2), Back), 0);
        d.DrawDisplay(list({text("A", 60, 0)})); // black cell from the fill, lit glyph from the pen
        QCOMPARE(glyphMismatches(d.image(), 120, 0, readHexGlyph(jpHex(), 0xFF21), Back, Black), 0);
        d.DrawDisplay(list({fill(255)}));
        QVERIFY(!d.fillSolid());
        QCOMPARE(d.fillColor(), MiniDisplay::Black); // transparent keeps the colour
    }

    void emptyListAndSetLcdChangeNothing()
    {
        MiniDisplay d(&m_font);
        d.DrawDisplay(list({fill(0), pen(15), box(0, 0, 10, 10)}));
        const QImage before = d.image();
        const quint64 count = d.changeCount();
        QVERIFY(count > 0);
        d.DrawDisplay(list({}));
        d.DrawDisplay(Variant(QByteArray()));
        for (const Variant &v : {Variant(), Variant::null(), Variant(1), Variant("text"), list({box(0, 0, 9, 9)})})
            d.SetLCD(v);
        QCOMPARE(d.image(), before);
        QCOMPARE(d.changeCount(), count);
        QCOMPARE(d.penColor(), MiniDisplay::BackColor);
        QCOMPARE(d.fillColor(), MiniDisplay::Black);
        QVERIFY(d.fillSolid());
        d.DrawDisplay(list({line(0, 30, 5, 30)}));
        QCOMPARE(d.changeCount(), count + 1);
    }

    // Bad input never escapes and never undoes what the list drew before it.
    void badInputEndsTheListSilently_data()
    {
        QTest::addColumn<Variant>("bad");
        QTest::newRow("item not a list") << Variant(16);
        QTest::newRow("item a text") << Variant("16,15");
        QTest::newRow("item with one element") << list({Variant(0x10)});
        QTest::newRow("empty item") << list({});
        QTest::newRow("item empty") << Variant();
        QTest::newRow("code a text") << list({Variant("pen"), Variant(15)});
        QTest::newRow("code an array") << list({list({}), Variant(15)});
        QTest::newRow("code null") << list({Variant::null(), Variant(15)});
        QTest::newRow("pen not a number") << cmd(0x10, Variant("lit"));
        QTest::newRow("fill an array") << cmd(0x11, list({Variant(15)}));
        QTest::newRow("line not a list") << cmd(0x30, Variant(5));
        QTest::newRow("line three numbers") << cmd(0x30, list({Variant(1), Variant(2), Variant(3)}));
        QTest::newRow("box with a text") << cmd(0x31, list({Variant(1), Variant(2), Variant("x"), Variant(3)}));
        QTest::newRow("line single overflow") << cmd(0x30, list({Variant(1e300), Variant(0), Variant(1), Variant(1)}));
        QTest::newRow("line infinite") << cmd(
            0x30, list({Variant(std::numeric_limits<float>::infinity()), Variant(0), Variant(1), Variant(1)}));
        QTest::newRow("box nan") << cmd(
            0x31, list({Variant(0), Variant(std::numeric_limits<float>::quiet_NaN()), Variant(1), Variant(1)}));
        QTest::newRow("text not a list") << cmd(0x20, Variant("AB"));
        QTest::newRow("text four elements") << cmd(0x20, list({Variant("AB"), Variant(0), Variant(0), Variant(0)}));
        QTest::newRow("text of an array")
            << cmd(0x20, list({list({}), Variant(0), Variant(0), Variant(0), Variant(0)}));
        QTest::newRow("text x not a number") << text("AB", Variant("left"), Variant(0));
        QTest::newRow("text y beyond 32 bits") << text("AB", Variant(0), Variant(1e10));
        QTest::newRow("text right edge beyond 32 bits") << text("ABCDEFGHIJ", Variant(2147483600), Variant(0));
        QTest::newRow("text bottom edge beyond 32 bits") << text("A", Variant(0), Variant(2147483645));
        QTest::newRow("text flags a text") << text("AB", Variant(0), Variant(0), Variant("four"));
        QTest::newRow("text attributes beyond 32 bits")
            << text("AB", Variant(0), Variant(0), Variant(0), Variant(4294967296.0));
        QTest::newRow("text null") << text("AB", Variant(0), Variant(0), Variant::null());
        QTest::newRow("text object") << cmd(0x20, list({Variant(std::make_shared<tarvisk::VariantObject>()), Variant(0),
                                                        Variant(0), Variant(0), Variant(0)}));
        Variant deep = list({Variant(0x20), Variant(1)});
        for (int i = 0; i < 1000; ++i)
            deep = list({deep, deep});
        QTest::newRow("deeply nested junk") << deep;
    }
    void badInputEndsTheListSilently()
    {
        QFETCH(Variant, bad);
        MiniDisplay d(&m_font);
        // Inversion and a pen change come before the bad item; the item after must not run.
        d.DrawDisplay(list({line(0, 5, 50, 5), pen(5), fill(15), bad, pen(15), line(0, 20, 50, 20)}));
        QCOMPARE(mismatches(d.image(), QRect(0, 10, 102, 2), Black), 0);
        QCOMPARE(mismatchesOutside(d.image(), QRect(0, 10, 102, 2), Back), 0);
        QCOMPARE(d.penColor(), MiniDisplay::Black);
        QCOMPARE(d.fillColor(), MiniDisplay::BackColor);
        QVERIFY(d.fillSolid());
        // The display goes on working.
        d.DrawDisplay(list({line(0, 30, 50, 30)}));
        QCOMPARE(mismatches(d.image(), QRect(0, 60, 102, 2), Black), 0);
    }

    // A text that fails after its inversion was worked out leaves the pen and fill alone.
    void failedInvertedTextKeepsState()
    {
        MiniDisplay d(&m_font);
        d.DrawDisplay(list({pen(5), fill(0), text("AB", Variant(0), Variant(0), Variant("x"), Variant(1))}));
        QCOMPARE(d.penColor(), MiniDisplay::Black);
        QCOMPARE(d.fillColor(), MiniDisplay::Black);
        QCOMPARE(mismatches(d.image(), d.image().rect(), Back), 0);
    }

    void nonListInputDrawsNothing()
    {
        MiniDisplay d(&m_font);
        const Variant inputs[] = {Variant(),
                                  Variant::null(),
                                  Variant(true),
                                  Variant(16),
                                  Variant(3.5),
                                  Variant("[[16,15]]"),
                                  Variant(std::make_shared<tarvisk::VariantObject>()),
                                  Variant(QByteArray("\x10\x0f", 2)),
                                  list({Variant(QByteArray("\x10\x0f", 2))})};
        for (const Variant &v : inputs)
            d.DrawDisplay(v);
        QCOMPARE(mismatches(d.image(), d.image().rect(), Back), 0);
        QCOMPARE(d.changeCount(), quint64(0));
        // A byte array item is a list of bytes: code 0x10, parameter 15.
        QCOMPARE(d.penColor(), MiniDisplay::BackColor);
    }

    void hugeAndNegativeCoordinatesAreClipped()
    {
        MiniDisplay d(&m_font);
        d.DrawDisplay(
            list({line(-1e30f, 10, 1e30f, 10), box(-1e9f, -1e9f, 1e9f, 1e9f),
                  text(QString(5000, u'W'), -2000000000, 50), text("X", 2147483000, 2147483000), box(40, 30, 20, 40)}));
        QCOMPARE(mismatches(d.image(), QRect(0, 20, 252, 2), Black), 0);
        // The huge box's outline lies far off the surface; nothing of it shows. The last box
        // (corners swapped) proves the list ran to its end.
        QCOMPARE(mismatchesOutside(d.image(), QRect(0, 20, 252, 2).united(QRect(40, 60, 42, 22)), Back), 0);
        QCOMPARE(mismatches(d.image(), QRect(40, 60, 42, 2), Black), 0);

        // Lines whose ends are at the edge of the single range: no hang, only the two colours.
        MiniDisplay far(&m_font);
        far.DrawDisplay(list({line(3e38f, -3e38f, -3e38f, 3e38f), line(-3e38f, 7, 3e38f, 7.5f), line(1, 1, 1, 1),
                              line(200, 200, 300, 300), line(-5, -5, -50, 100)}));
        QVERIFY(onlyDisplayColours(far.image()));
        QCOMPARE(mismatches(far.image(), QRect(2, 2, 2, 2), Black), 0);

        // Texts partly off the surface are cut at its edges.
        MiniDisplay cut(&m_font);
        cut.DrawDisplay(list({text("AB", -9, -4), text("AB", 120, 58)}));
        const HexBitmap a = readHexGlyph(jpHex(), 0xFF21), b = readHexGlyph(jpHex(), 0xFF22);
        for (int row = 0; row < 16; ++row) {
            for (int col = 0; col < 16; ++col) {
                if (row >= 8 && col >= 2) // "Ｂ" of the first text from pixel (-2, -8)
                    QCOMPARE(cut.image().pixel(col - 2, row - 8), b.rows[row][col] ? Black : Back);
                if (row < 8 && col < 12) // "Ａ" of the second from (240, 116)
                    QCOMPARE(cut.image().pixel(240 + col, 116 + row), a.rows[row][col] ? Black : Back);
            }
        }
    }

    void everyPixelIsLitOrUnlit()
    {
        MiniDisplay d(&m_font);
        d.DrawDisplay(
            list({fill(15), pen(0), text(QStringLiteral("ｶﾞｲﾄﾞ ○●◎ 漢字 é Ωж"), 0.3f, 1),
                  line(0.25f, 0.75f, 77.7f, 40.1f), box(1.5f, 20.25f, 50.75f, 44.5f), text("INV", 3, 30, 100, 1)}));
        QVERIFY(onlyDisplayColours(d.image()));
    }

    void paintsWithBorder()
    {
        MiniDisplay d(&m_font);
        d.DrawDisplay(list({pen(0), box(0, 0, 10, 10)}));
        QImage canvas(300, 300, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        {
            QPainter p(&canvas);
            tarvisk::paintMiniDisplay(p, MiniDisplay::outerRect(), d);
        }
        const QRect outer = MiniDisplay::outerRect();
        const QRect inner = outer.adjusted(1, 1, -1, -1);
        QCOMPARE(canvas.copy(inner), d.image());
        QCOMPARE(mismatches(canvas, QRect(outer.left(), outer.top(), outer.width(), 1), Black), 0);
        QCOMPARE(mismatches(canvas, QRect(outer.left(), outer.bottom(), outer.width(), 1), Black), 0);
        QCOMPARE(mismatches(canvas, QRect(outer.left(), outer.top(), 1, outer.height()), Black), 0);
        QCOMPARE(mismatches(canvas, QRect(outer.right(), outer.top(), 1, outer.height()), Black), 0);
        QCOMPARE(canvas.pixel(outer.left() - 1, outer.top() - 1), qRgb(255, 255, 255));
        QCOMPARE(canvas.pixel(outer.right() + 1, outer.bottom() + 1), qRgb(255, 255, 255));
    }
};

QTEST_MAIN(TestMiniDisplay)
#include "tst_minidisplay.moc"
