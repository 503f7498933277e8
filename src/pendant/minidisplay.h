#pragma once

#include "common/variant.h"

#include <QImage>
#include <QObject>
#include <QRect>

#include <cstdint>

class QPainter;

namespace tarvisk {

class UnifontFace;

// The mini pendant's graphic display: a retained monochrome surface of 126 × 62 units,
// 2 × 2 pixels a unit, painted only by drawing-command lists. It never clears itself and keeps
// its drawing state (pen colour, fill colour and style) from one list to the next for as long
// as it exists. Every pixel is either the background grey green or black: no anti-aliasing.
//
// Coverage, in whole units at 96 dpi (a coordinate rounds to the nearest pixel edge, so half
// units are honoured): a line covers the unit at each of its ends and the units between them; a
// box covers every unit from its lesser to its greater corner, both included, so its outline is
// the four lines along its edges and (0, 0)-(125, 61) covers the whole surface. A text of n
// characters at (x, y) takes the n cells of 8 × 8 units from (x, y) to (x + 8n - 1, y + 7), one
// cell per character whatever its glyph; its frame is the ring of units around those cells.
//
// A window holds one, calls DrawDisplay for link message 259 and "drawminitp", and repaints
// when changeCount() moved since it last painted; its paint event calls paintMiniDisplay.
// Whoever else shows the surface listens to changed().
class MiniDisplay : public QObject
{
    Q_OBJECT
public:
    static constexpr int UnitsWide = 126;
    static constexpr int UnitsHigh = 62;
    static constexpr int PixelsPerUnit = 2;
    static constexpr int PixelWidth = UnitsWide * PixelsPerUnit;  // 252
    static constexpr int PixelHeight = UnitsHigh * PixelsPerUnit; // 124
    static constexpr int BorderPixels = 1;

    // Colours as &HBBGGRR values; the top bit marks a system colour.
    static constexpr uint32_t BackColor = 0x80A080; // RGB(128, 160, 128)
    static constexpr uint32_t Black = 0;
    // The initial pen: the system's text colour (black), which is not the literal black.
    static constexpr uint32_t SystemTextColor = 0x80000012;

    // Glyphs come from UnifontFace::shared() unless a face is given; a given face must outlive
    // the display.
    MiniDisplay();
    explicit MiniDisplay(UnifontFace *font);
    ~MiniDisplay() override;

    // Executes a drawing-command list. Never fails: the first error ends the list silently
    // and what was drawn before it stays.
    void DrawDisplay(const Variant &data);
    // Accepts any value and has no effect; the display is drawn through DrawDisplay only.
    void SetLCD(const Variant &data);
    // Back to the state at load: unlit all over, the initial pen, fill and fill style. The
    // windows never call it (their display keeps what is drawn for as long as they exist); it lets
    // the fuzz target reuse one display without allocating a surface every round.
    void reset();

    // The surface inside the border, PixelWidth × PixelHeight, format RGB32.
    const QImage &image() const { return m_image; }
    // Moves whenever a DrawDisplay call wrote pixels.
    quint64 changeCount() const { return m_changeCount; }

    uint32_t penColor() const { return m_pen; }
    uint32_t fillColor() const { return m_fill; }
    bool fillSolid() const { return m_fillSolid; }

    // The display's place in the mini pendant window, border included: in twips, and in pixels
    // at 96 dpi.
    static QRect outerRectTwips() { return QRect(135, 1380, 3810, 1890); }
    static QRect outerRect() { return QRect(9, 92, PixelWidth + 2 * BorderPixels, PixelHeight + 2 * BorderPixels); }

    // The pixel colour of an &HBBGGRR value (system colours are the usual scheme's text black).
    static QRgb toRgb(uint32_t color);

signals:
    // A DrawDisplay call wrote pixels (changeCount() moved).
    void changed();

private:
    void executeItem(const Variant &item);
    void drawText(const Variant &param);
    void drawTextGlyphs(const QString &text, int64_t x, int64_t y, QRgb color);
    void fillPixels(int64_t left, int64_t top, int64_t right, int64_t bottom, QRgb color);
    void drawBox(double x1, double y1, double x2, double y2, QRgb outline, const QRgb *fill);
    void paintBox(int64_t left, int64_t top, int64_t right, int64_t bottom, QRgb outline, const QRgb *fill);
    void drawLine(double x1, double y1, double x2, double y2, QRgb color);
    void stamp(int64_t x, int64_t y, QRgb color);

    UnifontFace *m_font;
    QImage m_image;
    uint32_t m_pen = SystemTextColor;
    uint32_t m_fill = Black;
    bool m_fillSolid = false;
    bool m_touched = false;
    quint64 m_changeCount = 0;
};

// Paints the display and its one-pixel flat border into `outer` (outerRect() at 96 dpi and
// 100%). A larger box (a zoomed pendant) shows every unit as the same whole number of device
// pixels, the most that fits (2 at 100%, 3 at 150%, 4 at 200%), sampled nearest-neighbour and
// centred on unlit background; never smoothed.
void paintMiniDisplay(QPainter &painter, const QRect &outer, const MiniDisplay &display);
// Device pixels per unit for an inner area of that size (logical pixels at that ratio).
int displayPixelsPerUnit(const QSize &inner, double devicePixelRatio);
// The surface at that many pixels per unit, nearest-neighbour.
QImage scaledDisplayImage(const QImage &surface, int pixelsPerUnit);

} // namespace tarvisk
