#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace tarvisk {

class MiniDisplay;

// The display surface as one bit a unit (see common/unitbitmap.h): a unit is lit when any of
// its pixels is dark. Text drawn lit on unlit keeps its letters; inverted text (unlit letters on
// a lit cell) shows as a lit cell, since its strokes are finer than a unit. The PNG and the
// digest keep every pixel.
QByteArray displayUnitBits(const MiniDisplay &display);

// "sha256:" and the hex digest of the surface's pixels, one bit a pixel (dark set), rows from
// the top padded to whole bytes: equal digests, equal pictures.
QString displayDigest(const MiniDisplay &display);

// The surface alone (no border), each pixel scaled to a scale × scale block.
QImage displayImage(const MiniDisplay &display, int scale);

} // namespace tarvisk
