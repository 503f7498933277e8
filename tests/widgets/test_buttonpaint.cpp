// Pixel checks of the drawn button faces, rendered offscreen into images.

#include "widgets/buttoncolors.h"
#include "widgets/buttonpaint.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QtTest>

using namespace tarvisk;

namespace {

constexpr ColorValue kBorder = 0x402020;
constexpr ColorValue kBackground = 0x606060;
constexpr ColorValue kWhite = 0xFFFFFF;

ButtonLook roundKey()
{
    ButtonLook look;
    look.buttonStyle = ButtonStyleRoundFrame;
    look.foreColor = kWhite;
    look.borderColor = kBorder;
    look.backColor = 0;
    look.backGroundColor = kBackground;
    look.radius = 210;
    look.font = QFont(QStringLiteral("DejaVu Sans"), 9, QFont::Bold);
    return look;
}

QImage render(const ButtonLook &look, QSize size = QSize(65, 32))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::magenta); // anything left unpainted shows up
    QPainter painter(&image);
    paintButton(painter, look, QRect(QPoint(0, 0), size));
    return image;
}

ColorValue at(const QImage &image, int x, int y)
{
    return fromQColor(QColor(image.pixel(x, y)));
}

QString hex(ColorValue c)
{
    return QStringLiteral("%1,%2,%3").arg(redOf(c)).arg(greenOf(c)).arg(blueOf(c));
}

#define COMPARE_COLOR(actual, expected) QCOMPARE(hex(actual), hex(expected))

// Every channel of `c` lies within `tolerance` of `expected`.
bool near(ColorValue c, ColorValue expected, int tolerance)
{
    return std::abs(redOf(c) - redOf(expected)) <= tolerance && std::abs(greenOf(c) - greenOf(expected)) <= tolerance &&
           std::abs(blueOf(c) - blueOf(expected)) <= tolerance;
}

QRect inkBounds(const QImage &image, ColorValue background)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (at(image, x, y) != background)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

} // namespace

class TestButtonPaint : public QObject
{
    Q_OBJECT

private slots:
    void shiftColor();
    void systemColors();
    void roundFrameFaces_data();
    void roundFrameFaces();
    void roundFrameFrameAndCorners();
    void roundFrameInnerFrames();
    void roundFrameDisabled();
    void roundedOutline();
    void shapeGeometry30x30();
    void checkIndicator();
    void captionPlacement();
    void picturePlacement();
    void flatFace();
    void edgeFace();
    void gradientFace();
};

void TestButtonPaint::shiftColor()
{
    const ColorValue c = rgbValue(250, 10, 128);
    COMPARE_COLOR(GetShiftColor(c, 48), rgbValue(255, 58, 176));
    COMPARE_COLOR(GetShiftColor(c, -72), rgbValue(178, 0, 56));
    QCOMPARE(GetShiftColor(c, 0), c);
    // The top byte is dropped, so a system colour value never survives a shift.
    QCOMPARE(GetShiftColor(ColorValue(0x7F000000u) | c, 0), c);
    QCOMPARE(GetShiftColor(systemColor(15), 0) & ColorValue(0xFF000000u), 0);
}

void TestButtonPaint::systemColors()
{
    const QPalette palette = QGuiApplication::palette();
    COMPARE_COLOR(GetLngColor(systemColor(SysButtonFace)), fromQColor(palette.color(QPalette::Button)));
    COMPARE_COLOR(GetLngColor(systemColor(SysHighlight)), fromQColor(palette.color(QPalette::Highlight)));
    COMPARE_COLOR(GetLngColor(systemColor(SysGrayText)), fromQColor(palette.color(QPalette::Disabled, QPalette::Text)));
    COMPARE_COLOR(GetLngColor(rgbValue(0, 0, 255)), rgbValue(0, 0, 255));
    QCOMPARE(GetLngColor(0x00FF0000), 0x00FF0000);
    // No palette role: the classic default; no such entry: black.
    COMPARE_COLOR(GetLngColor(systemColor(2)), rgbValue(153, 180, 209));
    QCOMPARE(GetLngColor(systemColor(99)), 0);

    // The table follows the application's palette.
    QPalette changed = palette;
    changed.setColor(QPalette::Button, QColor(12, 34, 56));
    QGuiApplication::setPalette(changed);
    COMPARE_COLOR(GetLngColor(systemColor(SysButtonFace)), rgbValue(12, 34, 56));
    QGuiApplication::setPalette(palette);
}

void TestButtonPaint::roundFrameFaces_data()
{
    QTest::addColumn<ColorValue>("back");
    QTest::addColumn<int>("highlight");
    QTest::addColumn<ColorValue>("top");
    QTest::addColumn<ColorValue>("bottom");
    const ColorValue hl = GetLngColor(systemColor(SysHighlight));
    QTest::newRow("black") << ColorValue(0) << 0 << rgbValue(72, 72, 72) << rgbValue(0, 0, 0);
    // Each channel shifts and clamps on its own.
    QTest::newRow("green") << ColorValue(0x20C020) << 0 << rgbValue(104, 255, 104) << rgbValue(8, 168, 8);
    QTest::newRow("highlight 1") << ColorValue(0) << 1 << hl << GetShiftColor(hl, -24);
    QTest::newRow("highlight 2") << ColorValue(0) << 2 << hl << GetShiftColor(hl, 24);
}

void TestButtonPaint::roundFrameFaces()
{
    QFETCH(ColorValue, back);
    QFETCH(int, highlight);
    QFETCH(ColorValue, top);
    QFETCH(ColorValue, bottom);
    ButtonLook look = roundKey();
    look.backColor = back;
    look.highlightStyle = highlight;

    // 32 rows: one gradient step is at most 96 / 32 = 3 per channel. Rows 0 and 31 are frame.
    const QImage normal = render(look);
    QVERIFY2(near(at(normal, 30, 1), top, 3), qPrintable(hex(at(normal, 30, 1))));
    QVERIFY2(near(at(normal, 30, 30), bottom, 6), qPrintable(hex(at(normal, 30, 30))));
    QCOMPARE(at(normal, 30, 10), at(normal, 2, 10)); // rows are uniform

    look.pressed = true;
    const QImage pressed = render(look);
    QVERIFY2(near(at(pressed, 30, 1), bottom, 3), qPrintable(hex(at(pressed, 30, 1))));
    QVERIFY2(near(at(pressed, 30, 30), top, 6), qPrintable(hex(at(pressed, 30, 30))));
}

void TestButtonPaint::roundFrameFrameAndCorners()
{
    const QImage image = render(roundKey());
    // Outer frame all round, and the four inner corner pixels.
    for (const QPoint &p : {QPoint(2, 0), QPoint(62, 0), QPoint(0, 2), QPoint(0, 29), QPoint(64, 10), QPoint(30, 31),
                            QPoint(1, 1), QPoint(1, 30), QPoint(63, 1), QPoint(63, 30)})
        QVERIFY2(at(image, p.x(), p.y()) == kBorder, qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
    // The twelve background pixels, three at each corner.
    for (const QPoint &p :
         {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(64, 0), QPoint(63, 0), QPoint(64, 1), QPoint(0, 30),
          QPoint(1, 31), QPoint(0, 31), QPoint(64, 30), QPoint(63, 31), QPoint(64, 31)})
        QVERIFY2(at(image, p.x(), p.y()) == kBackground, qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
    // Just inside the frame: the face.
    QVERIFY(at(image, 2, 2) != kBorder && at(image, 2, 2) != kBackground);
}

void TestButtonPaint::roundFrameInnerFrames()
{
    ButtonLook look = roundKey();
    look.hot = true;
    QImage image = render(look);
    const ColorValue orange = rgbValue(255, 178, 49);
    // Inset frame (left + 1, top + 2, right - 1, bottom - 2), one pixel wide.
    COMPARE_COLOR(at(image, 10, 2), orange);
    COMPARE_COLOR(at(image, 10, 29), orange);
    COMPARE_COLOR(at(image, 1, 10), orange);
    COMPARE_COLOR(at(image, 63, 10), orange);
    QVERIFY(at(image, 10, 1) != orange);
    QVERIFY(at(image, 10, 3) != orange);
    QVERIFY(at(image, 2, 10) != orange);
    COMPARE_COLOR(at(image, 10, 0), kBorder);

    look.hot = false;
    look.focused = true;
    image = render(look);
    COMPARE_COLOR(at(image, 10, 2), rgbValue(140, 174, 231));
    COMPARE_COLOR(at(image, 63, 20), rgbValue(140, 174, 231));

    // Pressed wins over hot and focused: no inset frame.
    look.hot = true;
    look.pressed = true;
    image = render(look);
    QVERIFY(at(image, 10, 2) != orange && at(image, 10, 2) != rgbValue(140, 174, 231));
}

void TestButtonPaint::roundFrameDisabled()
{
    ButtonLook look = roundKey();
    look.backColor = rgbValue(128, 128, 128); // tone 128, light 176
    look.enabled = false;
    look.pressed = true; // has no effect while disabled
    const QImage image = render(look);
    COMPARE_COLOR(at(image, 10, 0), rgbValue(92, 92, 92)); // light - 84, whole area
    COMPARE_COLOR(at(image, 64, 10), rgbValue(92, 92, 92));
    COMPARE_COLOR(at(image, 63, 10), rgbValue(128, 128, 128)); // tone frame ends at right - 1
    COMPARE_COLOR(at(image, 1, 1), rgbValue(104, 104, 104));   // light - 72
    COMPARE_COLOR(at(image, 63, 30), rgbValue(104, 104, 104));
    COMPARE_COLOR(at(image, 0, 0), kBackground);
    // Normal face, not the pressed one: lighter at the top.
    QVERIFY(redOf(at(image, 30, 2)) > redOf(at(image, 30, 29)));
}

void TestButtonPaint::roundedOutline()
{
    ButtonLook look = roundKey();
    const QSize size(65, 32);
    const QRegion shape = buttonShapeRegion(size, look.radius, 0, 15, 15);
    int curveX = 0;
    while (!shape.contains(QPoint(curveX, 2)))
        ++curveX;
    QVERIFY(curveX > 2); // d = 28: the curve is well inside at row 2

    look.roundCorner = 0;
    QImage image = render(look);
    COMPARE_COLOR(at(image, curveX, 2), kBorder);
    COMPARE_COLOR(at(image, 64 - curveX, 2), kBorder);
    COMPARE_COLOR(at(image, curveX, 29), kBorder);

    look.roundCorner = RoundCornerAll;
    image = render(look);
    QVERIFY(at(image, curveX, 2) != kBorder);

    // Disabled, the outer frame is not in the border colour: only the outline would put it there.
    look.enabled = false;
    look.backColor = rgbValue(128, 128, 128);
    image = render(look);
    COMPARE_COLOR(at(image, 20, 0), rgbValue(92, 92, 92));
    look.roundCorner = 0;
    image = render(look);
    COMPARE_COLOR(at(image, 20, 0), kBorder);
    COMPARE_COLOR(at(image, curveX, 2), kBorder);
}

void TestButtonPaint::shapeGeometry30x30()
{
    const QSize size(30, 30);
    const auto mirrored = [](const QRegion &r) {
        QRegion m;
        for (const QRect &rect : r)
            m += QRect(30 - rect.x() - rect.width(), 30 - rect.y() - rect.height(), rect.width(), rect.height());
        return m;
    };

    // Radius 120: d = 16, h = 8.
    QCOMPARE(shapeCornerDiameter(size, 120, 15, 15), 16);
    QRegion r = buttonShapeRegion(size, 120, 0, 15, 15);
    QCOMPARE(r.boundingRect(), QRect(0, 0, 30, 30));
    QCOMPARE(mirrored(r), r);
    for (const QPoint &p : {QPoint(0, 0), QPoint(29, 0), QPoint(0, 29), QPoint(29, 29), QPoint(1, 1), QPoint(2, 1)})
        QVERIFY(!r.contains(p));
    for (const QPoint &p : {QPoint(8, 0), QPoint(21, 0), QPoint(0, 8), QPoint(29, 21), QPoint(15, 15), QPoint(3, 3)})
        QVERIFY(r.contains(p));
    // Radius 8 about (8, 8): pixel centre (2.5, 2.5) lies 7.8 away, (2.5, 1.5) 8.5.
    QVERIFY(r.contains(QPoint(2, 2)) && !r.contains(QPoint(2, 1)) && !r.contains(QPoint(1, 2)));

    r = buttonShapeRegion(size, 120, 10, 15, 15); // right corners square
    QVERIFY(r.contains(QPoint(29, 0)) && r.contains(QPoint(29, 29)));
    QVERIFY(!r.contains(QPoint(0, 0)) && !r.contains(QPoint(0, 29)));
    QVERIFY(r.contains(QRect(22, 0, 8, 8)) && r.contains(QRect(22, 22, 8, 8)));
    r = buttonShapeRegion(size, 120, 5, 15, 15); // left corners square
    QVERIFY(r.contains(QPoint(0, 0)) && r.contains(QPoint(0, 29)));
    QVERIFY(!r.contains(QPoint(29, 0)) && !r.contains(QPoint(29, 29)));
    QCOMPARE(buttonShapeRegion(size, 120, 15, 15, 15), QRegion(0, 0, 30, 30));

    // Radius 300: 450 twips is not larger than 600, so d is the whole side: a circle.
    QCOMPARE(shapeCornerDiameter(size, 300, 15, 15), 30);
    r = buttonShapeRegion(size, 300, 0, 15, 15);
    QCOMPARE(mirrored(r), r);
    QVERIFY(r.contains(QPoint(15, 0)) && r.contains(QPoint(0, 15)) && r.contains(QPoint(5, 5)));
    QVERIFY(!r.contains(QPoint(3, 3)) && !r.contains(QPoint(0, 0)));
    int area = 0;
    for (const QRect &rect : r)
        area += rect.width() * rect.height();
    QVERIFY2(std::abs(area - 707) < 30, qPrintable(QString::number(area))); // pi * 15^2
    // One square corner keeps the other three round: h = 15.
    r = buttonShapeRegion(size, 300, 2, 15, 15);
    QVERIFY(r.contains(QRect(15, 0, 15, 15)));
    QVERIFY(!r.contains(QPoint(0, 0)) && !r.contains(QPoint(0, 29)) && !r.contains(QPoint(29, 29)));

    // Wider than high: the height decides.
    QCOMPARE(shapeCornerDiameter(QSize(65, 32), 210, 15, 15), 28);
    QCOMPARE(shapeCornerDiameter(QSize(65, 32), 300, 15, 15), 32);
}

void TestButtonPaint::checkIndicator()
{
    ButtonLook look;
    look.backGroundColor = kWhite;
    look.checkBox = true;
    look.value = true;
    QImage image = render(look, QSize(40, 20));
    // Margin 40 / 4 = 10: x = 10 .. 29, rows 5 .. 9.
    COMPARE_COLOR(at(image, 10, 5), rgbValue(74, 101, 78));
    COMPARE_COLOR(at(image, 29, 7), rgbValue(85, 192, 88));
    COMPARE_COLOR(at(image, 20, 9), rgbValue(160, 255, 192));
    COMPARE_COLOR(at(image, 9, 5), kWhite);
    COMPARE_COLOR(at(image, 30, 5), kWhite);
    COMPARE_COLOR(at(image, 20, 4), kWhite);
    COMPARE_COLOR(at(image, 20, 10), kWhite);

    look.checkColor = 1;
    COMPARE_COLOR(at(render(look, QSize(40, 20)), 15, 6), rgbValue(176, 5, 0));
    look.checkColor = 7;
    COMPARE_COLOR(at(render(look, QSize(40, 20)), 15, 6), 0);
    look.checkColor = 0;
    look.enabled = false; // darkened by 72
    COMPARE_COLOR(at(render(look, QSize(40, 20)), 15, 7), rgbValue(13, 120, 16));
    look.value = false; // the off palette is never darkened
    COMPARE_COLOR(at(render(look, QSize(40, 20)), 15, 8), rgbValue(160, 160, 160));

    // A positive offset is twips; a negative one a single pixel.
    look.enabled = true;
    look.checkBoxSideOffset = 75;
    image = render(look, QSize(40, 20));
    COMPARE_COLOR(at(image, 4, 5), kWhite);
    QVERIFY(at(image, 5, 5) != kWhite && at(image, 34, 5) != kWhite);
    COMPARE_COLOR(at(image, 35, 5), kWhite);
    look.checkBoxSideOffset = -1;
    image = render(look, QSize(40, 20));
    QVERIFY(at(image, 1, 5) != kWhite && at(image, 38, 5) != kWhite);
    COMPARE_COLOR(at(image, 39, 5), kWhite);
    // Two pixels wide with offset -1: nothing.
    image = render(look, QSize(2, 20));
    QCOMPARE(inkBounds(image, kWhite), QRect());

    // The paddings move it with the drawing area.
    look.checkBoxSideOffset = 0;
    look.buttonStyle = 0;
    look.paddingWidth = 75;
    look.paddingHeight = 30;
    const CheckSpan span = checkIndicatorSpan(look, QSize(50, 30));
    QCOMPARE(span.first, 5 + 10);
    QCOMPARE(span.end, 45 - 10);
    QCOMPARE(span.top, 2);
}

void TestButtonPaint::captionPlacement()
{
    ButtonLook look;
    look.backGroundColor = kWhite;
    look.foreColor = 0;
    look.font = QFont(QStringLiteral("DejaVu Sans"), 9);
    look.caption = QStringLiteral("OK");
    const QSize size(65, 40);
    const QFontMetrics metrics(look.font);
    const QRect inset(3, 3, 59, 34); // 45 twips on every side

    const QRect centred = captionRect(look, size, metrics);
    QVERIFY(centred.height() < inset.height());
    QCOMPARE(centred.left(), inset.left());
    QCOMPARE(centred.width(), inset.width());
    QVERIFY(std::abs((centred.top() - inset.top()) - (inset.bottom() - centred.bottom())) <= 1);
    const QRect ink = inkBounds(render(look, size), kWhite);
    QVERIFY2(centred.contains(ink), qPrintable(QStringLiteral("%1 %2").arg(ink.y()).arg(ink.bottom())));
    QVERIFY(std::abs((ink.left() - inset.left()) - (inset.right() - ink.right())) <= 1);

    look.hasPicture = true; // no pixmap, so only the caption moves
    const QRect bottom = captionRect(look, size, metrics);
    QCOMPARE(bottom.bottom(), inset.bottom());
    QCOMPARE(bottom.height(), centred.height());
    const QRect lowInk = inkBounds(render(look, size), kWhite);
    QVERIFY(centred.bottom() < bottom.bottom());
    QVERIFY(lowInk.top() > ink.top() && bottom.contains(lowInk));

    // Taller than the free height: the whole inset rectangle, which clips the text.
    look.hasPicture = false;
    look.caption = QStringLiteral("Two line caption");
    const QSize small(65, 32);
    QCOMPARE(captionRect(look, small, metrics), QRect(3, 3, 59, 26));
    const QRect clipped = inkBounds(render(look, small), kWhite);
    QVERIFY(QRect(3, 3, 59, 26).contains(clipped));
    QVERIFY(clipped.height() > 16); // two lines were drawn

    // Disabled captions use the grey-text colour.
    look.caption = QStringLiteral("OK");
    look.enabled = false;
    const QImage grey = render(look, size);
    const ColorValue greyText = GetLngColor(systemColor(SysGrayText));
    bool found = false;
    for (int y = 0; y < grey.height() && !found; ++y)
        for (int x = 0; x < grey.width() && !found; ++x)
            found = at(grey, x, y) == greyText;
    QVERIFY(found);
}

void TestButtonPaint::picturePlacement()
{
    ButtonLook look = roundKey();
    look.roundCorner = 0;
    look.radius = 225;
    QPixmap pm(16, 16);
    pm.fill(QColor(255, 0, 0));
    look.picture = pm;
    look.hasPicture = true;
    // 510 x 510 twips: x = (510 - 423) / 2 + 90 = 133.5 twips -> 9 px; y = ... + 75 -> 8 px.
    QCOMPARE(pictureTopLeft(look, QSize(34, 34)), QPoint(9, 8));
    const QImage image = render(look, QSize(34, 34));
    COMPARE_COLOR(at(image, 9, 8), rgbValue(255, 0, 0));
    COMPARE_COLOR(at(image, 24, 23), rgbValue(255, 0, 0));
    QVERIFY(at(image, 8, 8) != rgbValue(255, 0, 0));
    QVERIFY(at(image, 25, 23) != rgbValue(255, 0, 0));
    QVERIFY(at(image, 9, 24) != rgbValue(255, 0, 0));

    // Without the flag the picture is not drawn.
    look.hasPicture = false;
    QVERIFY(at(render(look, QSize(34, 34)), 15, 15) != rgbValue(255, 0, 0));
}

void TestButtonPaint::flatFace()
{
    ButtonLook look;
    look.buttonStyle = ButtonStyleFlat;
    look.backColor = rgbValue(200, 10, 10);
    look.backGroundColor = kWhite;
    QImage image = render(look);
    COMPARE_COLOR(at(image, 30, 15), rgbValue(200, 10, 10)); // entry 1 = BackColor
    COMPARE_COLOR(at(image, 30, 0), kWhite);                 // entry 2 = background
    COMPARE_COLOR(at(image, 63, 10), rgbValue(229, 227, 217));
    COMPARE_COLOR(at(image, 62, 10), rgbValue(236, 235, 227));
    COMPARE_COLOR(at(image, 10, 29), rgbValue(228, 225, 214));
    COMPARE_COLOR(at(image, 10, 30), rgbValue(215, 210, 198));

    look.hot = true;
    image = render(look);
    COMPARE_COLOR(at(image, 30, 15), rgbValue(241, 241, 235));
    COMPARE_COLOR(at(image, 30, 0), rgbValue(206, 206, 195));
    COMPARE_COLOR(at(image, 0, 0), kWhite);
    COMPARE_COLOR(at(image, 1, 0), rgbValue(232, 232, 221));   // e3
    COMPARE_COLOR(at(image, 1, 1), rgbValue(222, 222, 214));   // e7
    COMPARE_COLOR(at(image, 63, 0), rgbValue(228, 228, 217));  // e5
    COMPARE_COLOR(at(image, 62, 0), rgbValue(212, 212, 201));  // e6
    COMPARE_COLOR(at(image, 0, 29), rgbValue(210, 210, 199));  // e9
    COMPARE_COLOR(at(image, 64, 30), rgbValue(226, 226, 217)); // e8

    look.focused = true; // focused wins over hot
    COMPARE_COLOR(at(render(look), 30, 15), rgbValue(255, 255, 255));
    COMPARE_COLOR(at(render(look), 30, 0), rgbValue(122, 152, 175));
    look.pressed = true; // pressed wins over both
    image = render(look);
    COMPARE_COLOR(at(image, 30, 15), rgbValue(229, 228, 221));
    COMPARE_COLOR(at(image, 30, 0), kWhite);

    // The paddings inset the face; the background shows around it.
    look = ButtonLook();
    look.buttonStyle = ButtonStyleFlat;
    look.backColor = rgbValue(200, 10, 10);
    look.backGroundColor = kWhite;
    look.paddingWidth = 60;
    look.paddingHeight = 30;
    image = render(look);
    COMPARE_COLOR(at(image, 3, 15), kWhite);
    COMPARE_COLOR(at(image, 30, 1), kWhite);
    COMPARE_COLOR(at(image, 30, 15), rgbValue(200, 10, 10));
}

void TestButtonPaint::edgeFace()
{
    const QPalette pal = QGuiApplication::palette();
    const auto role = [&](QPalette::ColorRole r) { return fromQColor(pal.color(r)); };
    ButtonLook look;
    look.buttonStyle = ButtonStyleEdge;
    look.backGroundColor = kWhite;
    QImage image = render(look);
    COMPARE_COLOR(at(image, 0, 10), role(QPalette::Light));
    COMPARE_COLOR(at(image, 10, 0), role(QPalette::Light));
    COMPARE_COLOR(at(image, 64, 10), role(QPalette::Shadow));
    COMPARE_COLOR(at(image, 10, 31), role(QPalette::Shadow));
    COMPARE_COLOR(at(image, 64, 0), role(QPalette::Shadow)); // bottom and right own the far corners
    COMPARE_COLOR(at(image, 1, 10), role(QPalette::Midlight));
    COMPARE_COLOR(at(image, 63, 10), role(QPalette::Dark));
    COMPARE_COLOR(at(image, 10, 30), role(QPalette::Dark));
    COMPARE_COLOR(at(image, 30, 15), kWhite); // no fill

    look.pressed = true;
    image = render(look);
    COMPARE_COLOR(at(image, 0, 10), role(QPalette::Shadow));
    COMPARE_COLOR(at(image, 1, 10), role(QPalette::Dark));
    COMPARE_COLOR(at(image, 64, 10), role(QPalette::Light));
    COMPARE_COLOR(at(image, 63, 10), role(QPalette::Midlight));
}

void TestButtonPaint::gradientFace()
{
    ButtonLook look;
    look.buttonStyle = ButtonStyleGradient;
    look.backGroundColor = kBackground;
    QImage image = render(look);
    QVERIFY(near(at(image, 30, 0), kWhite, 0));
    QVERIFY(near(at(image, 30, 31), GetShiftColor(GetLngColor(systemColor(SysButtonFace)), -24), 8));
    COMPARE_COLOR(at(image, 0, 0), kBackground);
    COMPARE_COLOR(at(image, 64, 31), kBackground);

    look.enabled = false;
    const ColorValue face = GetLngColor(systemColor(SysButtonFace));
    const ColorValue light = GetShiftColor(face, 48);
    image = render(look);
    COMPARE_COLOR(at(image, 10, 0), GetShiftColor(light, -84));
    COMPARE_COLOR(at(image, 63, 10), face);
    COMPARE_COLOR(at(image, 1, 1), GetShiftColor(light, -72));

    // Any other style draws no face: the background shows.
    look.buttonStyle = 7;
    QCOMPARE(inkBounds(render(look), kBackground), QRect());
}

QTEST_MAIN(TestButtonPaint)
#include "test_buttonpaint.moc"
