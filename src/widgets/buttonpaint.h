#pragma once

#include "widgets/buttoncolors.h"

#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QRegion>
#include <QString>

class QFontMetrics;
class QPainter;

// Drawing of the drawn push buttons, independent of any window: everything paints through a
// QPainter (a widget's or a QImage's) in device pixels, and the geometry helpers serve painting
// and hit-testing alike. Coordinates follow the box's client area: (0, 0) is its top-left pixel,
// right and bottom edges are exclusive.
namespace tarvisk {

// Face styles.
enum ButtonFaceStyle : int {
    ButtonStyleGradient = 2,
    ButtonStyleFlat = 3,
    ButtonStyleRoundFrame = 4,
    ButtonStyleEdge = 16,
};

// Corners of the round-frame shape that stay square.
enum RoundCornerBit : int {
    RoundCornerTopLeft = 1,
    RoundCornerTopRight = 2,
    RoundCornerBottomLeft = 4,
    RoundCornerBottomRight = 8,
    RoundCornerAll = 15,
};

// Everything one paint of a button needs. Colours may name system colours; lengths marked
// twips are converted with the two factors (twips per pixel).
struct ButtonLook
{
    int buttonStyle = 0;
    int highlightStyle = 0;
    ColorValue borderColor = rgbValue(0, 60, 115);
    ColorValue backColor = 0;                                // face base colour (the box's fill colour)
    ColorValue foreColor = systemColor(SysButtonText);       // caption colour
    ColorValue backGroundColor = systemColor(SysButtonFace); // the box's own background
    bool enabled = true;
    bool focused = false; // CheckFocused
    bool pressed = false; // CheckKeyDown
    bool hot = false;     // CheckMouseOver
    bool checkBox = false;
    bool value = false;
    int checkBoxSideOffset = 0; // twips; 0 a quarter of the width, negative 1 pixel
    int checkColor = 0;         // 0 green, 1 red, others black
    int paddingWidth = 0;       // twips
    int paddingHeight = 0;      // twips
    int radius = 0;             // twips
    int roundCorner = RoundCornerAll;
    QString caption;
    QFont font;
    bool hasPicture = false;
    QPixmap picture;
    double twipsPerPixelX = 15.0;
    double twipsPerPixelY = 15.0;
};

// Paints a whole button into `client` (the box's client rectangle in painter coordinates): the
// box's own background in backGroundColor, then the face of the style, the check indicator, the
// picture (when hasPicture) and the caption. Painter state is restored afterwards.
void paintButton(QPainter &painter, const ButtonLook &look, const QRect &client);

// --- Geometry (client coordinates, origin at the box's top-left pixel) ---

// The area the face, check indicator and caption are laid out in: the client rectangle, inset
// by the paddings for every style but the round frame.
QRect drawingArea(const ButtonLook &look, const QSize &client);

// Corner diameter d of the round-frame shape, in pixels: twice the radius when the box's
// shorter side is longer than that, else the shorter side itself (the largest rounding).
int shapeCornerDiameter(const QSize &client, int radiusTwips, double twipsPerPixelX, double twipsPerPixelY);

// The round-frame window shape: a rectangle over the whole client area whose corners are
// quarter ellipses of diameter d, with an h x h square (h = d / 2, halves to even) put back in
// each corner named in `roundCorner`.
QRegion buttonShapeRegion(const QSize &client, int radiusTwips, int roundCorner, double twipsPerPixelX,
                          double twipsPerPixelY);

// A rectangle [rect) with corners cut as ellipses of width and height d (limited to the
// rectangle's own size); a pixel belongs to it when its centre lies in the rounded shape.
QRegion roundedRectRegion(const QRect &rect, int d);

// The pixels of `region` that touch its outside on any of the four sides: its 1-pixel outline.
QRegion regionOutline(const QRegion &region);

// Where the caption is drawn: the drawing area inset by 45 twips, shrunk to the wrapped text's
// height, at the bottom with a picture and centred vertically without one. When the text is not
// shorter than the inset rectangle, the whole inset rectangle (which then clips the text).
QRect captionRect(const ButtonLook &look, const QSize &client, const QFontMetrics &metrics);

// The x span [first, end) of the check indicator's lines, which lie at rows top + 5 .. top + 9
// of the drawing area; empty when the margins leave no room.
struct CheckSpan
{
    int first = 0;
    int end = 0;
    int top = 0;
    bool isEmpty() const { return end <= first; }
};
CheckSpan checkIndicatorSpan(const ButtonLook &look, const QSize &client);

// Top-left pixel of the picture on the face.
QPoint pictureTopLeft(const ButtonLook &look, const QSize &client);

// --- Primitives in the semantics the faces are described in ---

// A solid 1-pixel line from (x1, y1) towards (x2, y2), the end point excluded.
void DrawLine(QPainter &painter, int x1, int y1, int x2, int y2, ColorValue color);
// A two-colour vertical gradient over [rect): row i of n gets top + (bottom - top) * i / n per
// channel, computed on 16-bit channels and cut to 8 bits.
void fillVerticalGradient(QPainter &painter, const QRect &rect, ColorValue top, ColorValue bottom);
// A 1-pixel frame just inside [rect).
void frameRect(QPainter &painter, const QRect &rect, ColorValue color);
void fillRect(QPainter &painter, const QRect &rect, ColorValue color);
void setPixel(QPainter &painter, int x, int y, ColorValue color);

} // namespace tarvisk
