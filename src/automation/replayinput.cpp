// Recorded inputs back into the window: one more source on its input path.
#include "automation/replayer.h"

#include "pendant/pendantbase.h"
#include "pendant/pendantparts.h"
#include "pendant/replaysource.h"

namespace tarvisk {

namespace {

ReplaySource *replaySource()
{
    auto *window = dynamic_cast<PendantWindowBase *>(loadedPendantWindow());
    return window ? &ReplaySource::of(window->input()) : nullptr;
}

} // namespace

InputPlayer makeReplayInputPlayer()
{
    InputPlayer player;
    player.play = [](const recording::Event &input, QString *why) {
        ReplaySource *source = replaySource();
        if (!source) {
            // What the window did by itself, and releases, need no window; a press does.
            if (input.type == recording::Type::Release || input.source == QLatin1String("program"))
                return true;
            *why = QStringLiteral("no pendant window with keys is loaded");
            return false;
        }
        return source->play(input.key, input.type == recording::Type::Press, input.source, why);
    };
    player.lead = [](const recording::Event &input) {
        ReplaySource *source = replaySource();
        return source ? source->leadMs(input.key, input.type == recording::Type::Press) : 0;
    };
    return player;
}

} // namespace tarvisk
