// The tarvisk executable: wiring only. A user's start opens the standalone pendant; a start
// with --automation serves the provider objects to a client.
#include "app/appicon.h"
#include "app/automation.h"
#include "app/launch.h"
#include "app/messageboxes.h"
#include "app/platformchoice.h"
#include "app/scripting.h"
#include "app/termination.h"
#include "link/udplink.h"
#include "pendant/pendants.h"
#include "provider/pendantwindow.h"
#include "provider/provstate.h"
#include "provider/startup.h"
#include "settings/frmconnect.h"

#include <QApplication>
#include <QWidget>

#include <cstdio>
#include <optional>

using namespace tarvisk;

namespace {

// The command line's --zoom (percent, 0 for none) stands in the dialog in the stored one's place.
ConnectChoice runConnectDialog(int zoomPercent)
{
    frmConnect dialog;
    dialog.LoadIni();
    if (zoomPercent > 0)
        dialog.setZoomPercent(zoomPercent);
    dialog.exec();
    ConnectChoice choice;
    choice.destIP = dialog.m_strDestIP;
    choice.destPort = dialog.m_iDestPort;
    choice.useSrcIP = dialog.m_bUseSrcIP;
    choice.srcIP = dialog.m_strSrcIP;
    choice.useSrcPort = dialog.m_bUseSrcPort;
    choice.srcPort = dialog.m_iSrcPort;
    choice.type = dialog.m_lType;
    choice.zoomPercent = dialog.m_lZoom;
    choice.cancel = dialog.m_bCancel;
    return choice;
}

// The windows and the link end while the application object still exists: widgets must go
// before it, and the link's last datagrams (the released state, the close) must not wait for
// the process's static destructors, which run after it.
void releaseProcessObjects()
{
    releaseAllPendantWindows();
    CloseStandaloneLink();
}

bool anyWindowVisible()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible())
            return true;
    }
    return false;
}

// A termination signal in a standalone run ends it as the user closing every window does: held
// keys let go and sent, the link closed (by its window, or at the end of main), status 0.
void endStandalone()
{
    for (PendantKind kind : {PendantKind::Standard, PendantKind::Mini, PendantKind::Old, PendantKind::TPLess}) {
        if (IPendantWindow *window = existingPendantWindow(kind))
            window->widget()->close();
    }
    // Every loop ends, a message box's or the connection dialog's included.
    QCoreApplication::exit(0);
}

// The five arguments a connection dialog's choice stands for.
QStringList choiceArguments(const ConnectChoice &c)
{
    return {c.destIP, QString::number(c.destPort), c.useSrcIP ? c.srcIP : QStringLiteral("255.255.255.255"),
            c.useSrcPort ? QString::number(c.srcPort) : QStringLiteral("5009"), QString::number(c.type)};
}

} // namespace

int main(int argc, char **argv)
{
    QtArguments qt;
    int exitStatus = 0;
    const std::optional<CommandLine> cl = prepareLaunch(argc, argv, qt, exitStatus);
    if (!cl)
        return exitStatus;

    std::optional<QApplication> application;
    {
        PlatformFailureGuard guard;
        application.emplace(qt.argc, qt.argv.data());
    }
    QApplication &app = *application;
    QApplication::setApplicationName(QStringLiteral("Tarvisk"));
    QApplication::setApplicationVersion(QStringLiteral(TARVISK_VERSION));
    QApplication::setWindowIcon(applicationIcon());
    MessageBoxDiagnostics diagnostics;
    registerPendantWindows();
    TerminationSignals termination;
    if (!termination.isInstalled())
        std::fprintf(stderr, "tarvisk: %s\n", termination.error().toLocal8Bit().constData());

    Scripting fixture;
    const ScriptingOptions &scripting = cl->scripting;
    StartupEnvironment env;
    env.startedByUser = !cl->automation;
    env.commandLine = joinCommandLine(cl->positional);
    env.zoomPercent = cl->zoomPercent;
    env.storedZoomPercent = [] { return frmConnect::storedZoomPercent(); };
    env.createLink = [] { return std::make_shared<UdpPendantLink>(); };
    if (cl->automation) {
        // The start-up of a hosted run prepares the key tables and the keep-alive period only.
        Main(env);
        const int status = runAutomation(app, termination, fixture, scripting);
        releaseProcessObjects();
        return fixture.finish(status);
    }

    QStringList positional = cl->positional;
    if (!fixture.startStandalone(scripting) || !fixture.loadReplay(scripting, positional))
        return 1;
    env.commandLine = joinCommandLine(positional);
    // The session's clock starts where the link is about to open: after the connection dialog,
    // whose time a replay does not spend.
    if (!positional.isEmpty() && !fixture.startRecording(scripting, QStringLiteral("standalone"), positional))
        return 1;
    bool recordingFailed = false;
    env.runConnectDialog = [&] {
        ConnectChoice choice = runConnectDialog(cl->zoomPercent);
        if (!choice.cancel &&
            !fixture.startRecording(scripting, QStringLiteral("standalone"), choiceArguments(choice))) {
            recordingFailed = true;
            choice.cancel = true;
        }
        return choice;
    };
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &app, &endStandalone);
    fixture.startReplay();
    const bool started = Main(env);

    int status = 0;
    if (recordingFailed) {
        status = 1;
    } else if (termination.received() != 0) {
        endStandalone(); // asked to end while the connection dialog was up
    } else if (!anyWindowVisible()) {
        status = started ? 0 : 1; // a failed start has shown its warning
    } else {
        status = app.exec(); // a window loaded before a failure stays usable
    }
    status = fixture.finish(status);
    releaseProcessObjects();
    return status;
}
