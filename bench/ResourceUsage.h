#pragma once

#include <chrono>
#include <sys/resource.h>

/// Wall clock and CPU time of the whole process (all threads) at one moment.
struct UsageSample
{
    double wall = 0;
    double user = 0;
    double system = 0;

    static UsageSample now()
    {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const auto wall = std::chrono::steady_clock::now().time_since_epoch();
        return {std::chrono::duration<double>(wall).count(), seconds(usage.ru_utime), seconds(usage.ru_stime)};
    }

    static double seconds(const timeval& tv)
    {
        return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
    }
};

/// What a stretch of work cost between two samples.
struct UsageCost
{
    double wall = 0;
    double user = 0;
    double system = 0;

    static UsageCost between(const UsageSample& from, const UsageSample& to)
    {
        return {to.wall - from.wall, to.user - from.user, to.system - from.system};
    }

    double cpu() const { return user + system; }
};

/// The process's peak resident memory so far, in MB (10^6 bytes).
inline double peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024 / 1e6;
}
