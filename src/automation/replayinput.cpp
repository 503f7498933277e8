// Recorded inputs back into the window: one more source on its input path.
#include "automation/replayer.h"

namespace tarvisk {

InputPlayer makeReplayInputPlayer()
{
    InputPlayer player;
    player.play = [](const recording::Event &, QString *why) {
        *why = QStringLiteral("recorded input waits for the window's input path");
        return false;
    };
    return player;
}

} // namespace tarvisk
