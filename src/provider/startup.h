#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

namespace tarvisk {

class IPendantLink;

// What the connection dialog hands back to the start-up.
struct ConnectChoice
{
    QString destIP;
    int32_t destPort = 5010;
    bool useSrcIP = false;
    QString srcIP;
    bool useSrcPort = false;
    int32_t srcPort = 5009;
    int32_t type = 0;
    // The pendant's zoom in percent.
    int32_t zoomPercent = 100;
    bool cancel = true;
};

// The outside pieces the start-up needs, supplied by the application (and by tests).
struct StartupEnvironment
{
    // False when the process was started as an automation server.
    bool startedByUser = true;
    // The command line after the program name, as one text.
    QString commandLine;
    // Shows the connection dialog modal, after loading the stored settings.
    std::function<ConnectChoice()> runConnectDialog;
    // Creates the (unopened) pendant link.
    std::function<std::shared_ptr<IPendantLink>()> createLink;
    // The zoom in percent the command line asked for, 0 for none.
    int zoomPercent = 0;
    // The zoom stored by the connection dialog, read for a user's start that shows no dialog.
    std::function<int()> storedZoomPercent;
};

// The command line as one text, from separate arguments: arguments with blanks, tabs or
// nothing in them are quoted, so SplitCommandLine gives them back whole.
QString joinCommandLine(const QStringList &arguments);

// Splits a command line into at most five arguments (elements 1 to 5 of args, which is
// resized to six with element 0 unused) and returns how many were found.
int16_t SplitCommandLine(QStringList &args, const QString &commandLine);

// The option string the link is opened with.
QString linkOptions(const QString &destIP, const QString &destPort, const QString &srcIP, const QString &srcPort);

// Start-up of every run. Hosted: prepares the tables, sets the zoom of the command line and
// returns. Standalone: reads the controller address from the command line or the dialog, sets
// the zoom (the command line's, else the dialog's choice, else the stored one), opens the link
// and shows the pendant. A failure shows a warning box with its description and drops the link; the
// result is false then, so the process can end with a failure status.
bool Main(const StartupEnvironment &env);

// Closes the standalone link and releases it; every error is ignored.
void CloseStandaloneLink();

} // namespace tarvisk
