#pragma once

#include "pendant/jogdial.h"
#include "pendant/ledbank.h"
#include "pendant/pendantbase.h"

#include <QLabel>

#include <array>

namespace tarvisk {

class ButtonEx;

// The standard pendant: 31 drawn keys, the three-position mode switch, two LEDs inside
// MOTOR and LOCK, the beeper icon, the jog dial and the state selector.
class frmTP : public PendantWindowBase
{
    Q_OBJECT
public:
    static constexpr int kKeyCount = 31;

    explicit frmTP(QWidget *parent = nullptr);
    ~frmTP() override;

    PendantKind kind() const override { return PendantKind::Standard; }
    // As every pendant, and the mode switch is hidden when the connection asked for a pendant
    // without one ("IsPellino").
    void Connect(int32_t lDefaultMode) override;
    void SetLED(Variant &vntVal) override;
    void SetBeep(Variant &value) override;

    // Access for tests and the screenshot tool.
    QWidget *hardKey(int index) const { return picHardKey[index]; }
    ButtonEx *keyButton(int index) const { return m_keyButtons[index]; }
    QString keyName(int index) const { return m_keyNames[index]; }
    QWidget *switchArea(int position) const { return imgClickSwitch[position]; }
    QWidget *modeSwitch() const { return picSwitch; }
    QLabel *switchCaption(int position) const { return lblSwitch[position]; }
    QWidget *jogDialBox() const { return picJogDial; }
    clsJogDial *jogDial() const { return m_jogDial; }
    QWidget *beeperIcon() const { return imgBeep; }
    QLabel *moveLabel(int index) const { return lblMoveBtn[index]; }
    QWidget *ledView(int index) const { return shpLED[index]; }
    LedBank *leds() const { return m_leds; }
    Beeper *beeper() const { return m_beeper; }

    // Switch selection of position p (click or default mode); false when already chosen.
    bool selectSwitch(int position);

protected:
    void buildControls() override;
    void enableKeys() override;
    void selectSwitchPosition(int position) override;
    const KeyTable *keyTable() const override;

private:
    void buildKeys();
    void buildSwitch();
    void m_jogDial_Change(float &value);

    std::array<QWidget *, kKeyCount> picHardKey{};
    std::array<ButtonEx *, kKeyCount> m_keyButtons{};
    std::array<QString, kKeyCount> m_keyNames;
    std::array<QLabel *, 6> lblMoveBtn{};
    QWidget *picSwitch = nullptr;
    std::array<QWidget *, 3> imgClickSwitch{};
    std::array<QLabel *, 3> lblSwitch{};
    std::array<QWidget *, 2> shpLED{};
    QLabel *imgBeep = nullptr;
    QWidget *picJogDial = nullptr;
    clsJogDial *m_jogDial = nullptr;
    LedBank *m_leds = nullptr;
    Beeper *m_beeper = nullptr;
};

} // namespace tarvisk
