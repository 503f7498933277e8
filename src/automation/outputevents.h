#pragma once
// The outputs of the window a follower follows (LED, beeper, display and state changes) as
// recording events, handed over as they happen: what a recording writes and a replay compares.

#include "automation/recording.h"

#include <functional>

class QObject;

namespace tarvisk {

class PendantFollower;

// Connects the follower's output signals to sink for as long as context lives.
void connectOutputEvents(PendantFollower &follower, QObject *context,
                         std::function<void(const recording::Event &)> sink);

} // namespace tarvisk
