#pragma once

#include "pendant/ledbank.h"
#include "pendant/pendantbase.h"

#include <QLabel>

#include <array>

class QCheckBox;
class QGroupBox;
class QKeyEvent;
class QPushButton;
class QSlider;

namespace tarvisk {

// The old pendant: 31 push keys in six group boxes, each with a latching twin drawn as a
// toggle button, the mode switch, two LEDs beside MOTOR and LOCK, the beeper icon and the
// vertical jog slider. Ctrl held (or "Leave press" checked) shows the twins instead of the
// keys; Alt held shows the state selector.
class frmOldTP : public PendantWindowBase
{
    Q_OBJECT
public:
    static constexpr int kKeyCount = 31;
    // Repeat period of the jog key while the slider is held off centre.
    static constexpr int kJogIntervalMs = 150;

    explicit frmOldTP(QWidget *parent = nullptr);
    ~frmOldTP() override;

    PendantKind kind() const override { return PendantKind::Old; }
    // Malformed values fail towards the caller (no error trapping of its own).
    void SetLED(Variant &vntVal) override;
    void SetBeep(Variant &value) override;

    // Access for tests and the screenshot tool.
    QPushButton *hardKey(int index) const { return cmdHardKey[index]; }
    QPushButton *twin(int index) const { return chkHardKey[index]; }
    QString keyName(int index) const { return m_keyNames[index]; }
    QCheckBox *leavePress() const { return chkLeavePress; }
    QSlider *jogSlider() const { return sldJog; }
    WindowTimer *jogTimer() const { return tmrJog; }
    QWidget *modeSwitch() const { return picSwitch; }
    QWidget *switchArea(int position) const { return imgClickSwitch[position]; }
    QWidget *ledView(int index) const { return picLED[index]; }
    QWidget *beeperIcon() const { return imgBeep; }
    QLabel *axisLabel(int index) const { return lblBtn[index]; }
    QGroupBox *jogFrame() const { return fraJog; }
    LedBank *leds() const { return m_leds; }
    Beeper *beeper() const { return m_beeper; }
    // Whether the twins are shown in place of the push keys.
    bool isLatchViewShown() const { return m_latchView; }

    // Switch selection of position p (click or default mode); false when already chosen.
    bool selectSwitch(int position);

protected:
    void buildControls() override;
    void letGoOfControls(const QList<int32_t> &codes) override;
    void enableKeys() override;
    void selectSwitchPosition(int position) override;
    void tmrFirstConn_Timer() override;
    const KeyTable *keyTable() const override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;

private:
    void buildGroups();
    void buildKeys();
    void buildSwitch();
    void buildIndicators();
    void buildJog();
    void previewKeys(QWidget *root);

    // Declares key i and its twin on the input path.
    void declareKey(int index);
    void showLatchView(bool twins);
    bool Form_KeyDown(QObject *watched, QKeyEvent *event);
    void Form_KeyUp(QKeyEvent *event);
    void sldJog_Change();
    void tmrJog_Timer();
    void jogTick();
    // The slider held off centre in a direction (-1 up, +1 down), or let go (0).
    void holdJog(int direction);

    QGroupBox *fraMotor = nullptr;
    QGroupBox *fraRSel = nullptr;
    QGroupBox *fraManual = nullptr;
    QGroupBox *fraCursor = nullptr;
    QGroupBox *fraJog = nullptr;
    QGroupBox *fraFunc = nullptr;
    std::array<QPushButton *, kKeyCount> cmdHardKey{};
    std::array<QPushButton *, kKeyCount> chkHardKey{};
    std::array<QString, kKeyCount> m_keyNames;
    std::array<QLabel *, 6> lblBtn{};
    QCheckBox *chkLeavePress = nullptr;
    QWidget *picSwitch = nullptr;
    std::array<QWidget *, 3> imgClickSwitch{};
    std::array<QWidget *, 2> picLED{};
    QLabel *imgBeep = nullptr;
    QSlider *sldJog = nullptr;
    WindowTimer *tmrJog = nullptr;
    LedBank *m_leds = nullptr;
    Beeper *m_beeper = nullptr;
    bool m_latchView = false;
    bool m_inJogChange = false;
};

} // namespace tarvisk
