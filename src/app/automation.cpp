#include "app/automation.h"

#include "app/termination.h"
#include "host/hostservice.h"

#include <QApplication>

#include <cstdio>

namespace tarvisk {

int runAutomation(QApplication &app, TerminationSignals &termination)
{
    // The windows come and go with the client's objects; the service says when it is done.
    QApplication::setQuitOnLastWindowClosed(false);
    HostService service;
    if (!service.start()) {
        std::fprintf(stderr, "tarvisk: %s\n", service.lastError().toLocal8Bit().constData());
        return 2;
    }
    QObject::connect(&service, &HostService::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &service, &HostService::shutDown);
    // A signal that came before the loop ran is read once it runs.
    return app.exec();
}

} // namespace tarvisk
