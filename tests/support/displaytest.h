#pragma once

#include "common/variant.h"
#include "pendant/minidisplay.h"
#include "pendant/unifont.h"

#include <QFile>
#include <QImage>
#include <QRect>
#include <QString>

#include <vector>

namespace displaytest {

using tarvisk::MiniDisplay;
using tarvisk::Variant;

inline const QRgb Back = qRgb(128, 160, 128);
inline const QRgb Black = qRgb(0, 0, 0);

inline Variant list(std::initializer_list<Variant> items)
{
    return Variant::array(items);
}
inline Variant cmd(int32_t code, const Variant &param)
{
    return Variant::array({Variant(code), param});
}
inline Variant pen(int32_t v)
{
    return cmd(0x10, Variant(v));
}
inline Variant fill(int32_t v)
{
    return cmd(0x11, Variant(v));
}
inline Variant text(const QString &s, Variant x, Variant y, Variant frame = Variant(0), Variant attr = Variant(0))
{
    return cmd(0x20, Variant::array({Variant(s), x, y, frame, attr}));
}
inline Variant line(float x1, float y1, float x2, float y2)
{
    return cmd(0x30, Variant::array({Variant(x1), Variant(y1), Variant(x2), Variant(y2)}));
}
inline Variant box(float x1, float y1, float x2, float y2)
{
    return cmd(0x31, Variant::array({Variant(x1), Variant(y1), Variant(x2), Variant(y2)}));
}

// Pixels of `rect` (clipped to the image) that do not have `color`.
inline int mismatches(const QImage &image, const QRect &rect, QRgb color)
{
    int bad = 0;
    const QRect r = rect & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            bad += image.pixel(x, y) != color;
    return bad;
}

// Pixels outside `rect` that do not have `color`.
inline int mismatchesOutside(const QImage &image, const QRect &rect, QRgb color)
{
    int bad = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            bad += !rect.contains(x, y) && image.pixel(x, y) != color;
    return bad;
}

inline bool onlyDisplayColours(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != Back && image.pixel(x, y) != Black)
                return false;
    return true;
}

// A glyph read straight from a hex file, independently of the loader under test.
struct HexBitmap
{
    int width = 0;
    std::vector<std::vector<bool>> rows;
};

inline HexBitmap readHexGlyph(const QString &path, char32_t codePoint)
{
    HexBitmap g;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return g;
    const QByteArray key = QByteArray::number(uint(codePoint), 16).toUpper().rightJustified(4, '0') + ':';
    while (!f.atEnd()) {
        const QByteArray l = f.readLine().trimmed();
        if (!l.startsWith(key))
            continue;
        const QByteArray bits = l.mid(key.size());
        g.width = int(bits.size()) / 4; // 32 digits: 8 wide, 64: 16 wide
        for (int row = 0; row < 16; ++row) {
            const QByteArray digits = bits.mid(row * g.width / 4, g.width / 4);
            const uint v = digits.toUInt(nullptr, 16);
            std::vector<bool> r;
            for (int col = 0; col < g.width; ++col)
                r.push_back((v >> (g.width - 1 - col)) & 1u);
            g.rows.push_back(r);
        }
        return g;
    }
    return g;
}

// Number of pixels of the glyph's box at (left, top) that differ from the bitmap drawn in
// `ink` over `paper`; -1 when the bitmap is empty.
inline int glyphMismatches(const QImage &image, int left, int top, const HexBitmap &g, QRgb ink, QRgb paper)
{
    if (g.width == 0)
        return -1;
    int bad = 0;
    for (int row = 0; row < 16; ++row)
        for (int col = 0; col < g.width; ++col)
            bad += image.pixel(left + col, top + row) != (g.rows[row][col] ? ink : paper);
    return bad;
}

inline int inkPixels(const HexBitmap &g)
{
    int n = 0;
    for (const auto &r : g.rows)
        for (bool b : r)
            n += b;
    return n;
}

} // namespace displaytest
