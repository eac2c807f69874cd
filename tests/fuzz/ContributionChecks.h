#pragma once

#include "core/FileContribution.h"

/// Properties of every contribution a reader can give, whatever its input.
namespace ContributionChecks {

/// Counts and figures are finite and non-negative, the time range is whole and ordered, the hours and days agree
/// with it, every day with figures is an active day, and an edited file comes with edited lines.
void requireSound(const FileContribution& c);

/// As requireSound, and the per-model sums add up to the file's totals (a transcript books every response to its
/// model).
void requireSoundTranscript(const FileContribution& c);

} // namespace ContributionChecks
