#pragma once
// What the benchmarks share: a monotonic clock in nanoseconds, and the median and 99th
// percentile of a set of samples.

#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace tarvisk::bench {

inline qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

struct Figures
{
    double median = 0;
    double p99 = 0;
};

// Median and 99th percentile; a benchmark that gathered no samples has nothing to say and ends.
inline Figures summarise(std::vector<double> samples)
{
    if (samples.empty()) {
        std::fputs("benchmark: no samples\n", stderr);
        std::exit(1);
    }
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples[std::min(samples.size() - 1, size_t(samples.size() * 0.99))]};
}

} // namespace tarvisk::bench
