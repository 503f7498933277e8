#include "pendant/pendantbase.h"

#include "common/diagnostics.h"
#include "common/twips.h"
#include "link/linkhealth.h"
#include "link/pendantlink.h"
#include "provider/provstate.h"
#include "provider/startup.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>

namespace tarvisk {

PendantWindowBase::PendantWindowBase(const QString &formName, QWidget *parent)
    : QWidget(parent)
    , m_formName(formName)
{
    setAttribute(Qt::WA_QuitOnClose, true);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &PendantWindowBase::releaseHeldKeys);
}

PendantWindowBase::~PendantWindowBase()
{
    detachLink();
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
    m_caption = windowTitle();
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

void PendantWindowBase::releaseHeldKeys()
{
    if (!m_loaded)
        return;
    try {
        const QList<int32_t> released = m_keys.releaseTransient();
        if (!released.isEmpty())
            letGoOfControls(released);
    } catch (const ProvError &e) {
        debugPrint(QStringLiteral("releaseHeldKeys of Form ") + m_formName + QStringLiteral(": ") + e.description());
    }
}

bool PendantWindowBase::takesPress(const QObject *control)
{
    const auto *w = qobject_cast<const QWidget *>(control);
    const bool takes = w ? w->isVisible() && w->isEnabled() : isVisible();
    m_refusedPress = takes ? nullptr : control;
    return takes;
}

bool PendantWindowBase::takesRelease(const QObject *control)
{
    if (m_refusedPress != control)
        return true;
    m_refusedPress = nullptr;
    return false;
}

void PendantWindowBase::hideEvent(QHideEvent *event)
{
    releaseHeldKeys();
    QWidget::hideEvent(event);
}

void PendantWindowBase::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        releaseHeldKeys();
    QWidget::changeEvent(event);
}

void PendantWindowBase::enableEveryControl(bool enabled)
{
    if (!enabled)
        releaseHeldKeys();
    for (const QPointer<QWidget> &c : std::as_const(m_controls)) {
        if (c)
            c->setEnabled(enabled);
    }
    for (WindowTimer *t : findChildren<WindowTimer *>())
        t->setEnabled(enabled);
    if (cmbState)
        cmbState->setEnabled(true);
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
        try {
            sendHostMessage(0, Variant(int16_t(0)));
        } catch (const ProvError &) {
            // The host may already be gone; the window still disconnects.
        }
    }
    hide();
}

void PendantWindowBase::tmrFirstConn_Timer()
{
    tmrFirstConn->setInterval(0);
    tmrFirstConn->setEnabled(false);
    try {
        if (g_Standalone) {
            enableKeys();
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
            sendHostMessage(0, Variant(index));
            break;
        case 3:
            sendHostMessage(0, Variant(int32_t(3)));
            break;
        case 0:
        case 2:
            enableEveryControl(false);
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

void PendantWindowBase::showLinkHealth()
{
    const LinkHealth *health = m_healthConnection && m_keys.m_TPComm ? m_keys.m_TPComm->health() : nullptr;
    const QString text = health ? health->text() : QString();
    setWindowTitle(text.isEmpty() ? m_caption : QStringLiteral("%1 (%2)").arg(m_caption, text));
    setToolTip(health ? health->toolTip() : QString());
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

void PendantWindowBase::unloadHandling()
{
    releaseHeldKeys();
    if (g_Standalone && closesLinkOnUnload()) {
        detachLink();
        m_keys.m_TPComm.reset();
        CloseStandaloneLink();
    }
    unloadControls();
}

void PendantWindowBase::Unload()
{
    unloadHandling();
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
    unloadHandling();
    event->accept();
}

} // namespace tarvisk
