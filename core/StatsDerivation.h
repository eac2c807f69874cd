#pragma once

#include "core/FoldSummary.h"
#include "core/Stats.h"

#include <cstdint>

namespace StatsEngine {

/// The statistics record of a fold at time now (epoch seconds), which fixes today and the seven-day window.
Stats deriveStats(const FoldSummary& fold, double now);

/// The amber state: nothing coded today while a streak is there to lose, and the user wants to be warned.
inline bool streakAtRisk(const Stats& stats, bool streakProtection)
{
    return streakProtection && !stats.codedToday && stats.streakCurrent > 0;
}

} // namespace StatsEngine
