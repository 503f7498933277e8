// The input half of the pendant interface: scripted presses go through the window's input path
// as the source "script", the way a click goes.
#include "automation/pendantobject.h"

#include "pendant/pendantbase.h"
#include "pendant/scriptsource.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace tarvisk {

namespace {

QString faultName(ScriptSource::Fault fault)
{
    switch (fault) {
    case ScriptSource::Fault::UnknownKey:
        return QStringLiteral("UnknownKey");
    case ScriptSource::Fault::UnknownMode:
        return QStringLiteral("UnknownMode");
    case ScriptSource::Fault::NotOffered:
        return QStringLiteral("NotOffered");
    case ScriptSource::Fault::InvalidArgs:
        return QStringLiteral("InvalidArgs");
    case ScriptSource::Fault::Refused:
    case ScriptSource::Fault::NotHeld:
    case ScriptSource::Fault::None:
        break;
    }
    return QStringLiteral("Refused");
}

} // namespace

ScriptSource *PendantObject::scriptSource()
{
    if (!requireKeys(QStringLiteral("keys")))
        return nullptr;
    return &ScriptSource::of(m_follower.parts().keyed->input());
}

bool PendantObject::outcome(const ScriptSource::Outcome &o)
{
    if (o.ok())
        return true;
    return refuse(faultName(o.fault), o.message);
}

bool PendantObject::checkTime(uint milliseconds)
{
    if (milliseconds <= kMaxHoldMs)
        return true;
    return refuse(QStringLiteral("InvalidArgs"),
                  QStringLiteral("%1 ms is too long: give 0 to %2 ms").arg(milliseconds).arg(kMaxHoldMs));
}

ScriptSource::Done PendantObject::delayedReply()
{
    if (!calledFromDBus())
        return {};
    setDelayedReply(true);
    QDBusConnection bus = connection();
    const QDBusMessage call = message();
    // Cut short, the call fails: its caller asked for the whole time and did not get it.
    return [bus, call](const QString &interruption) mutable {
        bus.send(interruption.isEmpty()
                     ? call.createReply()
                     : call.createErrorReply(kErrorPrefix + QStringLiteral("Interrupted"), interruption));
    };
}

void PendantObject::Press(const QString &key)
{
    if (ScriptSource *s = scriptSource())
        outcome(s->press(key));
}

void PendantObject::Release(const QString &key)
{
    if (ScriptSource *s = scriptSource())
        outcome(s->release(key));
}

void PendantObject::Tap(const QString &key, uint milliseconds)
{
    if (!checkTime(milliseconds))
        return;
    ScriptSource *s = scriptSource();
    if (!s)
        return;
    // A refusal answers at once with its error (which also keeps Qt from answering twice).
    outcome(s->tap(key, int(milliseconds), delayedReply()));
}

void PendantObject::ReleaseAll()
{
    if (ScriptSource *s = scriptSource())
        s->releaseAll();
}

void PendantObject::SetMode(const QString &mode)
{
    if (ScriptSource *s = scriptSource())
        outcome(s->setMode(mode));
}

void PendantObject::Jog(int direction, uint milliseconds)
{
    if (!checkTime(milliseconds))
        return;
    ScriptSource *s = scriptSource();
    if (!s)
        return;
    outcome(s->jog(direction, int(milliseconds), delayedReply()));
}

QStringList PendantObject::GetKeyNames()
{
    if (!requireKeys(QStringLiteral("keys")))
        return {};
    return m_follower.parts().keyed->input().keyNames();
}

} // namespace tarvisk
