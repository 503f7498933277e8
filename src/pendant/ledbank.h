#pragma once

#include "common/variant.h"
#include "pendant/windowtimer.h"

#include <QList>
#include <QObject>

#include <optional>

namespace tarvisk {

// The LEDs of a pendant and their blink timer. Each LED shows lit or unlit; what those look
// like is the window's business. The timer, once started by a blink request, never stops,
// and every blinking LED toggles on the same tick, so they share one phase.
class LedBank : public QObject
{
    Q_OBJECT
public:
    // How a blinking LED toggles: by its recorded state (an LED never switched keeps its
    // look), or by its look alone.
    enum class Toggle { RecordedState, Look };

    LedBank(int count, int intervalMs, Toggle toggle, QObject *parent = nullptr);

    // (LED number from 1, mode): 0 off, 1 on, 2 blink from the present look, others nothing.
    // Numbers outside the bank change nothing. A value that is not an array of two numbers
    // fails (13 or 9) and changes nothing.
    void SetLED(const Variant &vntVal);

    int count() const { return int(m_leds.size()); }
    bool isLit(int index) const { return m_leds[index].lit; }
    bool isBlinking(int index) const { return m_leds[index].blink; }
    // "0", "1", or empty while never switched.
    QString recordedState(int index) const;
    // 2 while blinking, else 1 when lit and 0 when unlit.
    int mode(int index) const;
    void setLit(int index, bool lit);
    WindowTimer &timer() { return m_timer; }

    // One blink step, as the timer does it.
    void tick();

signals:
    // The look of an LED changed (a request or a blink step).
    void changed(int index);
    // A request reached an LED of the bank with mode 0, 1 or 2; raised for every such request,
    // also one that leaves the LED as it was, never for a blink step.
    void modeSet(int index, int mode);

private:
    struct Led
    {
        bool lit = false;
        std::optional<bool> recorded;
        bool blink = false;
    };
    void show(int index, bool lit);

    QList<Led> m_leds;
    Toggle m_toggle;
    WindowTimer m_timer;
};

// The beeper: an icon shown for the requested time; no sound.
class Beeper : public QObject
{
    Q_OBJECT
public:
    explicit Beeper(QObject *parent = nullptr);

    // n > 0: shown for n ms (restarting the time); n < 0: shown until the next call; 0: hidden.
    // A value that is no 32-bit number fails and changes nothing.
    void SetBeep(const Variant &value);
    bool isShown() const { return m_shown; }
    // While shown: the milliseconds left, or -1 until the next call. 0 while hidden.
    int millisecondsLeft() const;
    WindowTimer &timer() { return m_timer; }

signals:
    void shownChanged(bool shown);
    // Every request, also one that changes nothing, and the end of a timed sound: whether the
    // beeper sounds, and the milliseconds asked for (-1: until the next call; 0 when silent).
    void changed(bool sounding, int milliseconds);

private:
    void setShown(bool shown);
    void tick();

    bool m_shown = false;
    bool m_untilNext = false;
    WindowTimer m_timer;
};

} // namespace tarvisk
