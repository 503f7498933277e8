#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

class QPainter;

namespace tarvisk {

// What the drawing over a window's controls shows of one control, in window pixels.
struct InputMark
{
    QRect rect;
    bool latched = false;
    // The keyboard keys bound to the control; a jog control has its jog-up keys first, drawn at
    // its top, and its jog-down keys second, drawn at its bottom.
    QString binding;
    QString secondBinding;
};

// Latch marks (an amber frame and corner) on latched controls, and with `bindings` each
// control's keyboard keys in a dark tag at its lower right.
void paintInputMarks(QPainter &p, const QList<InputMark> &marks, bool bindings);

// The enabling-switch lamp: "ENABLE" on dark grey when released, on green while held, greyed
// while the switch takes no press.
void paintEnablingSwitch(QPainter &p, const QRect &r, bool held, bool enabled);

} // namespace tarvisk
