#pragma once

#include "common/variant.h"

#include <QByteArray>
#include <QList>
#include <QSet>

#include <cstdint>
#include <functional>
#include <memory>

namespace tarvisk {

class IPendantLink;

// What a pendant window knows of its keys: the held keys, the mode-switch position and
// key, and the in-process event mask. Key codes are 0 to 63.
class KeyStateModel
{
public:
    KeyStateModel();

    // Adding a held key or removing one that is not held changes nothing.
    void add(int32_t code);
    // Whether the key was held.
    bool remove(int32_t code);
    bool isHeld(int32_t code) const;
    const QList<int32_t> &heldKeys() const { return m_pressed; }

    int16_t switchPosition() const { return m_switchPosition; }
    int32_t switchKey() const { return m_switchKey; }
    void setSwitch(int16_t position, int32_t key);

    // 8 bytes, bit (code mod 8) of byte (code div 8) for every held key; byte 0 first takes
    // the switch key's bit alone (assigned, not or-ed) when a switch key above 0 is chosen.
    QByteArray bitmap() const;

    // The key's bit in the in-process event mask; 9 for a code outside 0 to 63.
    bool inprocFlag(int32_t code) const;
    // Mask byte i := element i, for i = 0 to 7 in turn; no array: nothing changes. An array
    // of fewer than 8 elements fails after the bytes it had were taken.
    void setInprocEventKey(const Variant &keys);
    QByteArray inprocEventKey() const { return m_mask; }

private:
    QList<int32_t> m_pressed;
    int16_t m_switchPosition = -1;
    int32_t m_switchKey = -1;
    QByteArray m_mask;
};

// The reporting half of the key-state model, shared by the pendant windows: a standalone
// run sends the whole bitmap over the link, a hosted one sends key messages to the host.
class PendantKeys
{
public:
    KeyStateModel &model() { return m_model; }
    const KeyStateModel &model() const { return m_model; }

    // The window's link, empty in hosted mode.
    std::shared_ptr<IPendantLink> m_TPComm;

    // How long a key stays held: while the user holds it (a mouse press on a key), or until
    // it is let go on purpose (a jog key after a drag, a latched twin).
    enum class Hold { Transient, Kept };

    // Holds a key and reports the press (message 1, or the bitmap).
    void press(int32_t code, Hold hold = Hold::Transient);
    // Lets a key go and reports the release (messages 2 then 3, or the bitmap). The late
    // release of a key that releaseTransient() already let go is not reported again.
    void release(int32_t code);
    // Lets go of the held ones among the codes: the bitmap once, or 2 and 3 for each in order.
    void releaseHeld(std::initializer_list<int32_t> codes);
    // Chooses switch position p with its key; false when p is already chosen.
    // Hosted: message 2 with the new key (when above 0), then 1 and 3.
    bool selectSwitch(int16_t position, int32_t key);
    // A jog dial turn: the held jog key is released and the one for the direction pressed.
    void jogChange(float value, int32_t downCode, int32_t upCode);
    // Lets go of every transient key, reporting each, and returns them; kept keys and the
    // mode switch stay. For the ways out of a press that never see its release.
    QList<int32_t> releaseTransient();
    bool isKept(int32_t code) const { return m_kept.contains(code); }

    // The link's "SetKeyState" with the current bitmap; a missing link fails with 91.
    void sendBitmap();
    // Message number with (code, in-process flag).
    void sendKeyMessage(int32_t number, int32_t code);

    // Called after each key reported: a press (held true) or a release, a mode-switch position
    // chosen (held true). Not called when the report failed.
    std::function<void(int32_t code, bool held)> onReported;

private:
    void reported(int32_t code, bool held);

    KeyStateModel m_model;
    QSet<int32_t> m_kept;
    QSet<int32_t> m_letGo; // released by releaseTransient, their own release still to come
};

} // namespace tarvisk
