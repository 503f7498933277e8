#pragma once

#include "app/commandline.h"

#include <QString>
#include <QStringList>

#include <memory>

class QDBusConnection;

namespace tarvisk {

class PendantBus;
class Recorder;
class Replayer;

// The wiring of the pendant as a test fixture: its D-Bus interface in either setting, and the
// recording and replay of a session. Errors are written to standard error as they happen; the
// start-up functions answer false when the process must end with status 1.
class Scripting
{
public:
    Scripting();
    ~Scripting();

    // Standalone: the pendant on the session bus under ZephProv.Halvex.Tarvisk.Pendant.NAME (NAME
    // given, or "p" and the process id). Without a session bus the pendant runs all the same and
    // says so once; a bad or taken name ends the start.
    bool startStandalone(const ScriptingOptions &options);
    // Hosted: the pendant interface beside the provider's objects on its connection.
    bool startHosted(QDBusConnection &connection);

    // Reads the recording to replay, before anything starts. Its arguments stand in for
    // positional arguments when none were given.
    bool loadReplay(const ScriptingOptions &options, QStringList &positional);
    // Opens the recording (FILE alone goes to $XDG_STATE_HOME/Tarvisk/); the session's clock
    // starts here, as the replay's does.
    bool startRecording(const ScriptingOptions &options, const QString &setting, const QStringList &arguments);
    // Starts the replay's clock; its end quits the application with its status.
    void startReplay();

    // The end of the process: a replay that has not ended reports now; the recording closes.
    // Answers the replay's status (0 without a replay).
    int finish(int status);

private:
    std::unique_ptr<PendantBus> m_bus;
    std::unique_ptr<Recorder> m_recorder;
    std::unique_ptr<Replayer> m_replayer;
    int m_replayStatus = -1;
};

} // namespace tarvisk
