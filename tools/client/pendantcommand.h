#pragma once

#include <QStringList>

class QDBusConnection;

// "tarvisk-client pendant ..." and "tarvisk-client pendants": the pendant interface from a shell.
// Each answers the exit status: 0 done, 1 the pendant refused (its message on stderr), 2 no
// pendant could be reached or the command line is wrong.
int runPendantCommand(QDBusConnection &bus, const QStringList &arguments);
int runPendantsCommand(QDBusConnection &bus, const QStringList &arguments);

// Set by the program's signal handler; watch ends when it becomes readable.
void setPendantStopSignal(int fd);
