#include "pendant/ledbank.h"

#include <algorithm>

namespace tarvisk {

LedBank::LedBank(int count, int intervalMs, Toggle toggle, QObject *parent)
    : QObject(parent)
    , m_leds(count)
    , m_toggle(toggle)
    , m_timer(this, intervalMs, false)
{
    connect(&m_timer, &WindowTimer::Timer, this, &LedBank::tick);
}

QString LedBank::recordedState(int index) const
{
    const auto &r = m_leds[index].recorded;
    return r ? QString::number(*r ? 1 : 0) : QString();
}

int LedBank::mode(int index) const
{
    const Led &led = m_leds[index];
    return led.blink ? 2 : led.lit ? 1 : 0;
}

void LedBank::setLit(int index, bool lit)
{
    show(index, lit);
}

void LedBank::show(int index, bool lit)
{
    if (m_leds[index].lit == lit)
        return;
    m_leds[index].lit = lit;
    emit changed(index);
}

void LedBank::SetLED(const Variant &vntVal)
{
    const int32_t index = vntVal.at(0).toLong() - 1;
    const int32_t mode = vntVal.at(1).toLong();
    if (index < 0 || index >= m_leds.size())
        return;
    Led &led = m_leds[index];
    switch (mode) {
    case 0:
        led.blink = false;
        led.recorded = false;
        show(index, false);
        break;
    case 1:
        led.blink = false;
        led.recorded = true;
        show(index, true);
        break;
    case 2:
        led.blink = true;
        m_timer.setEnabled(true);
        break;
    default:
        return;
    }
    emit modeSet(index, mode);
}

void LedBank::tick()
{
    for (int i = 0; i < m_leds.size(); ++i) {
        Led &led = m_leds[i];
        if (!led.blink)
            continue;
        if (m_toggle == Toggle::Look) {
            show(i, !led.lit);
        } else if (led.recorded) {
            led.recorded = !*led.recorded;
            show(i, *led.recorded);
        }
    }
}

Beeper::Beeper(QObject *parent)
    : QObject(parent)
    , m_timer(this)
{
    connect(&m_timer, &WindowTimer::Timer, this, &Beeper::tick);
}

void Beeper::SetBeep(const Variant &value)
{
    const int32_t n = value.toLong();
    m_timer.setInterval(n > 0 ? n : 0);
    m_timer.setEnabled(n > 0);
    m_untilNext = n < 0;
    setShown(n != 0);
    emit changed(n != 0, n > 0 ? n : n < 0 ? -1 : 0);
}

int Beeper::millisecondsLeft() const
{
    if (!m_shown)
        return 0;
    if (m_untilNext)
        return -1;
    // A coarse timer may run a little past its interval; the time left never exceeds what was asked.
    return std::clamp(m_timer.remainingTime(), 0, m_timer.interval());
}

void Beeper::setShown(bool shown)
{
    if (m_shown == shown)
        return;
    m_shown = shown;
    emit shownChanged(shown);
}

void Beeper::tick()
{
    setShown(false);
    m_timer.setInterval(0);
    m_timer.setEnabled(false);
    emit changed(false, 0);
}

} // namespace tarvisk
