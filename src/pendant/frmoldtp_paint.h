#pragma once

#include <QColor>
#include <QRect>

class QPainter;

namespace tarvisk {

// The old pendant's LED colours: white unlit, green lit.
QColor oldLedColour(bool lit);

// An LED of the old pendant: a sunken box filled with its colour.
void paintOldLed(QPainter &p, const QRect &r, bool lit);

// The mode switch at a position (0 AUTO, 1 MAN, 2 TEACH; -1 none drawn), centred
// horizontally and touching the bottom edge of the box.
void paintOldModeSwitch(QPainter &p, const QRect &r, int position);

} // namespace tarvisk
