#pragma once

#include "pendant/connectionstate.h"
#include "pendant/inputpath.h"
#include "pendant/keystate.h"
#include "pendant/windowtimer.h"
#include "provider/keytables.h"
#include "provider/pendantwindow.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class QComboBox;

namespace tarvisk {

class LinkHealth;

class ILinkMessage;

// What the standard, mini and old pendant windows share: the key-state model and its
// reporting, the state selector, the first-connection timer, the link and its message
// dispatch, the close rules and the enabling of every control.
class PendantWindowBase : public QWidget, public IPendantWindow
{
    Q_OBJECT
public:
    explicit PendantWindowBase(const QString &formName, QWidget *parent = nullptr);
    ~PendantWindowBase() override;

    QWidget *widget() override { return this; }
    bool isLoaded() const override { return m_loaded; }
    void Load() override;
    void Unload() override;
    void Connect(int32_t lDefaultMode) override;
    void Disconnect() override;
    Variant GetKeyState() override;
    void SetInprocEventKey(Variant &vntKeys) override;
    Variant GetInprocEventKey() override;
    void setStateSelectorVisible(bool visible) override;
    bool isStateSelectorVisible() const override;
    // The provider's way out, a disconnection: every hold is let go and reported, latches
    // included, before "DISCONNECT" goes.
    void releaseHeldKeys() override;

    PendantKeys &keys() { return m_keys; }
    // The one way in for key input; its sources start when the window loads.
    InputPath &input() { return *m_input; }
    // The enabling switch's lamp (key DEAD), or nullptr before the window loads.
    QWidget *enablingSwitch() const { return m_enablingSwitch; }
    // "DISCONNECT" until the first tick connects the window (standalone) or the window announces
    // a state to the host (hosted); "DISCONNECT" again after Disconnect.
    ConnectionState &connectionState() { return *m_state; }
    int32_t defaultMode() const { return m_defaultMode; }
    QComboBox *stateSelector() const { return cmbState; }
    WindowTimer *firstConnectionTimer() const { return tmrFirstConn; }
    // The health of the link the window talks over, as its title shows it; nullptr while it has
    // none that tells (not connected, or hosted).
    const LinkHealth *linkHealth() const;

    // The entries of every state selector, by index.
    static QStringList stateNames();

signals:
    // The link health shown changed, or the window took or let go of a link.
    void linkHealthChanged();

protected:
    // Builds the controls; called once by Load.
    virtual void buildControls() = 0;
    // The first tick's standalone step: the keys become usable.
    virtual void enableKeys() = 0;
    // Applies a switch position (0 to 2) chosen by the default mode.
    virtual void selectSwitchPosition(int position) = 0;
    virtual void SetLEDFromLink(Variant &value) { SetLED(value); }
    virtual void SetBeepFromLink(Variant &value) { SetBeep(value); }
    // Link messages beyond 0, 256 and 257; false when the number means nothing here.
    virtual bool dispatchLinkMessage(int32_t number, Variant &value);
    // Whether unloading in a standalone run closes the process's link.
    virtual bool closesLinkOnUnload() const { return true; }
    // Hook for the window's own unload handling, after the link is dealt with.
    virtual void unloadControls() {}

    // The window's key table ("TP_KEY_" or "MP_KEY_" names), read at each lookup.
    virtual const KeyTable *keyTable() const = 0;

    // Lets go of what a way out ends (every way out of a press whose release may never come:
    // the window hidden, disabled, closed, unloaded or deactivated, the latch view, the process
    // quitting), reports the releases and resets the looks.
    void letGo(WayOut way);
    // The window's part of that: any control that would press a key again (a slider held off
    // centre), given the codes let go that no declared control held.
    virtual void letGoOfControls(const QList<int32_t> &codes) { Q_UNUSED(codes); }

    // The enabling switch's lamp at its place, declared on the input path with the key name.
    QWidget *createEnablingSwitch(QWidget *parent, const QRect &geometryTwips, const QString &keyName);

    // Switch selection of position p, whose key is named keyName in table; repaints the switch
    // picture. False when p is already chosen; a missing table fails with 91.
    bool chooseSwitch(int position, const KeyTable *table, const QString &keyName, QWidget *switchPicture);

    // The state selector, created by the window at its place with the four entries.
    QComboBox *createStateSelector(QWidget *parent, const QRect &geometryTwips);
    // One of the mode switch's three click areas (position 0 to 2, left to right) over its
    // picture, declared on the input path; a failing select shows its error box.
    QWidget *addSwitchArea(QWidget *switchPicture, int position, const QString &keyName, std::function<void()> select);
    // Registers a control whose enabled flag follows "enable every control".
    void addControl(QWidget *control);
    void enableEveryControl(bool enabled);
    // "Tarvisk err:Description : ..." to the debugging output.
    static void reportTimerError(const ProvError &e);

    void closeEvent(QCloseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

    // Default mode 1 -> position 1, 2 -> 2, 3 -> 0, anything else none.
    static int switchPositionForMode(int32_t mode);

    // The first-connection tick; the standard behaviour announces "CONNECT" through the
    // state selector (hosted) or enables the keys (standalone), then applies the default mode.
    virtual void tmrFirstConn_Timer();
    // The state selector's change: hosted only, enables or disables every control and
    // sends state message 0 with the index.
    virtual void cmbState_Click();

private:
    void onLinkMessage(ILinkMessage &message, qint32 option);
    void attachLink();
    void detachLink();
    // The link's health in the title after the caption, and as the window's tool tip; nothing
    // when all is well, so the window then looks as without a link.
    void showLinkHealth();
    void unloadHandling(WayOut way);

    QString m_formName;
    bool m_loaded = false;
    PendantKeys m_keys;
    int32_t m_defaultMode = 0;
    QList<QPointer<QWidget>> m_controls;
    QComboBox *cmbState = nullptr;
    WindowTimer *tmrFirstConn = nullptr;
    ConnectionState *m_state = nullptr;
    QMetaObject::Connection m_linkConnection;
    QMetaObject::Connection m_healthConnection;
    QString m_caption; // the title the window gave itself
    InputPath *m_input = nullptr;
    QWidget *m_enablingSwitch = nullptr;
};

} // namespace tarvisk
