#include "demoscreens.h"

namespace tarvisk::controller {

namespace {

// Command codes and colour values of the drawing lists.
constexpr int32_t PenColour = 0x10;
constexpr int32_t Fill = 0x11;
constexpr int32_t Text = 0x20;
constexpr int32_t Line = 0x30;
constexpr int32_t Box = 0x31;
constexpr int32_t Background = 15;
constexpr int32_t Black = 0;
constexpr int32_t Transparent = 255;
constexpr int32_t FrameFlag = 4;
constexpr int32_t InvertFlag = 1;

constexpr int Width = 126; // visible display units
constexpr int Height = 62;
constexpr int CharUnits = 8; // a wide character cell is 8 x 8 units
constexpr int BarChars = 14; // the selection bar spans nearly the whole frame
constexpr int FirstEntryY = 16;
constexpr int EntryStep = 11;

Variant item(int32_t code, const Variant &param)
{
    return Variant::array({Variant(code), param});
}

Variant text(const QString &s, int32_t x, int32_t y, int32_t frame = 0, int32_t attributes = 0)
{
    return item(Text, Variant::array({Variant(s), Variant(x), Variant(y), Variant(frame), Variant(attributes)}));
}

Variant points(int32_t code, int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    return item(code, Variant::array({Variant(x1), Variant(y1), Variant(x2), Variant(y2)}));
}

// Background everywhere, then the frame and a title over a rule, in black with a transparent fill.
// A box covers both its corners, so the last visible unit is Width - 1.
VariantArray screenWithTitle(const QString &title)
{
    return {
        item(Fill, Variant(Background)),
        item(PenColour, Variant(Background)),
        points(Box, 0, 0, Width - 1, Height - 1),
        item(Fill, Variant(Transparent)),
        item(PenColour, Variant(Black)),
        points(Box, 0, 0, Width - 1, Height - 1),
        text(title, 4, 3),
        points(Line, 0, 12, Width - 1, 12),
    };
}

int centredX(const QString &s)
{
    return (Width - CharUnits * int(s.size())) / 2;
}

} // namespace

QStringList demoMenuEntries()
{
    return {QStringLiteral("1 Program"), QStringLiteral("2 Jog"), QStringLiteral("3 Speed"), QStringLiteral("4 Info")};
}

Variant demoMenuScreen(int selected)
{
    const QStringList entries = demoMenuEntries();
    const int x = (Width - CharUnits * BarChars) / 2;
    VariantArray list = screenWithTitle(QStringLiteral("MENU"));
    for (int i = 0; i < entries.size(); ++i) {
        const int y = FirstEntryY + EntryStep * i;
        if (i == selected) {
            // Inverted on a solid background fill: the text cell turns black, the letters unlit.
            // Padding with blanks stretches the cell into a bar.
            list << item(Fill, Variant(Background))
                 << text((u' ' + entries[i]).leftJustified(BarChars, u' '), x, y, 0, InvertFlag)
                 << item(Fill, Variant(Transparent));
        } else {
            list << text(u' ' + entries[i], x, y);
        }
    }
    return Variant(list);
}

Variant demoChoiceScreen(int chosen)
{
    const QStringList entries = demoMenuEntries();
    const QString entry = entries.value(chosen);
    VariantArray list = screenWithTitle(QStringLiteral("CHOSEN"));
    list << text(entry, centredX(entry), 26, FrameFlag) << text(QStringLiteral("OK/CANCEL:back"), 7, 49);
    return Variant(list);
}

} // namespace tarvisk::controller
