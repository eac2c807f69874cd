#pragma once

#include "core/FoldSummary.h"
#include "core/Stats.h"

#include <cstdint>

namespace StatsEngine {

/// The statistics record of a fold at time now (epoch seconds), which fixes today and the seven-day window;
/// logFiles is the number of log files listed.
Stats deriveStats(const FoldSummary& fold, int64_t logFiles, double now);

} // namespace StatsEngine
