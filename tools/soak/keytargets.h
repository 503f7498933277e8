#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>

namespace tarvisk::soak {

// A place on a pendant window that takes mouse presses: a key or a mode-switch area.
struct KeyTarget
{
    QString name;            // the key name, e.g. "MP_KEY_OK"
    int32_t code;            // its key code
    QRect rect;              // in window pixels
    int switchPosition = -1; // 0 to 2 for the mode-switch areas
    // Points (window pixels) where the target itself, and nothing above it, takes the mouse.
    QList<QPoint> points;
    // For each point, the key whose twin a click there latches in the latch view, or -1.
    QList<int32_t> latchCodes;
};

struct PendantLayout
{
    QString title; // the window title, to find the window on the X server
    QSize size;    // the window's client size
    QList<KeyTarget> keys;
    QList<KeyTarget> switchAreas;

    // The switch area whose key code is `code`, or nullptr.
    const KeyTarget *switchAreaOfCode(int32_t code) const;
};

// The layouts as the product's own windows build them, at this process's screen resolution:
// a window is built (never shown) and asked where its controls are. Needs a QApplication on
// the same X server as the pendant under test, so that both convert twips alike.
PendantLayout miniPendantLayout();
PendantLayout standardPendantLayout();

} // namespace tarvisk::soak
