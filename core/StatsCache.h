#pragma once

#include "core/Stats.h"

#include <optional>
#include <string>
#include <string_view>

/// The JSON form of Stats and the stats cache file, "stats-cache.json" in the data directory.
namespace StatsCache {

std::string url();

/// Compact JSON of the record (optional fields left out when absent); absent when a number is not finite.
std::optional<std::string> encode(const Stats& stats);

/// All-or-nothing decode: the optional keys may be missing or null, every other must be present with its type;
/// unknown keys are ignored.
std::optional<Stats> decode(std::string_view json);

/// Writes the record atomically; false when nothing was written (the old file then stays whole).
bool save(const Stats& stats, const std::string& path);
inline bool save(const Stats& stats)
{
    return save(stats, url());
}

/// The record stored at path, or absent when it cannot be read or decoded, or is larger than 1 MB (not read then).
std::optional<Stats> load(const std::string& path);
inline std::optional<Stats> load()
{
    return load(url());
}

} // namespace StatsCache
