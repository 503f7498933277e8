#pragma once

class QApplication;

namespace tarvisk {

class Scripting;
class TerminationSignals;
struct ScriptingOptions;

// Runs the process as the provider for a client: serves the provider objects, and the loaded
// pendant through the scripting interface, until no client holds an object and no window is open,
// or until a termination signal ends the service. Returns the exit code.
int runAutomation(QApplication &app, TerminationSignals &termination, Scripting &fixture,
                  const ScriptingOptions &options);

} // namespace tarvisk
