#pragma once

#include <optional>
#include <string>

/// Where a build reads logs and keeps its parse cache, and whether logs that were read once and are gone since keep
/// counting.
struct LogLocations
{
    std::string claudeRoot;
    std::string codexSessions;
    std::string codexArchive;
    std::string parseCachePath;
    /// A log file that a build has read keeps its last contribution after it is deleted (the agents clean up their
    /// old logs); off, the figures follow what is on disk.
    bool keepDeletedLogs = true;

    /// The user's default locations; dir, when given, replaces only the Claude Code projects directory.
    static LogLocations defaults(const std::optional<std::string>& dir = std::nullopt);

    bool operator==(const LogLocations&) const = default;
};
