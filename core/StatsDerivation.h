#pragma once

#include "core/FoldSummary.h"
#include "core/Stats.h"

#include <cstdint>

namespace StatsEngine {

/// The statistics record of a fold at time now (epoch seconds), which fixes today and the seven-day window.
Stats deriveStats(const FoldSummary& fold, double now);

} // namespace StatsEngine
