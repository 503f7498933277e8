// Recorded inputs back into the window: one more source on its input path.
#include "automation/replayer.h"

namespace tarvisk {

std::function<bool(const recording::Event &, QString *)> makeReplayInputPlayer()
{
    return [](const recording::Event &, QString *why) {
        *why = QStringLiteral("recorded input waits for the window's input path");
        return false;
    };
}

} // namespace tarvisk
