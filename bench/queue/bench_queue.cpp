// One million CreateMessage + GetMessage pairs through the host queue, then one million
// queued first and drained afterwards (the queue must stay linear when it grows).
#include "provider/provcontroller.h"

#include <QElapsedTimer>

#include <cstdio>

using namespace tarvisk;

namespace {

double run(bool interleaved, int count)
{
    ProvController controller;
    const Variant value = Variant::array({Variant(14), Variant(true)});
    QElapsedTimer timer;
    timer.start();
    std::shared_ptr<ProvMessage> out;
    if (interleaved) {
        for (int i = 0; i < count; ++i) {
            int32_t n = 1 + i % 3;
            controller.CreateMessage(n, value);
            controller.GetMessage(out);
        }
    } else {
        for (int i = 0; i < count; ++i) {
            int32_t n = 1 + i % 3;
            controller.CreateMessage(n, value);
        }
        for (int i = 0; i < count; ++i)
            controller.GetMessage(out);
    }
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000000;
    for (bool interleaved : {true, false}) {
        const double small = run(interleaved, count / 10);
        const double full = run(interleaved, count);
        std::printf("queue %-12s %d messages: %.3f s, %.0f messages/s (x10 size took x%.1f time)\n",
                    interleaved ? "interleaved" : "fill+drain", count, full, count / full, full / small);
    }
    return 0;
}
