#pragma once

#include "core/FileStamp.h"
#include "core/LogLocations.h"
#include "core/StoredLog.h"
#include "core/TreeWatch.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

/// One listed log file: its reader and its stamp, absent when its attributes could not be read.
struct ListedLog
{
    StatsEngine::LogKind kind = StatsEngine::LogKind::Claude;
    std::optional<FileStamp> stamp;

    bool operator==(const ListedLog&) const = default;
};

/// Every log file under the Claude Code root and the two Codex roots (live and archived rollouts), by full path in
/// byte order. Kept current between
/// builds: with watching on, from the file events of the trees, falling back to listing both trees again when
/// events are lost and now and then anyway (a linked log changes without an event); with it off, by listing
/// both trees every time.
class LogListing
{
public:
    /// What the last refresh changed: every path, or the paths whose entry was added, removed or re-stamped.
    struct Delta
    {
        bool everything = false;
        std::vector<std::string> paths;
    };

    /// Brings the listing up to date with the roots of where. now is a steady clock in seconds, for the periodic
    /// full listing.
    Delta refresh(const LogLocations& where, bool watch, double now);

    /// The reader of the log file at path when it lies under a root of the last refresh and is named like a log of
    /// it, whether or not the file is there.
    std::optional<StatsEngine::LogKind> kindOf(const std::string& path) const;
    /// True for a path under the Codex archive root.
    bool archived(const std::string& path) const;

    /// Has path stamped anew at the next refresh, event or not (a file that could not be read).
    void recheck(const std::string& path) { m_recheck.push_back(path); }

    /// The listing by path; after a full listing this puts it in order first.
    const std::map<std::string, ListedLog>& files() const;
    size_t size() const { return m_unordered.empty() ? m_files.size() : m_unordered.size(); }

    /// Calls visit(path, listed) for every listed file, in no particular order; cheaper than files() right after a
    /// full listing, which is all a build over an unchanged tree needs.
    template <typename Visit> void forEach(Visit&& visit) const
    {
        if (m_unordered.empty()) {
            for (const auto& [path, listed] : m_files)
                visit(path, listed);
        } else {
            for (const auto& [path, listed] : m_unordered)
                visit(path, listed);
        }
    }

    /// Seconds between full listings while watching.
    static constexpr double kFullListingEvery = 300;

private:
    Delta listEverything(bool watch, double now);
    void restamp(const std::string& path, Delta& delta);
    void relistFolder(const std::string& folder, Delta& delta);
    bool rootsNest() const;

    std::string m_claudeRoot;
    std::string m_codexSessions;
    std::string m_codexArchive;
    // A full listing stays a plain list until something needs it in order.
    mutable std::vector<std::pair<std::string, ListedLog>> m_unordered;
    mutable std::map<std::string, ListedLog> m_files;
    std::unique_ptr<TreeWatch> m_watch;
    std::vector<std::string> m_recheck;
    double m_lastFullListing = 0;
    bool m_listed = false;
};
