#include "support/busclient.h"

#include <QCoreApplication>
#include <QDBusPendingCall>
#include <QDeadlineTimer>

namespace tarvisk::testing {

QDBusMessage callServed(QDBusConnection &from, const QDBusMessage &call, int timeoutMs)
{
    QDBusPendingCall pending = from.asyncCall(call, timeoutMs);
    const QDeadlineTimer deadline(timeoutMs + 5000);
    while (!pending.isFinished() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    pending.waitForFinished();
    return pending.reply();
}

} // namespace tarvisk::testing
