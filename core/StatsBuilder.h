#pragma once

#include "core/ParseCache.h"
#include "core/Stats.h"

#include <optional>
#include <string>
#include <string_view>

/// Where a build reads logs and keeps its parse cache.
struct LogLocations
{
    std::string claudeRoot;
    std::string codexRoot;
    std::string parseCachePath;

    /// The user's default locations; dir, when given, replaces only the Claude Code projects directory.
    static LogLocations defaults(const std::optional<std::string>& dir = std::nullopt);
};

/// Builds Stats from everything on disk. One builder runs one build at a time; between builds it keeps the
/// decoded parse cache for as long as the cache file on disk is the very file it last read or wrote, so an
/// unchanged tree costs no decoding, while an edited or replaced cache file is read again.
class StatsBuilder
{
public:
    /// A full rebuild at the given time (epoch seconds); never fails.
    Stats build(const LogLocations& where, double now);

private:
    struct CacheFileId
    {
        uint64_t device = 0;
        uint64_t inode = 0;
        int64_t size = 0;
        int64_t mtimeNs = 0;
        bool operator==(const CacheFileId&) const = default;
    };

    static std::optional<CacheFileId> identify(const std::string& path);
    ParseCache& loadCache(const std::string& path);

    ParseCache m_cache;
    std::string m_cachePath;
    std::optional<CacheFileId> m_cacheFile;
};

namespace StatsEngine {

/// One build from the default locations (dir replaces the Claude Code projects directory) at the current time.
Stats buildStats(const std::optional<std::string>& dir = std::nullopt);

/// The day count of a YYYY-MM-DD key read as a UTC date (1970-01-01 is 0; out-of-range months and days roll
/// over); 0 for a malformed key.
int64_t dayNumber(std::string_view key);

/// The current time in epoch seconds.
double now();

} // namespace StatsEngine
