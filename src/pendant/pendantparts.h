#pragma once

#include "provider/pendantwindow.h"

#include <QString>
#include <QStringList>

namespace tarvisk {

class Beeper;
class ConnectionState;
class KeyTable;
class LedBank;
class MiniDisplay;
class PendantKeys;
class PendantWindowBase;

// What those who follow a pendant window (scripting, recording) see of it: its output models and
// its widget. The parts a window does not have are nullptr.
struct PendantParts
{
    IPendantWindow *window = nullptr;
    PendantKind kind = PendantKind::Standard;
    QWidget *widget = nullptr;
    PendantWindowBase *keyed = nullptr; // the windows with keys: all but the pendant-less one
    PendantKeys *keys = nullptr;
    LedBank *leds = nullptr;
    Beeper *beeper = nullptr;
    const MiniDisplay *display = nullptr;
    ConnectionState *state = nullptr;

    bool isValid() const { return window != nullptr; }
    // The window's key table: "MP_KEY_" names on the mini pendant, "TP_KEY_" on the others;
    // nullptr before the tables are built and for the pendant-less window.
    const KeyTable *keyTable() const;
    // The key name of a code in that table; empty when it has none.
    QString keyName(int32_t code) const;
    // The names of the mode switch's positions 0 to 2 (AUTO, MAN, TEACH) in that table.
    QStringList modeKeyNames() const;
};

// The parts of a loaded window; an invalid one for nullptr.
PendantParts pendantParts(IPendantWindow *window);

// The window standing for the pendant now: the one loaded and connected, preferring a shown one;
// nullptr when none is loaded.
IPendantWindow *loadedPendantWindow();

// "standard", "mini", "old", "pendant-less".
QString pendantKindName(PendantKind kind);

} // namespace tarvisk
