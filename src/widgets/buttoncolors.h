#pragma once

#include <QColor>
#include <QtGlobal>

// Colour values of the drawn buttons are 32-bit longs laid out 0x00BBGGRR (red in the low byte).
// A value with the top bit set does not hold a colour: its low bits name an entry of the system
// colour table, resolved by GetLngColor at drawing time.
namespace tarvisk {

using ColorValue = qint32;

constexpr ColorValue kSystemColorFlag = ColorValue(0x80000000u);

// Indices of the system colour table used by the buttons.
enum SystemColorIndex : int {
    SysButtonShadow3D = 16,
    SysHighlight = 13,
    SysHighlightText = 14,
    SysButtonFace = 15,
    SysGrayText = 17,
    SysButtonText = 18,
    SysButtonHighlight = 20,
    SysDarkShadow3D = 21,
    SysLight3D = 22,
};

// The colour value that names system colour `index`.
constexpr ColorValue systemColor(int index)
{
    return ColorValue(quint32(kSystemColorFlag) | quint32(index));
}

constexpr ColorValue rgbValue(int r, int g, int b)
{
    return ColorValue((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

constexpr int redOf(ColorValue c)
{
    return c & 0xFF;
}
constexpr int greenOf(ColorValue c)
{
    return (c >> 8) & 0xFF;
}
constexpr int blueOf(ColorValue c)
{
    return (c >> 16) & 0xFF;
}

// Entry `index` of the system colour table, as 0x00BBGGRR; 0 (black) for an index the table
// does not have.
ColorValue systemColorValue(int index);

// `color` itself when its top bit is clear, otherwise the system colour it names.
ColorValue GetLngColor(ColorValue color);

// Adds `shift` to red, green and blue separately, clamping each at 0 and 255; the top byte of
// `color` is dropped. `color` must already be resolved.
ColorValue GetShiftColor(ColorValue color, int shift);

// An opaque QColor of a resolved colour value (the top byte is ignored).
inline QColor toQColor(ColorValue c)
{
    return QColor(redOf(c), greenOf(c), blueOf(c));
}

inline ColorValue fromQColor(const QColor &c)
{
    return rgbValue(c.red(), c.green(), c.blue());
}

} // namespace tarvisk
