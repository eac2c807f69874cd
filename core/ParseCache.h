#pragma once

#include "core/FileContribution.h"
#include "core/FileStamp.h"
#include "core/ParseScratch.h"
#include "core/TimeKit.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

/// One cached log file: its stamp when parsed and what parsing it produced.
struct CacheEntry
{
    double mtime = 0;
    int64_t size = 0;
    FileContribution contribution;

    bool operator==(const CacheEntry&) const = default;
};

/// Parse results per log file path, kept in "parse-cache.json" between builds.
struct ParseCache
{
    static constexpr int64_t kVersion = 1;

    int64_t version = kVersion;
    /// The local zone the day keys of the entries were made in; a cache from another zone is not used.
    std::string zone = TimeKit::zoneId();
    std::unordered_map<std::string, CacheEntry> entries;

    /// The cache file in the data directory.
    static std::string url();

    /// JSON text of the whole cache; absent when a value cannot be written (a number that is not finite).
    static std::optional<std::string> encode(const ParseCache& cache);

    /// All-or-nothing decode; absent on any missing key or wrong type ("zone" may be missing). The version and
    /// zone are not checked here.
    static std::optional<ParseCache> decode(std::string_view json);

    /// The cache stored at path, or an empty one when it is missing, unreadable, undecodable, of another
    /// version or made in another time zone. The result always carries the current version and zone.
    static ParseCache load(const std::string& path);
    static ParseCache load() { return load(url()); }

    /// Writes the cache atomically (temporary file in the same folder, then rename); false when nothing was
    /// written, in which case the old file is untouched.
    static bool save(const ParseCache& cache, const std::string& path);
    static bool save(const ParseCache& cache) { return save(cache, url()); }

    /// The stored contribution of path when it was parsed at exactly this stamp, else null.
    const FileContribution* find(const std::string& path, const FileStamp& stamp) const;

    /// Stores the contribution of path parsed at stamp, replacing any older entry.
    const FileContribution& store(const std::string& path, const FileStamp& stamp, FileContribution contribution);

    /// Removes the entries whose path is not in seen; returns how many were removed.
    size_t prune(const std::unordered_set<std::string>& seen);
};

namespace StatsEngine {

/// Which reader a log file needs.
enum class LogKind { Claude, Codex };

/// A fresh parse of one log file with the reader of its kind.
FileContribution parseLog(const std::string& path, LogKind kind, ParseScratch& scratch);

/// The contribution of one log file: the cached one when its modification time and size are unchanged,
/// otherwise a fresh parse, stored in the cache (setting dirty) when the file's stamp could be read.
FileContribution loadOrParse(const std::string& path, LogKind kind, ParseCache& cache, bool& dirty,
                             ParseScratch& scratch);

} // namespace StatsEngine
