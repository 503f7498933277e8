#include "pendant/minidisplay.h"

#include "pendant/minidisplaytext.h"
#include "pendant/unifont.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace tarvisk {

namespace {

constexpr int Unit = MiniDisplay::PixelsPerUnit;
constexpr int CellUnits = 8; // a full-width character cell is 8 × 8 units

// A unit coordinate as a pixel edge. Far-off values are pulled in first so that the integer
// arithmetic after this stays small; the clamp keeps them off the surface.
int64_t toPixel(double units, int limit)
{
    const double px = std::clamp(units * Unit, -4.0 * Unit, double(limit) + 4.0 * Unit);
    return int64_t(std::floor(px + 0.5));
}

// A whole unit of a text cell as a pixel edge, pulled in like toPixel.
int64_t cellPixel(int64_t units)
{
    return std::clamp<int64_t>(units, -4, MiniDisplay::UnitsWide + 4) * Unit;
}

float coordinate(const Variant &value)
{
    const float v = value.toSingle();
    if (!std::isfinite(v))
        raiseError(ErrOverflow);
    return v;
}

// Cuts the segment to the rectangle; false when nothing of it lies inside. Each crossing is
// worked out from the end nearer to the edge, so a line from far off keeps its course across
// the surface (a parametric cut loses it once the ends are 1e30 away).
bool clipSegment(double &x1, double &y1, double &x2, double &y2, double xmin, double ymin, double xmax, double ymax)
{
    const auto outcode = [&](double x, double y) {
        return (x < xmin ? 1 : x > xmax ? 2 : 0) | (y < ymin ? 4 : y > ymax ? 8 : 0);
    };
    // The b coordinate where the line through (a1, b1) and (a2, b2) meets a = bound.
    const auto cross = [](double a1, double b1, double a2, double b2, double bound) {
        if (std::fabs(bound - a1) > std::fabs(bound - a2)) {
            std::swap(a1, a2);
            std::swap(b1, b2);
        }
        return b1 + (b2 - b1) * ((bound - a1) / (a2 - a1));
    };
    int c1 = outcode(x1, y1), c2 = outcode(x2, y2);
    for (int step = 0; step < 8; ++step) {
        if (!(c1 | c2))
            return true;
        if (c1 & c2)
            return false;
        const int c = c1 ? c1 : c2;
        double x, y;
        if (c & 1) {
            x = xmin;
            y = cross(x1, y1, x2, y2, xmin);
        } else if (c & 2) {
            x = xmax;
            y = cross(x1, y1, x2, y2, xmax);
        } else if (c & 4) {
            y = ymin;
            x = cross(y1, x1, y2, x2, ymin);
        } else {
            y = ymax;
            x = cross(y1, x1, y2, x2, ymax);
        }
        if (c == c1) {
            x1 = x;
            y1 = y;
            c1 = outcode(x1, y1);
        } else {
            x2 = x;
            y2 = y;
            c2 = outcode(x2, y2);
        }
    }
    return false; // rounding kept it bouncing at a corner: too little of it to show
}

bool isControl(char32_t cp)
{
    return cp < 0x20 || (cp >= 0x7F && cp < 0xA0);
}

} // namespace

MiniDisplay::MiniDisplay()
    : MiniDisplay(&UnifontFace::shared())
{}

MiniDisplay::MiniDisplay(UnifontFace *font)
    : m_font(font)
    , m_image(PixelWidth, PixelHeight, QImage::Format_RGB32)
{
    m_image.fill(toRgb(BackColor));
}

MiniDisplay::~MiniDisplay() = default;

QRgb MiniDisplay::toRgb(uint32_t color)
{
    if (color & 0x80000000u)
        return qRgb(0, 0, 0);
    return qRgb(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

void MiniDisplay::SetLCD(const Variant &)
{}

void MiniDisplay::reset()
{
    m_image.fill(toRgb(BackColor));
    m_pen = SystemTextColor;
    m_fill = Black;
    m_fillSolid = false;
    ++m_changeCount;
}

void MiniDisplay::DrawDisplay(const Variant &data)
{
    m_touched = false;
    try {
        const int32_t last = data.upperBound();
        for (int32_t i = 0; i <= last; ++i)
            executeItem(data.at(i));
    } catch (const ProvError &) {
        // The list ends at its first error; the sender is told nothing.
    }
    if (m_touched) {
        ++m_changeCount;
        emit changed();
    }
}

void MiniDisplay::executeItem(const Variant &item)
{
    const Variant codeValue = item.at(0);
    const Variant param = item.at(1);
    const double code = codeValue.toDouble();
    const uint32_t back = BackColor;
    if (code == 0x10) {
        m_pen = param.toDouble() == 15 ? back : Black;
    } else if (code == 0x11) {
        const double p = param.toDouble();
        if (p == 255) {
            m_fillSolid = false;
        } else {
            m_fill = p == 15 ? back : Black;
            m_fillSolid = true;
        }
    } else if (code == 0x20) {
        drawText(param);
    } else if (code == 0x30 || code == 0x31) {
        const float x1 = coordinate(param.at(0));
        const float y1 = coordinate(param.at(1));
        const float x2 = coordinate(param.at(2));
        const float y2 = coordinate(param.at(3));
        if (code == 0x30) {
            drawLine(x1, y1, x2, y2, toRgb(m_pen));
        } else {
            const QRgb fill = toRgb(m_fill);
            drawBox(x1, y1, x2, y2, toRgb(m_pen), m_fillSolid ? &fill : nullptr);
        }
    }
}

void MiniDisplay::drawText(const Variant &param)
{
    // Every element is read before the drawing state changes, so a bad text leaves the pen
    // and the fill as they were.
    QString text = expandDisplayEscapes(param.at(0).toString());
    text = toWideCharacters(text);
    const int64_t x = param.at(1).toLong();
    const int64_t y = param.at(2).toLong();
    const int64_t right = x + CellUnits * int64_t(text.size());
    const int64_t bottom = y + CellUnits;
    if (right > std::numeric_limits<int32_t>::max() || bottom > std::numeric_limits<int32_t>::max())
        raiseError(ErrOverflow);
    const int32_t attributes = param.at(4).toLong();
    const int32_t frame = param.at(3).toLong();

    const uint32_t back = BackColor;
    const uint32_t savedPen = m_pen;
    const uint32_t savedFill = m_fill;
    if (attributes & 1) {
        m_pen = savedPen == Black ? back : Black;
        m_fill = savedFill == Black ? back : Black;
    }
    // 100 decimal: bits 0x04, 0x20 and 0x40. The frame keeps the pen from before the inversion
    // and lies on the ring of units around the cells.
    if (frame & 100)
        paintBox(cellPixel(x - 1), cellPixel(y - 1), cellPixel(right + 1), cellPixel(bottom + 1), toRgb(savedPen),
                 nullptr);
    if (m_fillSolid) {
        const QRgb fill = toRgb(m_fill);
        paintBox(cellPixel(x), cellPixel(y), cellPixel(right), cellPixel(bottom), fill, &fill);
    }
    drawTextGlyphs(text, x * Unit, y * Unit, toRgb(m_pen));
    m_pen = savedPen;
    m_fill = savedFill;
}

// Every character takes one 8 × 8-unit cell, as the sender counts them: a wide glyph fills it, a
// narrow one (a symbol the conversion leaves alone, such as the degree sign) sits in its middle,
// and a character without a glyph or a control character leaves its cell blank. A character
// beyond U+FFFF is two characters of the text and takes two cells.
void MiniDisplay::drawTextGlyphs(const QString &text, int64_t x, int64_t y, QRgb color)
{
    constexpr int CellPixels = CellUnits * Unit;
    if (y >= PixelHeight || y + CellPixels <= 0)
        return;
    int64_t penX = x;
    for (qsizetype i = 0; i < text.size() && penX < PixelWidth; ++i) {
        char32_t cp = text[i].unicode();
        int cells = 1;
        if (QChar::isHighSurrogate(cp) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(char16_t(cp), text[++i].unicode());
            cells = 2;
        }
        const int advance = cells * CellPixels;
        const UnifontGlyph *glyph = isControl(cp) ? nullptr : m_font->glyph(cp);
        if (glyph && penX + advance > 0) {
            const int64_t left = penX + (advance - glyph->width) / 2;
            for (int row = 0; row < 16; ++row) {
                const int64_t py = y + row;
                if (py < 0 || py >= PixelHeight || !glyph->rows[row])
                    continue;
                QRgb *line = reinterpret_cast<QRgb *>(m_image.scanLine(int(py)));
                for (int col = 0; col < glyph->width; ++col) {
                    const int64_t px = left + col;
                    if (px >= 0 && px < PixelWidth && glyph->pixel(col, row)) {
                        line[px] = color;
                        m_touched = true;
                    }
                }
            }
        }
        penX += advance;
    }
}

void MiniDisplay::fillPixels(int64_t left, int64_t top, int64_t right, int64_t bottom, QRgb color)
{
    left = std::max<int64_t>(left, 0);
    top = std::max<int64_t>(top, 0);
    right = std::min<int64_t>(right, PixelWidth);
    bottom = std::min<int64_t>(bottom, PixelHeight);
    if (left >= right || top >= bottom)
        return;
    for (int64_t py = top; py < bottom; ++py) {
        QRgb *line = reinterpret_cast<QRgb *>(m_image.scanLine(int(py)));
        std::fill(line + left, line + right, color);
    }
    m_touched = true;
}

// A box command covers every unit from its lesser to its greater corner, both included: the
// units of the four lines along its edges, so that a box and lines with the same corners meet and
// (0, 0)-(125, 61) covers the whole surface. Its outline is those lines; a solid fill paints the
// units inside them.
void MiniDisplay::drawBox(double x1, double y1, double x2, double y2, QRgb outline, const QRgb *fill)
{
    paintBox(toPixel(std::min(x1, x2), PixelWidth), toPixel(std::min(y1, y2), PixelHeight),
             toPixel(std::max(x1, x2), PixelWidth) + Unit, toPixel(std::max(y1, y2), PixelHeight) + Unit, outline,
             fill);
}

// Pixel edges, the right and bottom ones excluded; a one-unit outline on the inside.
void MiniDisplay::paintBox(int64_t left, int64_t top, int64_t right, int64_t bottom, QRgb outline, const QRgb *fill)
{
    if (left >= right || top >= bottom)
        return;
    if (fill)
        fillPixels(left + Unit, top + Unit, right - Unit, bottom - Unit, *fill);
    fillPixels(left, top, right, std::min(top + Unit, bottom), outline);
    fillPixels(left, std::max(bottom - Unit, top), right, bottom, outline);
    fillPixels(left, top, std::min(left + Unit, right), bottom, outline);
    fillPixels(std::max(right - Unit, left), top, right, bottom, outline);
}

void MiniDisplay::stamp(int64_t x, int64_t y, QRgb color)
{
    fillPixels(x, y, x + Unit, y + Unit, color);
}

// A one-unit line: a unit-sized dot whose top-left corner runs from the first point to the
// second, both ends included.
void MiniDisplay::drawLine(double x1, double y1, double x2, double y2, QRgb color)
{
    double ax = x1 * Unit, ay = y1 * Unit, bx = x2 * Unit, by = y2 * Unit;
    if (!clipSegment(ax, ay, bx, by, -Unit, -Unit, PixelWidth, PixelHeight))
        return;
    int64_t x = int64_t(std::floor(ax + 0.5)), y = int64_t(std::floor(ay + 0.5));
    const int64_t ex = int64_t(std::floor(bx + 0.5)), ey = int64_t(std::floor(by + 0.5));
    const int64_t dx = std::abs(ex - x), dy = -std::abs(ey - y);
    const int sx = x < ex ? 1 : -1, sy = y < ey ? 1 : -1;
    int64_t err = dx + dy;
    for (;;) {
        stamp(x, y, color);
        if (x == ex && y == ey)
            break;
        const int64_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

int displayPixelsPerUnit(const QSize &inner, double devicePixelRatio)
{
    const double dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const int across = int(std::floor(inner.width() * dpr / MiniDisplay::UnitsWide));
    const int down = int(std::floor(inner.height() * dpr / MiniDisplay::UnitsHigh));
    return std::max(1, std::min(across, down));
}

QImage scaledDisplayImage(const QImage &surface, int pixelsPerUnit)
{
    const int w = MiniDisplay::UnitsWide * pixelsPerUnit;
    const int h = MiniDisplay::UnitsHigh * pixelsPerUnit;
    if (w == surface.width() && h == surface.height())
        return surface;
    // Nearest neighbour by hand: the sample of each target pixel is the surface pixel under its
    // centre, so a unit's target pixels come from that unit's surface pixels only.
    QImage out(w, h, QImage::Format_RGB32);
    std::vector<int> column(static_cast<size_t>(w));
    for (int x = 0; x < w; ++x)
        column[size_t(x)] =
            std::min(surface.width() - 1, (2 * x + 1) * MiniDisplay::PixelsPerUnit / (2 * pixelsPerUnit));
    for (int y = 0; y < h; ++y) {
        const int sy = std::min(surface.height() - 1, (2 * y + 1) * MiniDisplay::PixelsPerUnit / (2 * pixelsPerUnit));
        const auto *src = reinterpret_cast<const QRgb *>(surface.constScanLine(sy));
        auto *dst = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < w; ++x)
            dst[x] = src[column[size_t(x)]];
    }
    return out;
}

void paintMiniDisplay(QPainter &painter, const QRect &outer, const MiniDisplay &display)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const int b = MiniDisplay::BorderPixels;
    painter.fillRect(outer, Qt::black);
    const QRect inner = outer.adjusted(b, b, -b, -b);
    painter.fillRect(inner, QColor::fromRgb(MiniDisplay::toRgb(MiniDisplay::BackColor)));
    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    QImage shown = scaledDisplayImage(display.image(), displayPixelsPerUnit(inner.size(), dpr));
    shown.setDevicePixelRatio(dpr);
    // Centred on whole pixels; the rest of the inner area is unlit background.
    const QSizeF size = shown.deviceIndependentSize();
    const QPointF at(inner.x() + std::floor((inner.width() - size.width()) * dpr / 2) / dpr,
                     inner.y() + std::floor((inner.height() - size.height()) * dpr / 2) / dpr);
    painter.drawImage(at, shown);
    painter.restore();
}

} // namespace tarvisk
