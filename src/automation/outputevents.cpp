#include "automation/outputevents.h"

#include "automation/pendantfollower.h"
#include "pendant/displaybits.h"

namespace tarvisk {

using recording::Event;
using recording::Type;

void connectOutputEvents(PendantFollower &follower, QObject *context, std::function<void(const Event &)> sink)
{
    QObject::connect(&follower, &PendantFollower::ledChanged, context, [sink](int number, int mode) {
        Event e;
        e.type = Type::Led;
        e.number = number;
        e.mode = mode;
        sink(e);
    });
    QObject::connect(&follower, &PendantFollower::beeperChanged, context, [sink](bool sounding, int ms) {
        Event e;
        e.type = Type::Beeper;
        e.sounding = sounding;
        e.milliseconds = ms;
        sink(e);
    });
    QObject::connect(&follower, &PendantFollower::displayChanged, context, [sink, &follower] {
        const MiniDisplay *display = follower.parts().display;
        if (!display)
            return;
        Event e;
        e.type = Type::Display;
        e.digest = displayDigest(*display);
        e.bits = displayUnitBits(*display);
        sink(e);
    });
    QObject::connect(&follower, &PendantFollower::stateChanged, context, [sink](const QString &state) {
        Event e;
        e.type = Type::State;
        e.state = state;
        sink(e);
    });
}

} // namespace tarvisk
