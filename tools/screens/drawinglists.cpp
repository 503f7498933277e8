#include "drawinglists.h"

#include <QList>

namespace tarvisk::screens {

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
    return {fill(15), pen(15), box(0, 0, 125, 61), pen(0)}; // a box covers both its corners
}

} // namespace

Variant menuScreen()
{
    QList<Variant> items = clearScreen();
    items << text(QStringLiteral(" MAIN MENU   01"), 3, 0, 0, 1) // inverted title (lit cell, unlit letters)
          << fill(255) << line(0, 9, 125, 9)                     // rule under it
          << text(QStringLiteral("1 PROGRAM"), 3, 11)            //
          << fill(15) << text(QStringLiteral("2 TEACH"), 3, 20, 0, 1) << fill(255) // the selected entry
          << text(QStringLiteral("3 VAR"), 3, 29)                                  //
          << text(QStringLiteral("4 I/O"), 3, 39, 4)                               // framed entry
          << box(117, 11, 124, 48)                                                 // scroll box
          << fill(0) << box(119, 13, 122, 24) << fill(255)                         // its filled thumb
          << line(0, 51, 125, 51)                                                  //
          << text(Esc + QChar(0x16) + QStringLiteral("BACK ") + Esc + QChar(0x12) + Esc + QChar(0x13) +
                      QStringLiteral(" OK") + Esc + QStringLiteral("0"),
                  3, 53);
    return Variant(items);
}

Variant symbolScreen()
{
    QList<Variant> items = clearScreen();
    QString symbols;
    for (int c = 0x10; c <= 0x1E; ++c)
        symbols += Esc + QChar(c);
    items << text(symbols, 3, 1) // the fifteen symbols
          << text(Esc + QStringLiteral("1") + Esc + QStringLiteral("2") + Esc + QStringLiteral("3") + Esc +
                      QStringLiteral("4") + Esc + QStringLiteral("5ab"),
                  3, 11)                                                    //
          << text(QStringLiteral("ﾃｨｰﾁﾝｸﾞ ﾓｰﾄﾞ"), 3, 21)                    // half-width kana widened
          << text(QStringLiteral("手動運転　速度１０％"), 3, 31, 100)       // kanji, framed
          << fill(0) << pen(15) << text(QStringLiteral("ｴﾗｰ E-102"), 3, 43) // lit on black
          << pen(0) << fill(255) << line(0, 61, 125, 52);                   // a slanted line
    return Variant(items);
}

} // namespace tarvisk::screens
