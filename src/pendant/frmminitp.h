#pragma once

#include "pendant/ledbank.h"
#include "pendant/minidisplay.h"
#include "pendant/pendantbase.h"

#include <QLabel>

#include <array>

class QCheckBox;
class QFrame;
class QPushButton;

namespace tarvisk {

// The mini pendant: 33 push keys in six borderless groups, each with a check-box twin that
// replaces it while Ctrl is held (the latch view), the three-position mode switch, three
// white/green LEDs, the beeper icon and the graphic display.
//
// A twin latches its key as the old pendant's twins do: checked, it holds the key and locks the
// push key; unchecked, it lets go. Unloading never closes the process's link, also in a
// standalone run.
class frmMiniTP : public PendantWindowBase
{
    Q_OBJECT
public:
    static constexpr int kKeyCount = 33;
    static constexpr int kLedCount = 3;
    // LED colours (&HBBGGRR): unlit and lit.
    static constexpr unsigned kLedWhite = 0xFFFFFF;
    static constexpr unsigned kLedGreen = 0x00FF00;

    // The groups holding the keys, by the index used in the key layout.
    enum Group { fraMotor, fraStop, fraShift, fraFunc, fraManual, fraCursor, GroupCount };

    explicit frmMiniTP(QWidget *parent = nullptr);
    ~frmMiniTP() override;

    PendantKind kind() const override { return PendantKind::Mini; }
    // A malformed value or an LED number outside 1 to 3 does nothing and reports nothing.
    void SetLED(Variant &vntVal) override;
    void SetBeep(Variant &value) override;
    // The first call of a hosted window announces "CONNECT" (state message 0, value 1) before
    // building the bitmap; later calls only build it.
    Variant GetKeyState() override;
    void SetLCD(Variant &vntData) override;
    void DrawDisplay(Variant &data) override;

    // Access for tests and the screenshot tool.
    QPushButton *hardKey(int index) const { return cmdHardKey[index]; }
    QCheckBox *hardKeyTwin(int index) const { return chkHardKey[index]; }
    QString keyName(int index) const;
    QFrame *groupBox(Group group) const { return m_groups[group]; }
    QWidget *switchArea(int position) const { return imgClickSwitch[position]; }
    QWidget *modeSwitch() const { return picSwitch; }
    QWidget *ledView(int index) const { return picLED[index]; }
    QWidget *beeperIcon() const { return imgBeep; }
    QWidget *displayBox() const { return picDisplay; }
    QLabel *jointLabel(int index) const { return lblBtn[index]; }
    LedBank *leds() const { return m_leds; }
    Beeper *beeper() const { return m_beeper; }
    const MiniDisplay &display() const { return m_display; }
    // The colour an LED shows now (&HBBGGRR).
    unsigned ledColor(int index) const;
    bool isLatchViewShown() const { return m_latchView; }
    bool firstKeyStateRequested() const { return m_bFirstKeyState; }

    // Switch selection of position p (click or default mode); false when already chosen.
    bool selectSwitch(int position);

protected:
    void buildControls() override;
    void enableKeys() override;
    const KeyTable *keyTable() const override;
    void selectSwitchPosition(int position) override;
    bool dispatchLinkMessage(int32_t number, Variant &value) override;
    bool closesLinkOnUnload() const override { return false; }
    // Stops itself, announces "CONNECT" when hosted, applies the default mode and enables the
    // window, the last also after an error.
    void tmrFirstConn_Timer() override;

    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void buildGroups();
    void buildKeys();
    void buildSwitch();
    void buildIndicators();
    void buildDisplay();
    // Declares key i and its twin on the input path.
    void declareKey(int index);
    // Ctrl held: the twins instead of the keys.
    void showLatchView(bool shown);

    std::array<QFrame *, GroupCount> m_groups{};
    std::array<QPushButton *, kKeyCount> cmdHardKey{};
    std::array<QCheckBox *, kKeyCount> chkHardKey{};
    std::array<QLabel *, 6> lblBtn{};
    QWidget *picSwitch = nullptr;
    std::array<QWidget *, 3> imgClickSwitch{};
    std::array<QWidget *, kLedCount> picLED{};
    QLabel *imgBeep = nullptr;
    QWidget *Shape1 = nullptr;
    QWidget *picDisplay = nullptr;
    LedBank *m_leds = nullptr;
    Beeper *m_beeper = nullptr;
    MiniDisplay m_display;
    quint64 m_paintedChanges = 0;
    bool m_bFirstKeyState = false;
    bool m_latchView = false;
};

} // namespace tarvisk
