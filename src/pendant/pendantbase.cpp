#include "pendant/pendantbase.h"

#include "common/diagnostics.h"
#include "common/twips.h"
#include "link/linkhealth.h"
#include "link/pendantlink.h"
#include "pendant/inputpaint.h"
#include "pendant/paintbox.h"
#include "pendant/zoomstyle.h"
#include "provider/provstate.h"
#include "provider/startup.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QPainter>

namespace tarvisk {

PendantWindowBase::PendantWindowBase(const QString &formName, QWidget *parent)
    : QWidget(parent)
    , m_formName(formName)
    , m_state(new ConnectionState(this))
{
    setAttribute(Qt::WA_QuitOnClose, true);
    m_input = new InputPath(this, m_keys, [this] { return keyTable(); });
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { letGo(WayOut::Quit); });
}

PendantWindowBase::~PendantWindowBase()
{
    detachLink();
    // The path reports through m_keys, which goes before the children do.
    delete m_input;
    m_input = nullptr;
}

QStringList PendantWindowBase::stateNames()
{
    return {QStringLiteral("DISCONNECT"), QStringLiteral("CONNECT"), QStringLiteral("TPLESS"),
            QStringLiteral("TPERROR")};
}

int PendantWindowBase::switchPositionForMode(int32_t mode)
{
    switch (mode) {
    case 1:
        return 1;
    case 2:
        return 2;
    case 3:
        return 0;
    default:
        return -1;
    }
}

void PendantWindowBase::Load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    tmrFirstConn = new WindowTimer(this);
    connect(tmrFirstConn, &WindowTimer::Timer, this, &PendantWindowBase::tmrFirstConn_Timer);
    buildControls();
    applyZoomStyle(this);
    m_caption = windowTitle();
    m_input->attachSources(kind(), g_Standalone);
}

QComboBox *PendantWindowBase::createStateSelector(QWidget *parent, const QRect &g)
{
    cmbState = new QComboBox(parent);
    cmbState->addItems(stateNames());
    cmbState->setCurrentIndex(-1);
    cmbState->setGeometry(twips::toPixelsX(g.x()), twips::toPixelsY(g.y()), twips::toPixelsX(g.width()),
                          g.height() > 0 ? twips::toPixelsY(g.height()) : cmbState->sizeHint().height());
    cmbState->setFocusPolicy(Qt::ClickFocus);
    connect(cmbState, &QComboBox::activated, this, [this] { cmbState_Click(); });
    return cmbState;
}

QWidget *PendantWindowBase::addSwitchArea(QWidget *switchPicture, int position, const QString &keyName,
                                          std::function<void()> select)
{
    auto *area = new QWidget(switchPicture);
    area->setObjectName(QStringLiteral("imgClickSwitch%1").arg(position));
    area->setGeometry(twipsRect(495 * position, 0, 495, 1215));
    area->setProperty("Tag", keyName);
    addControl(area);
    KeyControl c;
    c.widget = area;
    c.kind = ControlKind::ModeSwitchArea;
    c.keyName = keyName;
    c.on.select = [select = std::move(select)] {
        try {
            select();
        } catch (const ProvError &e) {
            showErrorBox(e.number(), e.description());
        }
    };
    input().declare(c);
    return area;
}

void PendantWindowBase::addControl(QWidget *control)
{
    m_controls << control;
}

bool PendantWindowBase::chooseSwitch(int position, const KeyTable *table, const QString &keyName,
                                     QWidget *switchPicture)
{
    if (position == m_keys.model().switchPosition())
        return false;
    if (!table)
        raiseError(ErrObjectNotSet);
    const bool changed = m_keys.selectSwitch(int16_t(position), table->Item(keyName));
    switchPicture->update();
    return changed;
}

void PendantWindowBase::letGo(WayOut way)
{
    if (!m_loaded || !m_input)
        return;
    m_input->letGo(way);
    // What no declared control holds (the slider's repeating jog key) goes too, except for the
    // latch view, which hides only the push keys and leaves the slider in the hand.
    if (way == WayOut::LatchView)
        return;
    try {
        const QList<int32_t> released = m_keys.releaseTransient();
        if (!released.isEmpty())
            letGoOfControls(released);
    } catch (const ProvError &e) {
        debugPrint(QStringLiteral("letGo of Form ") + m_formName + QStringLiteral(": ") + e.description());
    }
}

void PendantWindowBase::releaseHeldKeys()
{
    letGo(WayOut::Disconnect);
}

QWidget *PendantWindowBase::createEnablingSwitch(QWidget *parent, const QRect &g, const QString &keyName)
{
    auto *lamp = new PaintBox(parent, [this, keyName](QPainter &p, const QRect &r) {
        paintEnablingSwitch(p, r, m_input->isHeld(keyName), m_enablingSwitch && m_enablingSwitch->isEnabled());
    });
    lamp->setObjectName(QStringLiteral("picEnable"));
    lamp->setToolTip(QStringLiteral("Enabling switch: hold the right mouse button on the pendant, or Space"));
    lamp->setGeometry(twipsRect(g.x(), g.y(), g.width(), g.height()));
    m_enablingSwitch = lamp;
    KeyControl c;
    c.widget = lamp;
    c.kind = ControlKind::EnablingSwitch;
    c.keyName = keyName;
    c.on.look = [lamp](bool) { lamp->update(); };
    c.on.failed = [](const ProvError &e, bool) { showErrorBox(e.number(), e.description()); };
    m_input->declare(c);
    addControl(lamp);
    return lamp;
}

void PendantWindowBase::hideEvent(QHideEvent *event)
{
    letGo(WayOut::Hide);
    QWidget::hideEvent(event);
}

void PendantWindowBase::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        letGo(WayOut::Deactivation);
    QWidget::changeEvent(event);
}

void PendantWindowBase::enableEveryControl(bool enabled)
{
    if (!enabled)
        letGo(WayOut::Disable);
    for (const QPointer<QWidget> &c : std::as_const(m_controls)) {
        if (c)
            c->setEnabled(enabled);
    }
    for (WindowTimer *t : findChildren<WindowTimer *>())
        t->setEnabled(enabled);
    if (cmbState)
        cmbState->setEnabled(true);
    // Enabling every control must not free a latched key or the twin of a held one.
    if (enabled && m_input)
        m_input->resettle();
}

void PendantWindowBase::Connect(int32_t lDefaultMode)
{
    Load();
    m_keys.m_TPComm = g_TPComm;
    attachLink();
    m_defaultMode = lDefaultMode;
    if (g_Standalone) {
        cmbState->setVisible(false);
        tmrFirstConn->setInterval(3000);
    } else {
        cmbState->setVisible(true);
        tmrFirstConn->setInterval(1000);
    }
    tmrFirstConn->setEnabled(true);
}

void PendantWindowBase::Disconnect()
{
    detachLink();
    m_keys.m_TPComm.reset();
    if (!g_Standalone) {
        // Held keys are reported let go before "DISCONNECT", not by the hiding after it.
        releaseHeldKeys();
        m_state->set(ConnectionState::Disconnect);
        try {
            sendHostMessage(0, Variant(int16_t(0)));
        } catch (const ProvError &) {
            // The host may already be gone; the window still disconnects.
        }
    }
    m_state->set(ConnectionState::Disconnect);
    hide();
}

void PendantWindowBase::tmrFirstConn_Timer()
{
    tmrFirstConn->setInterval(0);
    tmrFirstConn->setEnabled(false);
    try {
        if (g_Standalone) {
            enableKeys();
            m_state->set(ConnectionState::Connect);
        } else {
            cmbState->setCurrentIndex(1);
            cmbState_Click();
        }
        const int position = switchPositionForMode(m_defaultMode);
        if (position >= 0)
            selectSwitchPosition(position);
    } catch (const ProvError &e) {
        reportTimerError(e);
    }
}

void PendantWindowBase::reportTimerError(const ProvError &e)
{
    debugPrint(QStringLiteral("Tarvisk err:Description : ") + e.description() + QStringLiteral("\r\nNumber : 0x") +
               QString::number(uint32_t(e.number()), 16));
}

void PendantWindowBase::cmbState_Click()
{
    if (g_Standalone)
        return;
    try {
        const int32_t index = cmbState->currentIndex();
        switch (index) {
        case 1:
            enableEveryControl(true);
            m_state->set(index);
            sendHostMessage(0, Variant(index));
            break;
        case 3:
            m_state->set(index);
            sendHostMessage(0, Variant(int32_t(3)));
            break;
        case 0:
        case 2:
            enableEveryControl(false);
            m_state->set(index);
            sendHostMessage(0, Variant(index));
            break;
        default:
            break;
        }
    } catch (const ProvError &e) {
        showErrorBox(e.number(), e.description());
    }
}

void PendantWindowBase::setStateSelectorVisible(bool visible)
{
    Load();
    cmbState->setVisible(visible);
}

bool PendantWindowBase::isStateSelectorVisible() const
{
    return cmbState && !cmbState->isHidden();
}

Variant PendantWindowBase::GetKeyState()
{
    return Variant(m_keys.model().bitmap());
}

void PendantWindowBase::SetInprocEventKey(Variant &vntKeys)
{
    m_keys.model().setInprocEventKey(vntKeys);
}

Variant PendantWindowBase::GetInprocEventKey()
{
    return Variant(m_keys.model().inprocEventKey());
}

void PendantWindowBase::attachLink()
{
    detachLink();
    IPendantLink *link = m_keys.m_TPComm.get();
    if (!link)
        return;
    m_linkConnection = connect(link, &IPendantLink::OnMessage, this, &PendantWindowBase::onLinkMessage);
    if (const LinkHealth *health = link->health()) {
        m_healthConnection = connect(health, &LinkHealth::changed, this, &PendantWindowBase::showLinkHealth);
        showLinkHealth();
    }
}

void PendantWindowBase::detachLink()
{
    if (m_linkConnection)
        disconnect(m_linkConnection);
    m_linkConnection = {};
    if (m_healthConnection) {
        disconnect(m_healthConnection);
        m_healthConnection = {};
        showLinkHealth();
    }
}

const LinkHealth *PendantWindowBase::linkHealth() const
{
    return m_healthConnection && m_keys.m_TPComm ? m_keys.m_TPComm->health() : nullptr;
}

void PendantWindowBase::showLinkHealth()
{
    const LinkHealth *health = linkHealth();
    const QString text = health ? health->text() : QString();
    setWindowTitle(text.isEmpty() ? m_caption : QStringLiteral("%1 (%2)").arg(m_caption, text));
    setToolTip(health ? health->toolTip() : QString());
    emit linkHealthChanged();
}

bool PendantWindowBase::dispatchLinkMessage(int32_t, Variant &)
{
    return false;
}

void PendantWindowBase::onLinkMessage(ILinkMessage &message, qint32)
{
    try {
        Variant value = message.Value();
        switch (message.Number()) {
        case 0:
            message.Reply(Variant());
            break;
        case 256:
            SetBeepFromLink(value);
            break;
        case 257:
            SetLEDFromLink(value);
            break;
        default:
            dispatchLinkMessage(message.Number(), value);
            break;
        }
    } catch (const ProvError &e) {
        showErrorBox(e.number(), e.description());
    }
}

void PendantWindowBase::unloadHandling(WayOut way)
{
    letGo(way);
    if (g_Standalone && closesLinkOnUnload()) {
        detachLink();
        m_keys.m_TPComm.reset();
        CloseStandaloneLink();
    }
    unloadControls();
}

void PendantWindowBase::Unload()
{
    unloadHandling(WayOut::Unload);
    // An unloaded window's timers go with it, also while its destruction waits.
    for (WindowTimer *t : findChildren<WindowTimer *>())
        t->setEnabled(false);
    hide();
}

void PendantWindowBase::closeEvent(QCloseEvent *event)
{
    // Hosted, the client owns the window's life: the user cannot close it. The provider's
    // own unloading never goes through a close event, so every close event here is a request
    // from outside (the close box, the window manager, a close() call) and is refused.
    if (!g_Standalone) {
        event->ignore();
        return;
    }
    unloadHandling(WayOut::Close);
    event->accept();
}

} // namespace tarvisk
