#pragma once

#include "core/Stats.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

/// The score, its percentile and the badges: pure functions of the user's totals.
namespace Score {

/// Position of x on a ladder of ascending thresholds, in [0, 1]: each threshold reached is worth one step, and
/// the way to the next is covered on a logarithmic scale.
double band(double x, std::span<const double> thresholds);

/// The score from 0 to 99 over lines, output tokens, sessions, longest streak and active days.
int64_t crackedScore(double lines, double tokensOut, double sessions, double longestStreak, double activeDays);

/// The top-percent figure of a score: 99 for 0, falling to 1 for 99.
int64_t percentile(int64_t score);

/// The ten badges in their fixed order, each with its earned flag.
std::vector<Badge> badgesFor(double lines, int64_t longestStreak, std::span<const int64_t> byHour, double cost,
                             double tokensOut, int64_t modelCount, int64_t sessions);

} // namespace Score
