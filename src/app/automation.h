#pragma once

class QApplication;

namespace tarvisk {

class TerminationSignals;

// Runs the process as the provider for a client: serves the provider objects until no
// client holds one and no window is open, or until a termination signal ends the service.
// Returns the exit code.
int runAutomation(QApplication &app, TerminationSignals &termination);

} // namespace tarvisk
