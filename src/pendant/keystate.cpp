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

void PendantKeys::press(int32_t code)
{
    m_model.add(code);
    if (g_Standalone)
        sendBitmap();
    else
        sendKeyMessage(1, code);
}

void PendantKeys::release(int32_t code)
{
    m_model.remove(code);
    if (g_Standalone) {
        sendBitmap();
    } else {
        sendKeyMessage(2, code);
        sendKeyMessage(3, code);
    }
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
    return true;
}

void PendantKeys::jogChange(float value, int32_t downCode, int32_t upCode)
{
    const bool downHeld = m_model.remove(downCode);
    const bool upHeld = m_model.remove(upCode);
    if (g_Standalone) {
        if (downHeld || upHeld)
            sendBitmap();
    } else {
        for (auto [held, code] : {std::pair{downHeld, downCode}, std::pair{upHeld, upCode}}) {
            if (held) {
                sendKeyMessage(2, code);
                sendKeyMessage(3, code);
            }
        }
    }
    press(value > 0 ? downCode : upCode);
}

void PendantKeys::releaseAll()
{
    const QList<int32_t> held = m_model.heldKeys();
    for (int32_t code : held)
        release(code);
}

} // namespace tarvisk
