// tarvisk-display-sheet [-o file.png] [-s scale]
// Draws two screens through drawing-command lists, the way a controller paints them: a menu
// (inverted title, frame, selection bar, scroll box, status line with symbols) and a screen of
// kana, kanji and the escape symbols. Both are painted with their border, stacked, and scaled
// up without smoothing (3× by default).

#include "common/variant.h"
#include "pendant/minidisplay.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>

#include <cstdio>

using tarvisk::MiniDisplay;
using tarvisk::Variant;

namespace {

const QString Esc = QString(QChar(0x1B));

Variant cmd(int32_t code, const Variant &param)
{
    return Variant::array({Variant(code), param});
}
Variant pen(int32_t v)
{
    return cmd(0x10, Variant(v));
}
Variant fill(int32_t v)
{
    return cmd(0x11, Variant(v));
}
Variant text(const QString &s, int32_t x, int32_t y, int32_t frame = 0, int32_t attr = 0)
{
    return cmd(0x20, Variant::array({Variant(s), Variant(x), Variant(y), Variant(frame), Variant(attr)}));
}
Variant line(float x1, float y1, float x2, float y2)
{
    return cmd(0x30, Variant::array({Variant(x1), Variant(y1), Variant(x2), Variant(y2)}));
}
Variant box(float x1, float y1, float x2, float y2)
{
    return cmd(0x31, Variant::array({Variant(x1), Variant(y1), Variant(x2), Variant(y2)}));
}

// Clears the screen the only way a sender can: a box filled with the background colour.
QList<Variant> clearScreen()
{
    return {fill(15), pen(15), box(0, 0, 126, 62), pen(0)};
}

Variant menuScreen()
{
    QList<Variant> items = clearScreen();
    items << text(" MAIN MENU   01", 3, 0, 0, 1)                   // inverted title (lit cell, unlit letters)
          << fill(255) << line(0, 9, 125, 9)                       // rule under it
          << text("1 PROGRAM", 3, 11)                              //
          << fill(15) << text("2 TEACH", 3, 20, 0, 1) << fill(255) // the selected entry
          << text("3 VAR", 3, 29)                                  //
          << text("4 I/O", 3, 39, 4)                               // framed entry
          << box(117, 11, 124, 48)                                 // scroll box
          << fill(0) << box(119, 13, 122, 24) << fill(255)         // its filled thumb
          << line(0, 51, 125, 51)                                  //
          << text(Esc + QChar(0x16) + "BACK " + Esc + QChar(0x12) + Esc + QChar(0x13) + " OK" + Esc + "0", 3, 53);
    return Variant(items);
}

Variant symbolScreen()
{
    QList<Variant> items = clearScreen();
    QString symbols;
    for (int c = 0x10; c <= 0x1E; ++c)
        symbols += Esc + QChar(c);
    items << text(symbols, 3, 1)                                                           // the fifteen symbols
          << text(Esc + "1" + Esc + "2" + Esc + "3" + Esc + "4" + Esc + "5" + "ab", 3, 11) //
          << text(QStringLiteral("ﾃｨｰﾁﾝｸﾞ ﾓｰﾄﾞ"), 3, 21)                                   // half-width kana widened
          << text(QStringLiteral("手動運転　速度１０％"), 3, 31, 100)                      // kanji, framed
          << fill(0) << pen(15) << text(QStringLiteral("ｴﾗｰ E-102"), 3, 43)                // lit on black
          << pen(0) << fill(255) << line(0, 61, 125, 52);                                  // a slanted line
    return Variant(items);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString out = QStringLiteral("display-sheet.png");
    int scale = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("-o") && i + 1 < args.size()) {
            out = args[++i];
        } else if (args[i] == QLatin1String("-s") && i + 1 < args.size()) {
            scale = qBound(1, args[++i].toInt(), 10);
        } else {
            std::fprintf(stderr, "usage: tarvisk-display-sheet [-o file.png] [-s scale]\n");
            return 2;
        }
    }

    const Variant screens[] = {menuScreen(), symbolScreen()};
    const QSize outer = MiniDisplay::outerRect().size();
    const int gap = 6;
    QImage sheet(outer.width() + 2 * gap, int(std::size(screens)) * (outer.height() + gap) + gap, QImage::Format_RGB32);
    sheet.fill(qRgb(236, 236, 236));
    {
        QPainter painter(&sheet);
        int y = gap;
        for (const Variant &screen : screens) {
            MiniDisplay display;
            display.DrawDisplay(screen);
            tarvisk::paintMiniDisplay(painter, QRect(QPoint(gap, y), outer), display);
            y += outer.height() + gap;
        }
    }
    const QImage scaled = sheet.scaled(sheet.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!scaled.save(out, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("%s: %dx%d\n", qPrintable(out), scaled.width(), scaled.height());
    return 0;
}
