#include "app/automation.h"

#include "app/scripting.h"
#include "app/termination.h"
#include "host/hostservice.h"

#include <QApplication>
#include <QDBusConnection>

#include <cstdio>

namespace tarvisk {

int runAutomation(QApplication &app, TerminationSignals &termination, Scripting &fixture,
                  const ScriptingOptions &options)
{
    // The windows come and go with the client's objects; the service says when it is done.
    QApplication::setQuitOnLastWindowClosed(false);
    QDBusConnection bus = QDBusConnection::sessionBus();
    HostService service(bus);
    if (!service.start()) {
        std::fprintf(stderr, "tarvisk: %s\n", service.lastError().toLocal8Bit().constData());
        return 2;
    }
    if (!fixture.startHosted(bus) || !fixture.startRecording(options, QStringLiteral("hosted"), {}))
        return 1;
    QObject::connect(&service, &HostService::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &service, &HostService::shutDown);
    // A signal that came before the loop ran is read once it runs.
    return app.exec();
}

} // namespace tarvisk
