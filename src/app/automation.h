#pragma once

class QApplication;

namespace tarvisk {

// Runs the process as the provider for a client: serves the provider objects until no
// client holds one and no window is open. Returns the exit code.
int runAutomation(QApplication &app);

} // namespace tarvisk
