#pragma once

#include <QDBusConnection>
#include <QDBusMessage>

namespace tarvisk::testing {

// Sends a method call from `from` and waits for its answer while this thread's event loop keeps
// running, so that a service registered in this same process can answer it. Gives back the
// reply or the error; a call that stays unanswered ends as a time-out error after `timeoutMs`.
QDBusMessage callServed(QDBusConnection &from, const QDBusMessage &call, int timeoutMs = 15000);

} // namespace tarvisk::testing
