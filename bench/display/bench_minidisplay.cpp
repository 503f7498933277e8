// Time of one DrawDisplay call for a full screen: a clearing box, seven lines of fifteen
// full-width characters (one inverted, one framed, kana and kanji among them), boxes and lines.
// Prints the median and the 99th percentile against the 16.7 ms of a 60 Hz frame, as wall time
// and as the thread's CPU time (which leaves out the waits of a busy, shared machine).
//
// tarvisk_display_bench [iterations]

#include "common/variant.h"
#include "pendant/minidisplay.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

using tarvisk::MiniDisplay;
using tarvisk::Variant;

namespace {

Variant cmd(int32_t code, const Variant &param)
{
    return Variant::array({Variant(code), param});
}
Variant rect(int32_t code, float x1, float y1, float x2, float y2)
{
    return cmd(code, Variant::array({Variant(x1), Variant(y1), Variant(x2), Variant(y2)}));
}
Variant text(const QString &s, int32_t x, int32_t y, int32_t frame, int32_t attr)
{
    return cmd(0x20, Variant::array({Variant(s), Variant(x), Variant(y), Variant(frame), Variant(attr)}));
}

Variant fullScreen()
{
    const QString lines[7] = {QStringLiteral("MAIN MENU    01"),
                              QStringLiteral("1 PROGRAM  EDIT"),
                              QStringLiteral("2 TEACH    MODE"),
                              QStringLiteral("3 ﾃｨｰﾁﾝｸﾞ ﾓｰﾄﾞ "),
                              QStringLiteral("手動運転　速度１０％　　　"),
                              QStringLiteral("5 I/O MONITOR "),
                              QString(QChar(0x1B)) + QChar(0x16) + QStringLiteral("BACK  NEXT  OK")};
    QList<Variant> items = {cmd(0x11, Variant(15)), cmd(0x10, Variant(15)), rect(0x31, 0, 0, 126, 62),
                            cmd(0x10, Variant(0))};
    for (int i = 0; i < 7; ++i)
        items << text(lines[i], 3, 1 + 8 * i, i == 5 ? 4 : 0, i == 0 || i == 2 ? 1 : 0);
    items << cmd(0x11, Variant(255)) << rect(0x31, 1, 0, 125, 61) << rect(0x31, 122, 9, 125, 48)
          << cmd(0x11, Variant(0)) << rect(0x31, 123, 12, 124, 20) << rect(0x30, 0, 8.5f, 125, 8.5f)
          << rect(0x30, 0, 57, 125, 57) << rect(0x30, 0, 61, 125, 40);
    return Variant(items);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int iterations = argc > 1 ? std::max(10, atoi(argv[1])) : 3000;
    const Variant screen = fullScreen();
    MiniDisplay display;
    display.DrawDisplay(screen); // loads and indexes the font, decodes the glyphs

    std::vector<double> wall, cpu;
    wall.reserve(size_t(iterations));
    cpu.reserve(size_t(iterations));
    for (int i = 0; i < iterations; ++i) {
        timespec c0, c1;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c0);
        const auto t0 = std::chrono::steady_clock::now();
        display.DrawDisplay(screen);
        const auto t1 = std::chrono::steady_clock::now();
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c1);
        wall.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        cpu.push_back((c1.tv_sec - c0.tv_sec) * 1e6 + (c1.tv_nsec - c0.tv_nsec) / 1e3);
    }
    const double frame = 1e6 / 60.0;
    std::printf("full-screen DrawDisplay, %d calls, against a %.0f us 60 Hz frame:\n", iterations, frame);
    for (auto *series : {&wall, &cpu}) {
        std::vector<double> &us = *series;
        std::sort(us.begin(), us.end());
        const double median = us[us.size() / 2];
        const double p99 = us[std::min(us.size() - 1, us.size() * 99 / 100)];
        std::printf("  %-4s median %8.1f us (%.2f%%)  p99 %8.1f us (%.2f%%)  max %8.1f us\n",
                    series == &wall ? "wall" : "cpu", median, 100.0 * median / frame, p99, 100.0 * p99 / frame,
                    us.back());
    }
    return 0;
}
