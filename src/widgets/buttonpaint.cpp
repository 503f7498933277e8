#include "widgets/buttonpaint.h"

#include "common/twips.h"
#include "common/variant.h"

#include <QFontMetrics>
#include <QPainter>

#include <array>
#include <cmath>

namespace tarvisk {

namespace {

QRect ltrb(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

int roundToInt(double x)
{
    return int(roundHalfEven(x));
}

bool highlighted(const ButtonLook &look)
{
    return look.highlightStyle == 1 || look.highlightStyle == 2;
}

// Entries 1 to 10 of the face palette (index 0 unused); the round frame uses 1 (hot) and 6
// (focused), the rest belong to the gradient style's looks.
constexpr std::array<ColorValue, 11> kFacePalette = {
    0,
    rgbValue(255, 178, 49),
    rgbValue(231, 150, 0),
    rgbValue(255, 243, 206),
    rgbValue(255, 219, 140),
    rgbValue(255, 203, 107),
    rgbValue(140, 174, 231),
    rgbValue(107, 130, 239),
    rgbValue(206, 231, 255),
    rgbValue(189, 215, 247),
    rgbValue(181, 209, 240),
};

using FlatPalette = std::array<ColorValue, 10>; // entries 1 to 9

FlatPalette flatPalette(const ButtonLook &look)
{
    const ColorValue bg = GetLngColor(look.backGroundColor);
    FlatPalette e{};
    if (look.pressed) {
        e.fill(bg);
        e[1] = rgbValue(229, 228, 221);
    } else if (look.focused) {
        e = {0,
             rgbValue(255, 255, 255),
             rgbValue(122, 152, 175),
             rgbValue(203, 213, 214),
             rgbValue(152, 175, 190),
             rgbValue(193, 206, 209),
             rgbValue(142, 167, 185),
             rgbValue(166, 186, 202),
             rgbValue(186, 201, 206),
             rgbValue(136, 162, 181)};
    } else if (look.hot) {
        e = {0,
             rgbValue(241, 241, 235),
             rgbValue(206, 206, 195),
             rgbValue(232, 232, 221),
             rgbValue(216, 216, 205),
             rgbValue(228, 228, 217),
             rgbValue(212, 212, 201),
             rgbValue(222, 222, 214),
             rgbValue(226, 226, 217),
             rgbValue(210, 210, 199)};
    } else {
        e.fill(bg);
        e[1] = GetLngColor(look.backColor);
    }
    return e;
}

using CheckPalette = std::array<ColorValue, 5>;

CheckPalette checkPalette(const ButtonLook &look)
{
    if (!look.value)
        return {rgbValue(74, 78, 78), rgbValue(99, 98, 101), rgbValue(76, 92, 92), rgbValue(160, 160, 160),
                rgbValue(204, 204, 204)};
    CheckPalette p{};
    if (look.checkColor == 0)
        p = {rgbValue(74, 101, 78), rgbValue(61, 132, 79), rgbValue(85, 192, 88), rgbValue(68, 185, 70),
             rgbValue(160, 255, 192)};
    else if (look.checkColor == 1)
        p = {rgbValue(118, 41, 44), rgbValue(176, 5, 0), rgbValue(227, 43, 44), rgbValue(204, 16, 13),
             rgbValue(255, 137, 141)};
    if (!look.enabled) {
        for (ColorValue &c : p)
            c = GetShiftColor(c, -72);
    }
    return p;
}

// The twelve pixels that round off the area's corners towards the box's background.
void paintCornerPixels(QPainter &p, const QRect &a, ColorValue bg)
{
    const int l = a.left(), t = a.top(), r = a.left() + a.width(), b = a.top() + a.height();
    const std::array<QPoint, 12> points = {{{l, t},
                                            {l + 1, t},
                                            {l, t + 1},
                                            {r - 1, t},
                                            {r - 2, t},
                                            {r - 1, t + 1},
                                            {l, b - 2},
                                            {l + 1, b - 1},
                                            {l, b - 1},
                                            {r - 1, b - 2},
                                            {r - 2, b - 1},
                                            {r - 1, b - 1}}};
    for (const QPoint &pt : points)
        setPixel(p, pt.x(), pt.y(), bg);
}

void paintInnerCornerPixels(QPainter &p, const QRect &a, ColorValue color)
{
    const int l = a.left(), t = a.top(), r = a.left() + a.width(), b = a.top() + a.height();
    setPixel(p, l + 1, t + 1, color);
    setPixel(p, l + 1, b - 2, color);
    setPixel(p, r - 2, t + 1, color);
    setPixel(p, r - 2, b - 2, color);
}

// The disabled look shared by the round-frame and gradient faces.
void paintDisabledFrames(QPainter &p, const QRect &a, ColorValue tone, ColorValue light)
{
    const int l = a.left(), t = a.top(), r = a.left() + a.width(), b = a.top() + a.height();
    frameRect(p, ltrb(l, t, r - 1, b), tone);
    frameRect(p, a, GetShiftColor(light, -84));
    paintInnerCornerPixels(p, a, GetShiftColor(light, -72));
}

bool areaDrawable(const QRect &a)
{
    return a.left() + a.width() != 0 && a.top() + a.height() != 0;
}

void paintRoundFrameFace(QPainter &p, const ButtonLook &look, const QRect &a, const QSize &client)
{
    if (!areaDrawable(a))
        return;
    const int l = a.left(), t = a.top(), r = a.left() + a.width(), b = a.top() + a.height();
    const ColorValue base = GetLngColor(look.backColor);
    const ColorValue highlight = systemColorValue(SysHighlight);
    const ColorValue tone = highlighted(look) ? highlight : base;
    const ColorValue light = GetShiftColor(tone, 48);
    const ColorValue border = GetLngColor(look.borderColor);

    ColorValue normalTop, normalBottom;
    if (look.highlightStyle == 1) {
        normalTop = highlight;
        normalBottom = GetShiftColor(highlight, -24);
    } else if (look.highlightStyle == 2) {
        normalTop = highlight;
        normalBottom = GetShiftColor(highlight, 24);
    } else {
        normalTop = GetShiftColor(base, 72);
        normalBottom = GetShiftColor(base, -24);
    }
    const auto outerFrame = [&] {
        frameRect(p, a, border);
        paintInnerCornerPixels(p, a, border);
    };

    if (look.enabled) {
        if (look.pressed) {
            fillVerticalGradient(p, a, normalBottom, normalTop);
        } else {
            fillVerticalGradient(p, a, normalTop, normalBottom);
            if (look.hot)
                frameRect(p, ltrb(l + 1, t + 2, r - 1, b - 2), kFacePalette[1]);
            else if (look.focused)
                frameRect(p, ltrb(l + 1, t + 2, r - 1, b - 2), kFacePalette[6]);
        }
        outerFrame();
    } else {
        fillVerticalGradient(p, a, normalTop, normalBottom);
        paintDisabledFrames(p, a, tone, light);
    }

    if (look.roundCorner != RoundCornerAll) {
        const QRegion shape =
            buttonShapeRegion(client, look.radius, look.roundCorner, look.twipsPerPixelX, look.twipsPerPixelY);
        const QColor c = toQColor(border);
        for (const QRect &rect : regionOutline(shape))
            p.fillRect(rect, c);
    }
    paintCornerPixels(p, a, GetLngColor(look.backGroundColor));
}

// The enabled pressed, hot and focused looks of this face show its normal face.
void paintGradientFace(QPainter &p, const ButtonLook &look, const QRect &a)
{
    if (!areaDrawable(a))
        return;
    const ColorValue highlight = systemColorValue(SysHighlight);
    const ColorValue buttonFace = systemColorValue(SysButtonFace);
    const ColorValue tone = highlighted(look) ? highlight : buttonFace;
    const ColorValue light = GetShiftColor(tone, 48);
    if (look.highlightStyle == 1)
        fillVerticalGradient(p, a, highlight, GetShiftColor(highlight, -24));
    else if (look.highlightStyle == 2)
        fillVerticalGradient(p, a, highlight, GetShiftColor(highlight, 24));
    else
        fillVerticalGradient(p, a, rgbValue(255, 255, 255), GetShiftColor(buttonFace, -24));
    if (!look.enabled)
        paintDisabledFrames(p, a, tone, light);
    paintCornerPixels(p, a, GetLngColor(look.backGroundColor));
}

void paintFlatFace(QPainter &p, const ButtonLook &look, const QRect &a)
{
    if (!areaDrawable(a))
        return;
    const int l = a.left(), t = a.top(), r = a.left() + a.width(), b = a.top() + a.height();
    const FlatPalette e = flatPalette(look);
    const ColorValue bg = GetLngColor(look.backGroundColor);

    fillRect(p, a, e[1]);
    if (look.enabled && look.pressed)
        frameRect(p, a.adjusted(4, 4, -4, -4), rgbValue(229, 228, 221));
    for (int inset = 1; inset <= 3; ++inset)
        frameRect(p, a.adjusted(inset, inset, -inset, -inset), e[1]);
    DrawLine(p, r - 2, t, r - 2, b, rgbValue(229, 227, 217));
    DrawLine(p, r - 3, t, r - 3, b, rgbValue(236, 235, 227));
    DrawLine(p, l, b - 3, r, b - 3, rgbValue(228, 225, 214));
    DrawLine(p, l, b - 2, r, b - 2, rgbValue(215, 210, 198));
    frameRect(p, a, e[2]);

    setPixel(p, l, t, bg);
    setPixel(p, l + 1, t, e[3]);
    setPixel(p, l + 2, t, e[4]);
    setPixel(p, l, t + 1, e[5]);
    setPixel(p, l, t + 2, e[6]);
    setPixel(p, l + 1, t + 1, e[7]);

    setPixel(p, r - 1, t, bg);
    setPixel(p, r - 2, t, e[5]);
    setPixel(p, r - 3, t, e[6]);
    setPixel(p, r - 1, t + 1, e[5]);
    setPixel(p, r - 1, t + 2, e[6]);

    setPixel(p, l, b - 1, bg);
    setPixel(p, l, b - 2, e[8]);
    setPixel(p, l, b - 3, e[9]);
    setPixel(p, l + 1, b - 1, e[3]);
    setPixel(p, l + 1, b - 2, e[4]);

    setPixel(p, r - 1, b - 1, bg);
    setPixel(p, r - 2, b - 1, e[5]);
    setPixel(p, r - 3, b - 1, e[6]);
    setPixel(p, r - 1, b - 2, e[8]);
    setPixel(p, r - 1, b - 3, e[9]);
}

// A two-pixel soft 3-D edge on all four sides, in the system's 3-D colours. The bottom and
// right lines are drawn last, so they own the top-right and bottom-left corners of each ring.
void paintEdgeFace(QPainter &p, const ButtonLook &look, const QRect &a)
{
    const int l = a.left(), t = a.top(), r = a.left() + a.width(), b = a.top() + a.height();
    if (r <= l || b <= t)
        return;
    const bool sunken = look.pressed;
    const ColorValue ltOuter = systemColorValue(sunken ? SysDarkShadow3D : SysButtonHighlight);
    const ColorValue ltInner = systemColorValue(sunken ? SysButtonShadow3D : SysLight3D);
    const ColorValue rbOuter = systemColorValue(sunken ? SysButtonHighlight : SysDarkShadow3D);
    const ColorValue rbInner = systemColorValue(sunken ? SysLight3D : SysButtonShadow3D);

    DrawLine(p, l, t, r, t, ltOuter);
    DrawLine(p, l, t, l, b, ltOuter);
    DrawLine(p, l, b - 1, r, b - 1, rbOuter);
    DrawLine(p, r - 1, t, r - 1, b, rbOuter);

    DrawLine(p, l + 1, t + 1, r - 1, t + 1, ltInner);
    DrawLine(p, l + 1, t + 1, l + 1, b - 1, ltInner);
    DrawLine(p, l + 1, b - 2, r - 1, b - 2, rbInner);
    DrawLine(p, r - 2, t + 1, r - 2, b - 1, rbInner);
}

void paintCheckIndicator(QPainter &p, const ButtonLook &look, const QSize &client)
{
    const CheckSpan span = checkIndicatorSpan(look, client);
    if (span.isEmpty())
        return;
    const CheckPalette palette = checkPalette(look);
    for (int i = 0; i < 5; ++i)
        DrawLine(p, span.first, span.top + 5 + i, span.end, span.top + 5 + i, palette[size_t(i)]);
}

QString displayText(const QString &caption)
{
    QString text = caption;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

constexpr int kCaptionFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;

void paintCaption(QPainter &p, const ButtonLook &look, const QSize &client)
{
    if (look.caption.isEmpty())
        return;
    p.setFont(look.font);
    const QRect rect = captionRect(look, client, p.fontMetrics());
    ColorValue color;
    if (look.enabled && highlighted(look))
        color = systemColorValue(SysHighlightText);
    else if (!look.enabled)
        color = systemColorValue(SysGrayText);
    else
        color = GetLngColor(look.foreColor);
    p.save();
    p.setClipRect(rect, Qt::IntersectClip);
    p.setPen(toQColor(color));
    p.drawText(rect, kCaptionFlags, displayText(look.caption));
    p.restore();
}

} // namespace

// --- Primitives ---

void fillRect(QPainter &painter, const QRect &rect, ColorValue color)
{
    if (rect.width() > 0 && rect.height() > 0)
        painter.fillRect(rect, toQColor(GetLngColor(color)));
}

void setPixel(QPainter &painter, int x, int y, ColorValue color)
{
    painter.fillRect(QRect(x, y, 1, 1), toQColor(GetLngColor(color)));
}

void frameRect(QPainter &painter, const QRect &rect, ColorValue color)
{
    const int w = rect.width(), h = rect.height();
    if (w <= 0 || h <= 0)
        return;
    const QColor c = toQColor(GetLngColor(color));
    const int l = rect.left(), t = rect.top();
    painter.fillRect(QRect(l, t, w, 1), c);
    painter.fillRect(QRect(l, t + h - 1, w, 1), c);
    painter.fillRect(QRect(l, t, 1, h), c);
    painter.fillRect(QRect(l + w - 1, t, 1, h), c);
}

void DrawLine(QPainter &painter, int x1, int y1, int x2, int y2, ColorValue color)
{
    const QColor c = toQColor(GetLngColor(color));
    if (y1 == y2) {
        const int from = x1 < x2 ? x1 : x2 + 1;
        const int to = x1 < x2 ? x2 : x1 + 1;
        if (to > from)
            painter.fillRect(QRect(from, y1, to - from, 1), c);
        return;
    }
    if (x1 == x2) {
        const int from = y1 < y2 ? y1 : y2 + 1;
        const int to = y1 < y2 ? y2 : y1 + 1;
        if (to > from)
            painter.fillRect(QRect(x1, from, 1, to - from), c);
        return;
    }
    // Any other slope: Bresenham, stopping before the end point.
    const int dx = std::abs(x2 - x1), dy = -std::abs(y2 - y1);
    const int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
    int err = dx + dy, x = x1, y = y1;
    while (x != x2 || y != y2) {
        painter.fillRect(QRect(x, y, 1, 1), c);
        const int e2 = 2 * err;
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

void fillVerticalGradient(QPainter &painter, const QRect &rect, ColorValue top, ColorValue bottom)
{
    const int n = rect.height();
    if (n <= 0 || rect.width() <= 0)
        return;
    const auto channel = [n](int from, int to, int row) {
        const qint64 from16 = qint64(from) * 256, to16 = qint64(to) * 256;
        return int((from16 + (to16 - from16) * row / n) >> 8);
    };
    for (int row = 0; row < n; ++row) {
        const QColor c(channel(redOf(top), redOf(bottom), row), channel(greenOf(top), greenOf(bottom), row),
                       channel(blueOf(top), blueOf(bottom), row));
        painter.fillRect(QRect(rect.left(), rect.top() + row, rect.width(), 1), c);
    }
}

// --- Geometry ---

QRect drawingArea(const ButtonLook &look, const QSize &client)
{
    if (look.buttonStyle == ButtonStyleRoundFrame)
        return QRect(QPoint(0, 0), client);
    const int padX = twips::toPixels(look.paddingWidth, look.twipsPerPixelX);
    const int padY = twips::toPixels(look.paddingHeight, look.twipsPerPixelY);
    return ltrb(padX, padY, client.width() - padX, client.height() - padY);
}

int shapeCornerDiameter(const QSize &client, int radiusTwips, double twipsPerPixelX, double twipsPerPixelY)
{
    const double widthTwips = client.width() * twipsPerPixelX;
    const double heightTwips = client.height() * twipsPerPixelY;
    const double diameterTwips = 2.0 * radiusTwips;
    if (widthTwips > heightTwips)
        return heightTwips > diameterTwips ? roundToInt(diameterTwips / twipsPerPixelY) : client.height();
    return widthTwips > diameterTwips ? roundToInt(diameterTwips / twipsPerPixelY) : client.width();
}

QRegion roundedRectRegion(const QRect &rect, int d)
{
    const int w = rect.width(), h = rect.height();
    if (w <= 0 || h <= 0)
        return QRegion();
    const int ew = std::min(d, w), eh = std::min(d, h);
    if (ew <= 1 || eh <= 1)
        return QRegion(rect);
    const double rx = ew / 2.0, ry = eh / 2.0;
    const auto insetOfRow = [&](int row) {
        const double yc = row + 0.5;
        double ny;
        if (yc < ry)
            ny = (yc - ry) / ry;
        else if (h - yc < ry)
            ny = (h - yc - ry) / ry;
        else
            return 0;
        int inset = 0;
        while (inset + 0.5 < rx) {
            const double nx = (inset + 0.5 - rx) / rx;
            if (nx * nx + ny * ny <= 1.0)
                break;
            ++inset;
        }
        return inset;
    };
    QRegion region;
    int bandStart = 0, bandInset = insetOfRow(0);
    for (int row = 1; row <= h; ++row) {
        const int inset = row < h ? insetOfRow(row) : -1;
        if (inset != bandInset) {
            region += QRect(rect.left() + bandInset, rect.top() + bandStart, w - 2 * bandInset, row - bandStart);
            bandStart = row;
            bandInset = inset;
        }
    }
    return region;
}

QRegion buttonShapeRegion(const QSize &client, int radiusTwips, int roundCorner, double twipsPerPixelX,
                          double twipsPerPixelY)
{
    const int w = client.width(), h = client.height();
    if (w <= 0 || h <= 0)
        return QRegion();
    const int d = shapeCornerDiameter(client, radiusTwips, twipsPerPixelX, twipsPerPixelY);
    QRegion region = roundedRectRegion(QRect(0, 0, w, h), d);
    const int s = roundToInt(d / 2.0);
    if (s > 0) {
        if (roundCorner & RoundCornerTopLeft)
            region += QRect(0, 0, s, s);
        if (roundCorner & RoundCornerTopRight)
            region += QRect(w - s, 0, s, s);
        if (roundCorner & RoundCornerBottomLeft)
            region += QRect(0, h - s, s, s);
        if (roundCorner & RoundCornerBottomRight)
            region += QRect(w - s, h - s, s, s);
    }
    return region & QRegion(0, 0, w, h);
}

QRegion regionOutline(const QRegion &region)
{
    const QRegion inner = region & region.translated(1, 0) & region.translated(-1, 0) & region.translated(0, 1) &
                          region.translated(0, -1);
    return region - inner;
}

QRect captionRect(const ButtonLook &look, const QSize &client, const QFontMetrics &metrics)
{
    const QRect area = drawingArea(look, client);
    const int ix = twips::toPixels(45, look.twipsPerPixelX);
    const int iy = twips::toPixels(45, look.twipsPerPixelY);
    QRect rect = area.adjusted(ix, iy, -ix, -iy);
    const int h = metrics.boundingRect(rect, kCaptionFlags, displayText(look.caption)).height();
    if (h < rect.height()) {
        int top;
        if (look.hasPicture)
            top = rect.top() + rect.height() - h;
        else
            top = rect.top() + roundToInt((rect.height() - h) / 2.0);
        rect = QRect(rect.left(), top, rect.width(), h);
    }
    return rect;
}

CheckSpan checkIndicatorSpan(const ButtonLook &look, const QSize &client)
{
    const QRect area = drawingArea(look, client);
    const int width = area.width();
    int margin;
    if (look.checkBoxSideOffset == 0)
        margin = roundToInt(width / 4.0);
    else if (look.checkBoxSideOffset < 0)
        margin = 1;
    else
        margin = twips::toPixels(look.checkBoxSideOffset, look.twipsPerPixelX);
    if (2 * margin >= width)
        return CheckSpan{0, 0, area.top()};
    return CheckSpan{area.left() + margin, area.left() + width - margin, area.top()};
}

QPoint pictureTopLeft(const ButtonLook &look, const QSize &client)
{
    // The box's inner size is in twips and the picture's stored size in hundredths of a
    // millimetre; the fixed offsets are part of the established placement.
    const QSizeF size = look.picture.deviceIndependentSize();
    const double himetricX = roundHalfEven(size.width() * look.twipsPerPixelX * 2540.0 / 1440.0);
    const double himetricY = roundHalfEven(size.height() * look.twipsPerPixelY * 2540.0 / 1440.0);
    const double x = (client.width() * look.twipsPerPixelX - himetricX) / 2.0 + 90.0;
    const double y = (client.height() * look.twipsPerPixelY - himetricY) / 2.0 + 75.0;
    return QPoint(twips::toPixels(x, look.twipsPerPixelX), twips::toPixels(y, look.twipsPerPixelY));
}

// --- The whole button ---

void paintButton(QPainter &painter, const ButtonLook &look, const QRect &client)
{
    painter.save();
    painter.translate(client.topLeft());
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QSize size = client.size();
    painter.setClipRect(QRect(QPoint(0, 0), size), Qt::IntersectClip);

    fillRect(painter, QRect(QPoint(0, 0), size), look.backGroundColor);
    const QRect area = drawingArea(look, size);
    switch (look.buttonStyle) {
    case ButtonStyleGradient:
        paintGradientFace(painter, look, area);
        break;
    case ButtonStyleFlat:
        paintFlatFace(painter, look, area);
        break;
    case ButtonStyleRoundFrame:
        paintRoundFrameFace(painter, look, area, size);
        break;
    case ButtonStyleEdge:
        paintEdgeFace(painter, look, area);
        break;
    default:
        break;
    }
    if (look.checkBox)
        paintCheckIndicator(painter, look, size);
    if (look.hasPicture && !look.picture.isNull())
        painter.drawPixmap(pictureTopLeft(look, size), look.picture);
    paintCaption(painter, look, size);
    painter.restore();
}

} // namespace tarvisk
