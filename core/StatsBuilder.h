#pragma once

#include "core/FoldSummary.h"
#include "core/LogFigures.h"
#include "core/LogListing.h"
#include "core/LogLocations.h"
#include "core/ParallelParse.h"
#include "core/ParseCache.h"
#include "core/Stats.h"
#include "core/StatsLedger.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

/// What the last build found besides the figures.
struct BuildReport
{
    /// Log files that could not be read (or vanished before they were, or did not decompress): they count as empty in
    /// this build, or with what they held when last read while deleted logs are kept, and are kept out of the cache.
    /// Unreadable ones are read again by the next build, undecodable ones when they change.
    std::vector<std::string> unreadable;
    /// Log files read by this build (the rest came from the cache).
    size_t parsed = 0;
    /// Records read from the cache by this build.
    size_t recordsRead = 0;
};

/// Builds Stats from everything on disk, and from the logs that were read once and are gone since (kept in the
/// cache while where.keepDeletedLogs holds). One builder runs one build at a time and keeps, between builds, the
/// listing, the fold of every file and the unsaved changes to the cache, so that a build costs about what changed
/// since the last one: nothing changed costs a look at the file events (or a listing), one file changed costs
/// reading that file. A new builder over an unchanged tree takes the fold from the cache's snapshot and reads no
/// records at all.
class StatsBuilder
{
public:
    struct Options
    {
        /// Keep the listing current from file events between builds (the running application).
        bool watch = false;
        /// Seconds between saves of the cache; 0 saves at the end of every build that changed anything.
        double saveInterval = 0;
        /// Seconds without a change after which the fold of every file is saved and let go, to be read back from
        /// the cache at the next change; 0 keeps it. A companion that idles for hours then holds only the totals.
        double releaseAfter = 0;
    };

    StatsBuilder();
    explicit StatsBuilder(Options options);
    ~StatsBuilder();
    StatsBuilder(const StatsBuilder&) = delete;
    StatsBuilder& operator=(const StatsBuilder&) = delete;

    /// A build at the given time (epoch seconds); never fails.
    Stats build(const LogLocations& where, double now);

    /// Saves what earlier builds left unsaved, with the snapshot of the last fold (the application calls it
    /// before it quits).
    void flush();
    /// Closes the cache, which folds its journal back into the file; the next build opens it again.
    void closeCache() { m_cache.reset(); }

    const BuildReport& lastReport() const { return m_report; }
    /// The fold the last build derived its figures from; null before the first build.
    const FoldSummary* fold() const { return m_fold ? &*m_fold : nullptr; }

    /// Calls visit(figures) for every log file that counts in the last build. With the fold of every file held, in
    /// path order; else the records stream from the cache one at a time (copies of a rollout last), so that a tree
    /// of hundreds of thousands of logs is visited in little memory.
    void visitLogs(const std::function<void(const LogFigures&)>& visit);

private:
    void reset();
    void openCache(bool fresh);
    void replaceDamagedCache();
    bool foldFromSnapshot();
    bool foldFromState();
    bool changeState(LedgerState& state, const std::set<std::string>& changed);
    Fingerprint setting() const;
    void leaveState();
    bool counts(const std::string& path, const LogNote& note, const std::map<std::string, ListedLog>& files) const;
    void streamLogs(const std::function<void(const LogFigures&)>& visit);
    void loadLedger();
    void update(const LogListing::Delta& delta);
    void loadRecord(std::string path, StoredLog stored, const std::map<std::string, ListedLog>& files);
    bool needsReading(const std::string& path, const ListedLog& listed) const;
    StatsLedger::Rivalry rivalryOf(const std::string& path, const LogNote& note) const;
    void put(const std::string& path, ParsedLog log, const LogNote& note);
    void keepOrForget(const std::string& path);
    void forget(const std::string& path);
    void refold();
    void take(ParseJob& job);
    bool clean() const;
    void save(bool withSnapshot);
    void releaseLedger();

    Options m_options;
    LogLocations m_where;
    std::string m_zone;
    LogListing m_listing;
    std::unique_ptr<ParseCache> m_cache;
    StatsLedger m_ledger;
    bool m_ledgerLoaded = false;
    /// The note of every file in the ledger that was read whole in this zone (kept ones included): its stamp then.
    std::unordered_map<std::string, LogNote> m_known;
    std::set<std::string> m_unsaved;
    std::set<std::string> m_unsavedRemovals;
    /// Files to read again at the next build whatever their stamp says.
    std::set<std::string> m_retry;
    /// Compressed files that did not decompress, with their stamp then: read again when it changes.
    std::unordered_map<std::string, FileStamp> m_undecodable;
    std::optional<FoldSummary> m_fold;
    /// Set when the fold came from the cache's ledger state with a few files changed (the ledger is then not
    /// loaded): the state to save, and the logs of the changed files to write.
    std::optional<LedgerState> m_state;
    std::map<std::string, ParsedLog> m_stateLogs;
    bool m_foldStale = true;
    /// The cache's snapshot describes the current fold.
    bool m_snapshotCurrent = false;
    std::optional<Stats> m_stats;
    std::string m_statsDay;
    double m_lastSave = 0;
    double m_lastChange = 0;
    BuildReport m_report;
};

namespace StatsEngine {

/// One build from where at the current time.
Stats buildStats(const LogLocations& where = LogLocations::defaults());

} // namespace StatsEngine
