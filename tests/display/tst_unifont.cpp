#include "common/diagnostics.h"
#include "support/displaytest.h"

#include <QTemporaryDir>
#include <QTest>

using namespace displaytest;
using tarvisk::CapturingDiagnostics;
using tarvisk::UnifontFace;
using tarvisk::UnifontGlyph;

namespace {

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(contents);
}

QByteArray repeatDigit(char c, int n)
{
    return QByteArray(n, c);
}

// A 16 × 16 staircase that shows orientation mistakes: row r lights its r + 1 leftmost pixels.
QByteArray staircase16()
{
    QByteArray hex;
    for (int r = 0; r < 16; ++r)
        hex += QByteArray::number(0xFFFFu << (15 - r) & 0xFFFFu, 16).toUpper().rightJustified(4, '0');
    return hex;
}

} // namespace

class TestUnifont : public QObject
{
    Q_OBJECT

private slots:
    void decodesBothWidths()
    {
        const QByteArray narrow = "0000000018242442427E424242420000";
        const auto a = tarvisk::decodeUnifontBitmap(narrow.constData(), narrow.size());
        QVERIFY(a);
        QCOMPARE(a->width, 8);
        QCOMPARE(a->rows[4], uint16_t(0x1800));
        QVERIFY(a->pixel(3, 4) && a->pixel(4, 4) && !a->pixel(2, 4));
        const QByteArray wide = staircase16();
        const auto s = tarvisk::decodeUnifontBitmap(wide.constData(), wide.size());
        QVERIFY(s);
        QCOMPARE(s->width, 16);
        QVERIFY(s->pixel(0, 0) && !s->pixel(1, 0) && s->pixel(15, 15));
        for (const QByteArray &bad : {QByteArray(), narrow.left(31), narrow + "0", repeatDigit('G', 32),
                                      repeatDigit('0', 48), wide.left(63) + "x"})
            QVERIFY2(!tarvisk::decodeUnifontBitmap(bad.constData(), bad.size()), bad.constData());
    }

    // The real files: the Japanese forms win, and the face hands out what the file holds.
    void prefersTheJapaneseFile()
    {
        UnifontFace face;
        QVERIFY(face.isAvailable());
        const QString dir = UnifontFace::defaultDirectory();
        for (char32_t cp : {char32_t(0xFF21), char32_t(0x30A2), char32_t(0x6F22), char32_t(0x25BD)}) {
            const HexBitmap expected = readHexGlyph(dir + "/unifont_jp.hex", cp);
            const UnifontGlyph *g = face.glyph(cp);
            QVERIFY(g);
            QCOMPARE(g->width, expected.width);
            for (int row = 0; row < 16; ++row)
                for (int col = 0; col < g->width; ++col)
                    QCOMPARE(g->pixel(col, row), bool(expected.rows[row][col]));
        }
        // The two files differ for the full-width A: proof that the first one was used.
        QVERIFY(readHexGlyph(dir + "/unifont.hex", 0xFF21).rows != readHexGlyph(dir + "/unifont_jp.hex", 0xFF21).rows);
        QCOMPARE(face.glyph(0xFF21), face.glyph(0xFF21)); // decoded once, same storage
        QVERIFY(!face.glyph(0xD800));                     // a lone surrogate has no glyph
    }

    void toleratesMalformedLinesAndFallsBack()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray stair = staircase16();
        writeFile(dir.filePath("unifont_jp.hex"), "zz41:" + repeatDigit('F', 32) + "\n"         // bad code
                                                      + "0042:123\n"                            // bad length
                                                      + "0043:" + repeatDigit('G', 32) + "\n"   // bad digits
                                                      + "\n:\n0045\n"                           // fragments
                                                      + "0041:" + repeatDigit('F', 32) + "\r\n" // CRLF
                                                      + "0041:" + repeatDigit('0', 32) +
                                                      "\n"                      // repeated: first one counts
                                                      + "1F600:" + stair + "\n" // beyond the BMP
                                                      + "FF21:" + stair);       // no newline at the end
        writeFile(dir.filePath("unifont.hex"),
                  "0041:" + repeatDigit('0', 32) + "\n0044:" + repeatDigit('F', 64) + "\n");
        CapturingDiagnostics diag;
        UnifontFace face(dir.path());
        QVERIFY(face.isAvailable());
        QCOMPARE(face.glyph(0x41)->rows[0], uint16_t(0xFF00));
        QVERIFY(!face.glyph(0x42));
        QVERIFY(!face.glyph(0x43));
        QVERIFY(!face.glyph(0x45));
        QCOMPARE(face.glyph(0x44)->width, 16); // only in the second file
        QVERIFY(face.glyph(0x1F600)->pixel(0, 0));
        QVERIFY(diag.debugLines.isEmpty());

        // Pixel for pixel on the surface: row r of the glyph lights its r + 1 leftmost pixels.
        MiniDisplay d(&face);
        d.DrawDisplay(list({text("A", 10, 20)}));
        for (int row = 0; row < 16; ++row)
            for (int col = 0; col < 16; ++col)
                QCOMPARE(d.image().pixel(20 + col, 40 + row), col <= row ? Black : Back);
        QCOMPARE(mismatchesOutside(d.image(), QRect(20, 40, 16, 16), Back), 0);
    }

    void missingFilesFailSoftAndReportOnce()
    {
        QTemporaryDir dir;
        CapturingDiagnostics diag;
        UnifontFace face(dir.filePath("nowhere"));
        MiniDisplay d(&face);
        QVERIFY(diag.debugLines.isEmpty()); // nothing is read before a text needs it
        d.DrawDisplay(list({line(0, 20, 10, 20), fill(0), pen(15), text("AB", 0, 0), text("CD", 0, 30, 4)}));
        d.DrawDisplay(list({text("EF", 20, 20)}));
        QCOMPARE(diag.debugLines.size(), 1);
        QVERIFY(diag.debugLines[0].contains(dir.filePath("nowhere")));
        QVERIFY(!face.isAvailable());
        // The cells, frames and lines are still drawn; only the glyphs are missing.
        QCOMPARE(mismatches(d.image(), QRect(0, 0, 32, 16), Black), 0);
        QCOMPARE(mismatches(d.image(), QRect(0, 40, 22, 2), Black), 0);
        QCOMPARE(mismatches(d.image(), QRect(0, 60, 32, 16), Black), 0);

        // An empty file counts as missing; the other file is then used alone.
        QTemporaryDir one;
        writeFile(one.filePath("unifont_jp.hex"), "");
        writeFile(one.filePath("unifont.hex"), "FF21:" + staircase16() + "\n");
        UnifontFace fallback(one.path());
        QVERIFY(fallback.glyph(0xFF21));
        QCOMPARE(diag.debugLines.size(), 1);
    }

    void directoryFromTheEnvironment()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("unifont_jp.hex"), "FF21:" + staircase16() + "\n");
        const QByteArray before = qgetenv("TARVISK_UNIFONT_DIR");
        qputenv("TARVISK_UNIFONT_DIR", dir.path().toLocal8Bit());
        UnifontFace face;
        const UnifontGlyph *g = face.glyph(0xFF21);
        qunsetenv("TARVISK_UNIFONT_DIR");
        QCOMPARE(UnifontFace::defaultDirectory(), QStringLiteral("/usr/share/unifont"));
        if (!before.isEmpty())
            qputenv("TARVISK_UNIFONT_DIR", before);
        QCOMPARE(face.directory(), dir.path());
        QVERIFY(g && g->pixel(0, 0) && !g->pixel(1, 0));
    }
};

QTEST_MAIN(TestUnifont)
#include "tst_unifont.moc"
