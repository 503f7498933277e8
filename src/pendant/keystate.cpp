#include "pendant/keystate.h"

#include "link/pendantlink.h"
#include "provider/provstate.h"

namespace tarvisk {

namespace {

void checkCode(int32_t code)
{
    if (code < 0 || code > 63)
        raiseError(ErrSubscript);
}

} // namespace

KeyStateModel::KeyStateModel()
    : m_mask(8, char(0xFF))
{}

void KeyStateModel::add(int32_t code)
{
    checkCode(code);
    if (!m_pressed.contains(code))
        m_pressed.push_back(code);
}

bool KeyStateModel::remove(int32_t code)
{
    return m_pressed.removeOne(code);
}

bool KeyStateModel::isHeld(int32_t code) const
{
    return m_pressed.contains(code);
}

void KeyStateModel::setSwitch(int16_t position, int32_t key)
{
    m_switchPosition = position;
    m_switchKey = key;
}

QByteArray KeyStateModel::bitmap() const
{
    QByteArray bits(8, 0);
    // Switch keys are codes 3 to 5; byte 0 is the only place they can live.
    if (m_switchKey > 0 && m_switchKey < 8)
        bits[0] = char(1u << m_switchKey);
    for (int32_t code : m_pressed)
        bits[code / 8] = char(uint8_t(bits[code / 8]) | (1u << (code % 8)));
    return bits;
}

bool KeyStateModel::inprocFlag(int32_t code) const
{
    checkCode(code);
    return (uint8_t(m_mask[code / 8]) >> (code % 8)) & 1u;
}

void KeyStateModel::setInprocEventKey(const Variant &keys)
{
    if (!keys.isArray())
        return;
    for (int32_t i = 0; i < 8; ++i)
        m_mask[i] = char(keys.at(i).toByte());
}

void PendantKeys::sendBitmap()
{
    if (!m_TPComm)
        raiseError(ErrObjectNotSet);
    m_TPComm->Execute(QStringLiteral("SetKeyState"), Variant(m_model.bitmap()));
}

void PendantKeys::sendKeyMessage(int32_t number, int32_t code)
{
    sendHostMessage(number, Variant::array({Variant(code), Variant(m_model.inprocFlag(code))}));
}

void PendantKeys::press(int32_t code, Hold hold)
{
    m_model.add(code);
    m_letGo.remove(code);
    if (hold == Hold::Kept)
        m_kept.insert(code);
    else
        m_kept.remove(code);
    if (g_Standalone)
        sendBitmap();
    else
        sendKeyMessage(1, code);
    reported(code, true);
}

void PendantKeys::reported(int32_t code, bool held)
{
    if (onReported)
        onReported(code, held);
}

void PendantKeys::release(int32_t code)
{
    m_kept.remove(code);
    if (m_letGo.remove(code) && !m_model.isHeld(code))
        return;
    m_model.remove(code);
    if (g_Standalone) {
        sendBitmap();
    } else {
        sendKeyMessage(2, code);
        sendKeyMessage(3, code);
    }
    reported(code, false);
}

bool PendantKeys::selectSwitch(int16_t position, int32_t key)
{
    if (position == m_model.switchPosition())
        return false;
    m_model.setSwitch(position, key);
    if (g_Standalone) {
        sendBitmap();
    } else {
        if (key > 0)
            sendKeyMessage(2, key);
        sendKeyMessage(1, key);
        sendKeyMessage(3, key);
    }
    reported(key, true);
    return true;
}

void PendantKeys::releaseHeld(std::initializer_list<int32_t> codes)
{
    QList<int32_t> held;
    for (int32_t code : codes) {
        m_kept.remove(code);
        if (m_model.remove(code))
            held << code;
    }
    if (g_Standalone) {
        if (!held.isEmpty())
            sendBitmap();
    } else {
        for (int32_t code : held) {
            sendKeyMessage(2, code);
            sendKeyMessage(3, code);
        }
    }
    for (int32_t code : held)
        reported(code, false);
}

void PendantKeys::jogChange(float value, int32_t downCode, int32_t upCode)
{
    releaseHeld({downCode, upCode});
    press(value > 0 ? downCode : upCode, Hold::Kept);
}

QList<int32_t> PendantKeys::releaseTransient()
{
    QList<int32_t> transient;
    for (int32_t code : m_model.heldKeys()) {
        if (!m_kept.contains(code))
            transient << code;
    }
    for (int32_t code : transient) {
        release(code);
        m_letGo.insert(code);
    }
    return transient;
}

} // namespace tarvisk
