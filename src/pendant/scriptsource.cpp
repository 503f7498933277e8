#include "pendant/scriptsource.h"

#include "pendant/pendantbase.h"
#include "pendant/pendantparts.h"

#include <QTimer>

namespace tarvisk {

namespace {

const InputPath::Holder kPressHolder{InputSource::Script, 0};

QString upper(const QString &s)
{
    return s.toUpper();
}

// What a way out that ends scripted holds did to the window.
QString wayOutCause(WayOut way)
{
    switch (way) {
    case WayOut::Hide:
        return QStringLiteral("the window was hidden");
    case WayOut::Disable:
        return QStringLiteral("the window disabled its keys");
    case WayOut::Disconnect:
        return QStringLiteral("the pendant was disconnected");
    case WayOut::Close:
        return QStringLiteral("the window was closed");
    case WayOut::Unload:
        return QStringLiteral("the window was unloaded");
    case WayOut::Quit:
        return QStringLiteral("the program quit");
    case WayOut::Deactivation:
    case WayOut::LatchView:
        break;
    }
    return QStringLiteral("the window let go of its keys");
}

} // namespace

int controlOfKey(const InputPath &path, const QString &keyName)
{
    const QString name = upper(keyName);
    for (int i = 0; i < path.controlCount(); ++i) {
        const KeyControl &c = path.control(i);
        if (c.kind == ControlKind::LatchTwin)
            continue;
        if (upper(c.keyName) == name || (!c.otherKeyName.isEmpty() && upper(c.otherKeyName) == name))
            return i;
    }
    return -1;
}

QString refusalOf(const InputPath &path, const QString &keyName)
{
    const int index = controlOfKey(path, keyName);
    if (index < 0 || path.takes(index))
        return QString();
    auto *window = qobject_cast<PendantWindowBase *>(path.window());
    const QString state = window ? window->connectionState().name() : QString();
    const WindowTimer *firstTick = window ? window->firstConnectionTimer() : nullptr;
    // Before the first tick the window is still in DISCONNECT with its first-tick timer counting.
    if (state == QLatin1String("DISCONNECT") && firstTick && firstTick->isEnabled())
        return QStringLiteral("the keys take no input yet: the pendant waits for its first connection tick (state "
                              "%1); they take input once the state is CONNECT")
            .arg(state);
    if (!path.window()->isVisible())
        return QStringLiteral("the pendant window is hidden and takes no input; a hosted pendant takes it once its "
                              "client shows the window (command \"show\")");
    const QWidget *w = path.control(index).widget;
    if (w && !w->isEnabled()) {
        if (state == QLatin1String("DISCONNECT") || state == QLatin1String("TPLESS"))
            return QStringLiteral("the keys are disabled in the state %1; they take input in the state CONNECT")
                .arg(state);
        return QStringLiteral("%1 is disabled now (its latched twin holds it, or the window disabled it)").arg(keyName);
    }
    if (path.control(index).kind == ControlKind::ModeSwitchArea)
        return QStringLiteral("this pendant shows no mode switch (the connection asked for one without it)");
    return QStringLiteral("%1 is hidden now (the latch view shows the twins in place of the keys)").arg(keyName);
}

ScriptSource &ScriptSource::of(InputPath &path)
{
    // The sources carry no meta-object of their own; a C++ cast tells them apart.
    for (QObject *child : path.children()) {
        if (auto *s = dynamic_cast<ScriptSource *>(child))
            return *s;
    }
    auto *s = new ScriptSource(path);
    path.addSource(s);
    return *s;
}

ScriptSource::ScriptSource(InputPath &path)
    : Source(path)
{}

ScriptSource::~ScriptSource()
{
    // The path is going: its keys go with it, and nothing is let go through it any more.
    const QList<Timed *> timed = m_timed;
    m_timed.clear();
    for (Timed *t : timed) {
        if (t->done)
            t->done(interruption(*t, QStringLiteral("the window was unloaded")));
        delete t;
    }
}

QString ScriptSource::interruption(const Timed &t, const QString &cause)
{
    const QString what = t.dial  ? QStringLiteral("the dial stopped turning")
                         : t.jog ? QStringLiteral("the slider was let go")
                                 : QStringLiteral("the key was let go");
    return QStringLiteral("%1 after %2 of %3 ms; %4").arg(cause).arg(t.started.elapsed()).arg(t.milliseconds).arg(what);
}

ScriptSource::Timed *ScriptSource::startTimed(const QString &key, InputPath::Holder holder, int milliseconds, Done done)
{
    auto *t = new Timed;
    t->key = upper(key);
    t->holder = holder;
    t->timer = new QTimer(this);
    t->timer->setTimerType(Qt::PreciseTimer); // never before the time asked for
    t->done = std::move(done);
    t->milliseconds = milliseconds;
    t->started.start();
    m_timed << t;
    return t;
}

QString ScriptSource::windowName() const
{
    const auto *window = qobject_cast<PendantWindowBase *>(m_path.window());
    return QStringLiteral("the %1 pendant").arg(window ? pendantKindName(window->kind()) : QStringLiteral("standard"));
}

ScriptSource::Outcome ScriptSource::pressChecked(const QString &key, InputPath::Holder holder)
{
    const int index = controlOfKey(m_path, key);
    if (index < 0) {
        return {Fault::UnknownKey, QStringLiteral("%1 has no key \"%2\"; its keys are %3")
                                       .arg(windowName(), key, m_path.keyNames().join(QStringLiteral(", ")))};
    }
    const ControlKind kind = m_path.control(index).kind;
    if (kind == ControlKind::JogDial || kind == ControlKind::JogSlider)
        return {Fault::NotOffered, QStringLiteral("%1 is a jog key; Jog holds the jog control off centre").arg(key)};
    if (const QString why = refusalOf(m_path, key); !why.isEmpty())
        return {Fault::Refused, why};
    if (!m_path.press(key, holder))
        return {Fault::Refused, QStringLiteral("%1 could not be pressed: its report failed").arg(key)};
    return {};
}

ScriptSource::Outcome ScriptSource::press(const QString &key)
{
    const bool held = m_path.holdersOf(key).contains(kPressHolder);
    Outcome o = pressChecked(key, kPressHolder);
    if (o.ok() && !held && m_path.control(controlOfKey(m_path, key)).kind != ControlKind::ModeSwitchArea)
        m_held << qMakePair(upper(key), kPressHolder);
    return o;
}

ScriptSource::Outcome ScriptSource::release(const QString &key)
{
    const int index = controlOfKey(m_path, key);
    if (index < 0) {
        return {Fault::UnknownKey, QStringLiteral("%1 has no key \"%2\"; its keys are %3")
                                       .arg(windowName(), key, m_path.keyNames().join(QStringLiteral(", ")))};
    }
    if (!m_path.holdersOf(key).contains(kPressHolder)) {
        for (const Timed *t : std::as_const(m_timed)) {
            if (t->key == upper(key) && !t->jog)
                return {Fault::NotHeld,
                        QStringLiteral("%1 is held by a running Tap, which lets it go when its time is over; "
                                       "ReleaseAll ends it now")
                            .arg(key)};
        }
        const QStringList held = heldKeys();
        return {Fault::NotHeld,
                QStringLiteral("%1 is not held by a script (Press holds a key until Release); scripts "
                               "hold %2")
                    .arg(key, held.isEmpty() ? QStringLiteral("no key") : held.join(QStringLiteral(", ")))};
    }
    m_path.release(key, kPressHolder);
    m_held.removeAll(qMakePair(upper(key), kPressHolder));
    return {};
}

ScriptSource::Outcome ScriptSource::tap(const QString &key, int milliseconds, Done done)
{
    const InputPath::Holder holder{InputSource::Script, ++m_serial};
    Outcome o = pressChecked(key, holder);
    if (!o.ok())
        return o;
    if (m_path.control(controlOfKey(m_path, key)).kind == ControlKind::ModeSwitchArea) {
        if (done)
            done(QString());
        return o;
    }
    Timed *t = startTimed(key, holder, milliseconds, std::move(done));
    t->timer->setSingleShot(true);
    connect(t->timer, &QTimer::timeout, this, [this, t] { finish(t); });
    t->timer->start(milliseconds);
    return o;
}

QString ScriptSource::jogKey(int direction, int *control) const
{
    for (int i = 0; i < m_path.controlCount(); ++i) {
        const KeyControl &c = m_path.control(i);
        if (c.kind == ControlKind::JogDial || c.kind == ControlKind::JogSlider) {
            *control = i;
            return direction < 0 ? c.keyName : c.otherKeyName;
        }
    }
    *control = -1;
    return QString();
}

ScriptSource::Outcome ScriptSource::jog(int direction, int milliseconds, Done done)
{
    int index = -1;
    const QString key = jogKey(direction, &index);
    if (index < 0)
        return {Fault::NotOffered,
                QStringLiteral("%1 has no jog dial or slider; the standard and old pendants have").arg(windowName())};
    if (direction == 0) {
        const KeyControl &c = m_path.control(index);
        return {Fault::InvalidArgs, QStringLiteral("direction 0 turns nothing: give a number below 0 (towards %1) or "
                                                   "above 0 (towards %2)")
                                        .arg(c.keyName, c.otherKeyName)};
    }
    if (const QString why = refusalOf(m_path, key); !why.isEmpty())
        return {Fault::Refused, why};
    const InputPath::Holder holder{InputSource::Script, ++m_serial};
    if (!m_path.press(key, holder))
        return {Fault::Refused, QStringLiteral("the jog control could not be moved: its report failed")};
    Timed *t = startTimed(key, holder, milliseconds, std::move(done));
    t->jog = true;
    t->dial = m_path.control(index).kind == ControlKind::JogDial;
    if (t->dial) {
        // One step now, one every step period while the time lasts.
        t->stepsLeft = (milliseconds - 1) / kDialStepMs;
        t->timer->setInterval(kDialStepMs);
        connect(t->timer, &QTimer::timeout, this, [this, t] {
            if (t->stepsLeft-- <= 0)
                finish(t);
            else if (!m_path.press(t->key, t->holder))
                finish(t, interruption(*t, QStringLiteral("the dial refused its next step (%1)")
                                               .arg(refusalOf(m_path, t->key).isEmpty()
                                                        ? QStringLiteral("its report failed")
                                                        : refusalOf(m_path, t->key))));
        });
        if (t->stepsLeft > 0)
            t->timer->start();
        else
            finish(t);
    } else {
        t->timer->setSingleShot(true);
        connect(t->timer, &QTimer::timeout, this, [this, t] { finish(t); });
        t->timer->start(milliseconds);
    }
    return {};
}

ScriptSource::Outcome ScriptSource::setMode(const QString &mode)
{
    static const QStringList kModes = {QStringLiteral("AUTO"), QStringLiteral("MAN"), QStringLiteral("TEACH")};
    static const QStringList kSuffixes = {QStringLiteral("_AUTO"), QStringLiteral("_MAN"), QStringLiteral("_TC")};
    const qsizetype position = kModes.indexOf(upper(mode));
    if (position < 0)
        return {Fault::UnknownMode,
                QStringLiteral("the mode \"%1\" does not exist; the modes are AUTO, MAN and TEACH").arg(mode)};
    for (int i = 0; i < m_path.controlCount(); ++i) {
        const KeyControl &c = m_path.control(i);
        if (c.kind == ControlKind::ModeSwitchArea && upper(c.keyName).endsWith(kSuffixes[position]))
            return pressChecked(c.keyName, kPressHolder);
    }
    return {Fault::NotOffered, QStringLiteral("%1 has no mode switch").arg(windowName())};
}

void ScriptSource::finish(Timed *t, const QString &interruption)
{
    if (!m_timed.removeOne(t))
        return;
    t->timer->stop();
    if (!t->dial)
        m_path.release(t->key, t->holder);
    Done done = std::move(t->done);
    t->timer->deleteLater();
    delete t;
    if (done)
        done(interruption);
}

void ScriptSource::releaseAll()
{
    const QList<Timed *> timed = m_timed;
    for (Timed *t : timed)
        finish(t);
    const auto held = m_held;
    m_held.clear();
    for (const auto &[key, holder] : held)
        m_path.release(key, holder);
}

void ScriptSource::letGo(WayOut way)
{
    // The ways out that end what a hand holds leave scripted holds alone; the others end them.
    // The path lets go of the pressed keys itself; a timed call lets go of its own before it
    // answers, so its caller hears of the interruption after the release was reported.
    if (way == WayOut::Deactivation || way == WayOut::LatchView)
        return;
    m_held.clear();
    const QList<Timed *> timed = m_timed;
    for (Timed *t : timed)
        finish(t, interruption(*t, wayOutCause(way)));
}

QStringList ScriptSource::heldKeys() const
{
    QStringList keys;
    for (const auto &[key, holder] : m_held)
        keys << key;
    for (const Timed *t : m_timed)
        keys << t->key;
    keys.removeDuplicates();
    return keys;
}

} // namespace tarvisk
