#pragma once

#include "core/Stats.h"

#include <optional>

/// Milestones that start the overlay's celebration: every 100,000 lines, a new longest streak, a newly earned
/// badge. The marks live in the preferences, so a restart does not celebrate again, and a fresh installation does
/// not celebrate its history.
namespace Milestones {

/// Whether going from prev (absent on the first record after launch) to next passes a milestone. Records the new
/// line total and the highest longest streak either way.
bool detect(const std::optional<Stats>& prev, const Stats& next);

} // namespace Milestones
