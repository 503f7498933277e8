#pragma once

#include "pendant/connectionstate.h"
#include "pendant/windowtimer.h"
#include "provider/pendantwindow.h"

#include <QRegion>
#include <QWidget>

class QComboBox;
class QLabel;

namespace tarvisk {

// The pendant-less window: the word "TPLess" on an otherwise see-through window, and a
// keep-alive timer telling the host that no pendant is present. Of the window contract it
// offers Connect and DebugMode; every other operation fails with 438.
class frmTPLess : public QWidget, public IPendantWindow
{
    Q_OBJECT
public:
    // Delay of the first keep-alive after Connect.
    static constexpr int kFirstTickMs = 100;

    explicit frmTPLess(QWidget *parent = nullptr);
    ~frmTPLess() override;

    QWidget *widget() override { return this; }
    PendantKind kind() const override { return PendantKind::TPLess; }
    void Load() override;
    bool isLoaded() const override { return m_loaded; }
    void Unload() override;
    // Makes the window see-through unless DebugMode is set and starts the keep-alive.
    void Connect(int32_t lMode) override;
    void setDebugMode(bool debugMode) override { m_DebugMode = debugMode; }
    bool DebugMode() const { return m_DebugMode; }
    void setStateSelectorVisible(bool visible) override;
    bool isStateSelectorVisible() const override;

    // Access for tests and the screenshot tool.
    QLabel *label() const { return lblTPLess; }
    QComboBox *stateSelector() const { return cmbState; }
    WindowTimer *keepAliveTimer() const { return tmrTPLess; }
    // How the background was taken away: not at all (DebugMode), by shaping the window to the
    // label's text (no compositor), or by leaving it unpainted over an alpha channel.
    enum class SeeThrough { None, Shaped, Alpha };
    SeeThrough seeThrough() const { return m_seeThrough; }
    bool isSeeThrough() const { return m_seeThrough != SeeThrough::None; }
    // "TPLESS" from the first keep-alive tick, "DISCONNECT" before it and after unloading.
    ConnectionState &connectionState() { return *m_state; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void tmrTPLess_Timer();
    void makeSeeThrough();

    bool m_loaded = false;
    bool m_DebugMode = false;
    SeeThrough m_seeThrough = SeeThrough::None;
    QLabel *lblTPLess = nullptr;
    QComboBox *cmbState = nullptr;
    WindowTimer *tmrTPLess = nullptr;
    ConnectionState *m_state = new ConnectionState(this);
};

// The pixels a widget paints over a transparent background, in its parent's coordinates:
// what stays of it when everything around it is see-through.
QRegion paintedRegion(QWidget *w);

} // namespace tarvisk
