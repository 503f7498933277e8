#include "pendant/replaysource.h"

#include "pendant/frmoldtp.h"
#include "pendant/scriptsource.h"

#include <QTimer>

namespace tarvisk {

ReplaySource &ReplaySource::of(InputPath &path)
{
    // The sources carry no meta-object of their own; a C++ cast tells them apart.
    for (QObject *child : path.children()) {
        if (auto *s = dynamic_cast<ReplaySource *>(child))
            return *s;
    }
    auto *s = new ReplaySource(path);
    path.addSource(s);
    return *s;
}

ReplaySource::ReplaySource(InputPath &path)
    : Source(path)
{}

InputPath::Holder ReplaySource::holderOf(const QString &upperKey) const
{
    return {InputSource::Replay, quint64(qHash(upperKey))};
}

int ReplaySource::leadMs(const QString &key, bool held) const
{
    const int index = controlOfKey(m_path, key);
    if (!held || index < 0 || m_path.control(index).kind != ControlKind::JogSlider)
        return 0;
    // A repeat's press follows its release; only the first press of a hold comes late.
    if (m_held.contains(key.toUpper()))
        return 0;
    return frmOldTP::kJogIntervalMs;
}

bool ReplaySource::play(const QString &key, bool held, const QString &source, QString *why)
{
    const QString name = key.toUpper();
    const int index = controlOfKey(m_path, key);
    if (index < 0) {
        *why = QStringLiteral("this pendant has no key %1; its keys are %2")
                   .arg(key, m_path.keyNames().join(QStringLiteral(", ")));
        return !held;
    }
    const ControlKind kind = m_path.control(index).kind;
    if (!held) {
        if (kind == ControlKind::JogSlider && m_held.contains(name)) {
            // Released and pressed again in one tick while the slider is held: a repeat, unless no
            // press follows.
            QTimer *&timer = m_pendingRelease[name];
            if (!timer) {
                timer = new QTimer(this);
                timer->setSingleShot(true);
                connect(timer, &QTimer::timeout, this, [this, name] { releaseNow(name); });
            }
            timer->start(kRepeatWindowMs);
            return true;
        }
        if (m_held.contains(name))
            releaseNow(name);
        return true;
    }
    if (source == QLatin1String("program"))
        return true; // the window's own doing; it does it again
    if (QTimer *pending = m_pendingRelease.value(name); pending && pending->isActive()) {
        pending->stop(); // the repeat's press: the slider stays held
        return true;
    }
    if (m_held.contains(name))
        return true;
    if (const QString refusal = refusalOf(m_path, key); !refusal.isEmpty()) {
        *why = refusal;
        return false;
    }
    if (!m_path.press(key, holderOf(name))) {
        *why = QStringLiteral("the press of %1 could not be reported").arg(key);
        return false;
    }
    if (kind == ControlKind::PushKey || kind == ControlKind::EnablingSwitch || kind == ControlKind::JogSlider)
        m_held.insert(name);
    return true;
}

void ReplaySource::releaseNow(const QString &upperKey)
{
    if (!m_held.remove(upperKey))
        return;
    m_path.release(upperKey, holderOf(upperKey));
}

void ReplaySource::letGo(WayOut way)
{
    if (way == WayOut::Deactivation || way == WayOut::LatchView)
        return;
    m_held.clear();
    for (QTimer *t : std::as_const(m_pendingRelease))
        t->stop();
}

} // namespace tarvisk
