#pragma once

#include <QImage>
#include <QPointF>
#include <QSize>

class QPainter;

// The pendant's image resources, drawn by code so that they scale and need no files. Sizes are
// given at 100%; each picture is drawn afresh at the pendant's zoom (twips::zoom()).
namespace tarvisk::pictures {

// The rotary mode switch pointing at position 0 (AUTO, left), 1 (MAN, up) or 2 (TEACH,
// right), on a transparent background; modeSwitchSize() at the zoom.
QImage modeSwitch(int position);
constexpr int kModeSwitchWidth = 64;
constexpr int kModeSwitchHeight = 60;
QSize modeSwitchSize();
// The middle of a position's detent tick in the picture at the zoom. The ticks are light with a
// dark rim, so that they show on the dark standard pendant and on the light mini and old
// pendants alike.
QPointF modeSwitchDetent(int position);

// A white arrow for the cursor keys: 0 up, 1 left, 2 down, 3 right; size × size at 100%.
QImage arrow(int direction, int size = 20);

// The beeper indicator: a small loudspeaker with sound waves, 16 x 16 at 100%.
QImage beeper();

// An LED: a circle with the outline and fill colours (0x00BBGGRR) filling the rectangle.
void paintLed(QPainter &p, const QRectF &r, unsigned outline, unsigned fill);

} // namespace tarvisk::pictures
