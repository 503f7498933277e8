#include "automation/pendantfollower.h"

#include "link/linkhealth.h"
#include "pendant/connectionstate.h"
#include "pendant/inputpath.h"
#include "pendant/keystate.h"
#include "pendant/ledbank.h"
#include "pendant/minidisplay.h"
#include "pendant/pendantbase.h"

namespace tarvisk {

PendantFollower::PendantFollower(QObject *parent)
    : QObject(parent)
{
    PendantWindowEvents &events = pendantWindowEvents();
    connect(&events, &PendantWindowEvents::connected, this,
            [this](PendantKind kind) { follow(existingPendantWindow(kind)); });
    connect(&events, &PendantWindowEvents::releasing, this, [this](PendantKind kind) {
        if (m_parts.isValid() && m_parts.kind == kind) {
            drop();
            emit windowChanged();
        }
    });
    m_state = state();
    m_link = linkStatus();
    if (IPendantWindow *w = loadedPendantWindow())
        follow(w);
}

PendantFollower::~PendantFollower()
{
    for (const QMetaObject::Connection &c : std::as_const(m_connections))
        disconnect(c);
}

QString PendantFollower::state() const
{
    if (!m_parts.isValid() || !m_parts.state || !m_widget)
        return ConnectionState::nameOf(ConnectionState::Disconnect);
    return m_parts.state->name();
}

PendantFollower::LinkStatus PendantFollower::linkStatus() const
{
    const LinkHealth *health = m_parts.keyed && m_widget ? m_parts.keyed->linkHealth() : nullptr;
    if (!health)
        return {QStringLiteral("NONE"), QString(), QString()};
    QString state;
    switch (health->state()) {
    case LinkHealth::State::Unknown:
        state = QStringLiteral("UNKNOWN");
        break;
    case LinkHealth::State::Answering:
        state = QStringLiteral("ANSWERING");
        break;
    case LinkHealth::State::NoController:
        state = QStringLiteral("NOCONTROLLER");
        break;
    case LinkHealth::State::Silent:
        state = QStringLiteral("SILENT");
        break;
    }
    return {state, health->text(), health->controller()};
}

QStringList PendantFollower::heldKeys() const
{
    QStringList names;
    if (!m_parts.keys || !m_widget)
        return names;
    const KeyStateModel &model = m_parts.keys->model();
    if (model.switchKey() > 0)
        names << m_parts.keyName(model.switchKey());
    for (int32_t code : model.heldKeys()) {
        const QString name = m_parts.keyName(code);
        names << (name.isEmpty() ? QStringLiteral("key %1").arg(code) : name);
    }
    return names;
}

void PendantFollower::drop()
{
    for (const QMetaObject::Connection &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    // Whatever the window held is gone with it.
    const QStringList held = m_held;
    m_held.clear();
    for (const QString &key : held)
        emit keyChanged(key, false);
    m_parts = PendantParts();
    m_widget = nullptr;
    noteState();
    noteLinkStatus();
}

void PendantFollower::follow(IPendantWindow *window)
{
    if (m_parts.isValid() && m_parts.window == window && m_widget)
        return;
    drop();
    m_parts = pendantParts(window);
    m_widget = m_parts.widget;
    if (m_parts.isValid()) {
        if (LedBank *leds = m_parts.leds)
            m_connections << connect(leds, &LedBank::modeSet, this,
                                     [this](int index, int mode) { emit ledChanged(index + 1, mode); });
        if (Beeper *beeper = m_parts.beeper)
            m_connections << connect(beeper, &Beeper::changed, this, &PendantFollower::beeperChanged);
        if (const MiniDisplay *display = m_parts.display)
            m_connections << connect(display, &MiniDisplay::changed, this, &PendantFollower::displayChanged);
        if (PendantWindowBase *keyed = m_parts.keyed)
            m_connections << connect(&keyed->input(), &InputPath::keyReported, this,
                                     [this](const QString &key, int32_t, bool held, InputSource source) {
                                         emit keyReported(key, held, inputSourceName(source));
                                         noteKeys();
                                     });
        if (ConnectionState *state = m_parts.state)
            m_connections << connect(state, &ConnectionState::changed, this, &PendantFollower::noteState);
        if (PendantWindowBase *keyed = m_parts.keyed)
            m_connections << connect(keyed, &PendantWindowBase::linkHealthChanged, this,
                                     &PendantFollower::noteLinkStatus);
    }
    emit windowChanged();
    noteState();
    noteLinkStatus();
    noteKeys();
}

void PendantFollower::noteKeys()
{
    const QStringList now = heldKeys();
    const QStringList before = m_held;
    m_held = now;
    for (const QString &key : before) {
        if (!now.contains(key))
            emit keyChanged(key, false);
    }
    for (const QString &key : now) {
        if (!before.contains(key))
            emit keyChanged(key, true);
    }
}

void PendantFollower::noteState()
{
    const QString now = state();
    if (now == m_state)
        return;
    m_state = now;
    emit stateChanged(now);
}

void PendantFollower::noteLinkStatus()
{
    const LinkStatus now = linkStatus();
    if (now == m_link)
        return;
    const bool shownChanged = now.state != m_link.state || now.text != m_link.text;
    m_link = now;
    if (shownChanged)
        emit linkStatusChanged(now.state, now.text);
}

} // namespace tarvisk
