// The tarvisk executable: wiring only. A user's start opens the standalone pendant; a start
// with --automation serves the provider objects to a client.
#include "app/automation.h"
#include "app/messageboxes.h"
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

using namespace tarvisk;

namespace {

// clang-format off
const char *const kUsage =
    "Usage: tarvisk [DEST_IP [DEST_PORT [SRC_IP [SRC_PORT [PENDANT_TYPE]]]]]\n"
    "       tarvisk --automation\n"
    "\n"
    "Emulates a robot controller's teach pendant.\n"
    "\n"
    "Standalone (the default): the pendant talks to a robot controller over UDP.\n"
    "  DEST_IP       the controller's address        (default 127.0.0.1)\n"
    "  DEST_PORT     the controller's UDP port       (default 5010)\n"
    "  SRC_IP        our own address, 255.255.255.255 for any (default)\n"
    "  SRC_PORT      our own UDP port                (default 5009)\n"
    "  PENDANT_TYPE  0 standard, 1 mini, -1 old, 2 pendant-less (default 0)\n"
    "  Without arguments the connection dialog asks, and remembers the choice in\n"
    "  $XDG_CONFIG_HOME/Tarvisk/Tarvisk.ini.\n"
    "\n"
    "  --automation  serve the provider objects on the D-Bus session bus under\n"
    "                ZephProv.Halvex.Tarvisk for a client program\n"
    "  --help        show this text\n";
// clang-format on

ConnectChoice runConnectDialog()
{
    frmConnect dialog;
    dialog.LoadIni();
    dialog.exec();
    ConnectChoice choice;
    choice.destIP = dialog.m_strDestIP;
    choice.destPort = dialog.m_iDestPort;
    choice.useSrcIP = dialog.m_bUseSrcIP;
    choice.srcIP = dialog.m_strSrcIP;
    choice.useSrcPort = dialog.m_bUseSrcPort;
    choice.srcPort = dialog.m_iSrcPort;
    choice.type = dialog.m_lType;
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

} // namespace

int main(int argc, char **argv)
{
    QStringList positional;
    bool automation = false;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == QLatin1String("--automation"))
            automation = true;
        else
            positional << a;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvisk"));
    MessageBoxDiagnostics diagnostics;
    registerPendantWindows();
    TerminationSignals termination;
    if (!termination.isInstalled())
        std::fprintf(stderr, "tarvisk: %s\n", termination.error().toLocal8Bit().constData());

    StartupEnvironment env;
    env.startedByUser = !automation;
    env.commandLine = joinCommandLine(positional);
    env.runConnectDialog = runConnectDialog;
    env.createLink = [] { return std::make_shared<UdpPendantLink>(); };
    if (!automation)
        QObject::connect(&termination, &TerminationSignals::terminationRequested, &app, &endStandalone);
    const bool started = Main(env);

    int status = 0;
    if (automation) {
        status = runAutomation(app, termination);
    } else if (termination.received() != 0) {
        endStandalone(); // asked to end while the connection dialog was up
    } else if (!anyWindowVisible()) {
        status = started ? 0 : 1; // a failed start has shown its warning
    } else {
        status = app.exec(); // a window loaded before a failure stays usable
    }
    releaseProcessObjects();
    return status;
}
