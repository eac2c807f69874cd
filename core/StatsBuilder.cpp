#include "core/StatsBuilder.h"

#include "core/AtomicFile.h"
#include "core/CodexParser.h"
#include "core/DataDirectory.h"
#include "core/Hash64.h"
#include "core/StatsDerivation.h"
#include "core/TimeKit.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// Bumped with the meaning of a fold, so that a snapshot of an older Korvel never passes for a current one.
constexpr std::string_view kFoldFormat = "fold 1";

Fingerprint fingerprintOf(const LogListing& listing, std::string_view zone)
{
    // A sum over the files: the order they are visited in does not matter.
    Fingerprint sum{hash64(zone, 1) ^ hash64(kFoldFormat, 3), hash64(zone, 2) ^ hash64(kFoldFormat, 4)};
    std::string item;
    listing.forEach([&](const std::string& path, const ListedLog& listed) {
        item.assign(path);
        item.push_back('\0');
        item.push_back(static_cast<char>(listed.kind));
        char stamp[16];
        std::memcpy(stamp, &listed.stamp->mtime, 8);
        std::memcpy(stamp + 8, &listed.stamp->size, 8);
        item.append(stamp, sizeof stamp);
        sum.low += hash64(item, 5);
        sum.high += hash64(item, 6);
    });
    return sum;
}

// A cache of an earlier Korvel, one JSON document: it is not read any more and can be large.
void removeOldCache(const std::string& cachePath)
{
    const size_t slash = cachePath.rfind('/');
    if (slash == std::string::npos)
        return;
    const std::string old = cachePath.substr(0, slash + 1) + "parse-cache.json";
    std::remove(old.c_str());
    AtomicFile::removeStaleTemporaries(old);
}

} // namespace

LogLocations LogLocations::defaults(const std::optional<std::string>& dir)
{
    const std::string home = DataDirectory::home();
    LogLocations where;
    where.claudeRoot = dir ? *dir : (home.empty() ? std::string() : home + "/.claude/projects");
    where.codexRoot = CodexParser::sessionsDirectory();
    where.parseCachePath = ParseCache::url();
    return where;
}

StatsBuilder::StatsBuilder() = default;
StatsBuilder::StatsBuilder(Options options) : m_options(options) {}

StatsBuilder::~StatsBuilder() = default;

void StatsBuilder::reset()
{
    m_cache.reset();
    m_ledger = StatsLedger();
    m_ledgerLoaded = false;
    m_known.clear();
    m_unsaved.clear();
    m_unsavedRemovals.clear();
    m_retry.clear();
    m_fold.reset();
    m_foldStale = true;
    m_snapshotCurrent = false;
    m_stats.reset();
}

void StatsBuilder::openCache(bool fresh)
{
    m_cache = ParseCache::open(m_where.parseCachePath, m_zone, fresh);
    if (m_cache)
        removeOldCache(m_where.parseCachePath);
}

// A new builder over a tree that did not change since the snapshot was taken: the fold without reading any record.
bool StatsBuilder::foldFromSnapshot()
{
    if (!m_cache || !clean())
        return false;
    auto snapshot = m_cache->snapshot();
    if (!snapshot || !(snapshot->fingerprint == fingerprintOf(m_listing, m_zone)))
        return false;
    m_fold = std::move(snapshot->fold);
    m_foldStale = false;
    m_snapshotCurrent = true;
    return true;
}

// A cache that reported damage is replaced by a fresh one, into which everything known goes at the next save.
void StatsBuilder::replaceDamagedCache()
{
    openCache(true);
    m_unsavedRemovals.clear();
    for (const auto& [path, known] : m_known)
        m_unsaved.insert(path);
}

void StatsBuilder::loadLedger()
{
    const auto& files = m_listing.files();
    if (m_cache) {
        // Rows come in path order, so that no file is put before a file that repeats its responses.
        m_cache->forEachLog([&](std::string path, StoredLog stored) {
            const auto listed = files.find(path);
            if (listed == files.end()) {
                m_unsavedRemovals.insert(std::move(path));
                return;
            }
            if (listed->second.kind != stored.kind || !(listed->second.stamp == stored.stamp))
                return;
            m_known[path] = Known{stored.kind, stored.stamp};
            m_ledger.put(path, std::move(stored.log));
        });
        if (m_cache->damaged())
            replaceDamagedCache();
    }
    m_ledgerLoaded = true;
    m_foldStale = true;
}

bool StatsBuilder::needsReading(const std::string& path, const ListedLog& listed) const
{
    if (!listed.stamp || m_retry.contains(path))
        return true;
    const auto known = m_known.find(path);
    return known == m_known.end() || known->second.kind != listed.kind || !(known->second.stamp == *listed.stamp);
}

void StatsBuilder::forget(const std::string& path)
{
    m_ledger.remove(path);
    const bool stored = m_known.erase(path) > 0;
    if (m_unsaved.erase(path) > 0 || stored)
        m_unsavedRemovals.insert(path);
    m_foldStale = true;
}

void StatsBuilder::take(ParseJob& job)
{
    const FileRead& read = job.result.read;
    m_retry.erase(job.path);
    if (read.status == ReadStatus::Unreadable) {
        // Counts as empty now and is read again next time: an unreadable moment must not hide it for good.
        forget(job.path);
        m_retry.insert(job.path);
        m_report.unreadable.push_back(job.path);
        return;
    }
    m_ledger.put(job.path, std::move(job.result.log));
    m_foldStale = true;
    if (read.status == ReadStatus::Changed || !read.stamp) {
        // What was read counts, but the file moved on while it was read: read it whole next time.
        if (m_known.erase(job.path) > 0)
            m_unsavedRemovals.insert(job.path);
        m_unsaved.erase(job.path);
        m_retry.insert(job.path);
        return;
    }
    m_known[job.path] = Known{job.kind, *read.stamp};
    m_unsaved.insert(job.path);
    m_unsavedRemovals.erase(job.path);
}

void StatsBuilder::update(const LogListing::Delta& delta)
{
    const auto& files = m_listing.files();
    std::vector<ParseJob> jobs;
    const auto consider = [&](const std::string& path) {
        const auto listed = files.find(path);
        if (listed == files.end()) {
            if (m_ledger.contains(path) || m_known.contains(path))
                forget(path);
            return;
        }
        if (needsReading(path, listed->second))
            jobs.push_back({path, listed->second.kind, listed->second.stamp ? listed->second.stamp->size : 0, {}});
    };
    if (delta.everything) {
        std::vector<std::string> gone;
        for (const auto& [path, known] : m_known)
            if (!files.contains(path))
                gone.push_back(path);
        for (const std::string& path : gone)
            forget(path);
        for (const auto& [path, listed] : files)
            consider(path);
        for (const std::string& path : std::set<std::string>(m_retry))
            if (!files.contains(path))
                consider(path);
    } else {
        std::set<std::string> paths(delta.paths.begin(), delta.paths.end());
        paths.insert(m_retry.begin(), m_retry.end());
        for (const std::string& path : paths)
            consider(path);
    }
    parseInParallel(jobs);
    for (ParseJob& job : jobs)
        take(job);
    m_report.parsed = jobs.size();
    for (const std::string& path : m_retry)
        m_listing.recheck(path);
}

// Every listed file is stamped and was read whole: the fold then describes exactly the listing's fingerprint.
bool StatsBuilder::clean() const
{
    bool stamped = true;
    m_listing.forEach([&](const std::string&, const ListedLog& listed) { stamped = stamped && listed.stamp; });
    return stamped && m_retry.empty();
}

void StatsBuilder::save(bool withSnapshot)
{
    if (!m_cache)
        return;
    ParseCache::Changes changes;
    for (const std::string& path : m_unsaved) {
        const auto known = m_known.find(path);
        const ParsedLog* log = m_ledger.find(path);
        if (known != m_known.end() && log)
            changes.written.push_back({path, known->second.kind, known->second.stamp, log});
    }
    changes.removed.assign(m_unsavedRemovals.begin(), m_unsavedRemovals.end());
    if (withSnapshot && m_fold && !m_foldStale && clean())
        changes.snapshot = FoldSnapshot{fingerprintOf(m_listing, m_zone), *m_fold};
    if (!m_cache->save(changes)) {
        if (m_cache->damaged())
            replaceDamagedCache();
        return;
    }
    m_unsaved.clear();
    m_unsavedRemovals.clear();
    m_snapshotCurrent = changes.snapshot.has_value();
}

Stats StatsBuilder::build(const LogLocations& where, double now)
{
    const std::string zone = TimeKit::refreshZone();
    if (zone != m_zone || where.parseCachePath != m_where.parseCachePath)
        reset();
    m_zone = zone;
    m_where = where;
    m_report = {};
    const LogListing::Delta delta = m_listing.refresh(where.claudeRoot, where.codexRoot, m_options.watch, now);
    const bool nothingNew = !delta.everything && delta.paths.empty() && m_retry.empty();
    if (!m_fold || !nothingNew) {
        if (!m_ledgerLoaded) {
            if (!m_cache)
                openCache(false);
            if (!foldFromSnapshot()) {
                loadLedger();
                update(LogListing::Delta{true, {}});
            }
        } else {
            update(delta);
        }
    }
    if (m_foldStale) {
        m_fold = m_ledger.summary();
        m_foldStale = false;
        m_snapshotCurrent = false;
        m_stats.reset();
    }
    const std::string today = TimeKit::dateKey(now);
    if (!m_stats || today != m_statsDay) {
        m_stats = StatsEngine::deriveStats(*m_fold, static_cast<int64_t>(m_listing.size()), now);
        m_statsDay = today;
    }
    if (!nothingNew || m_lastChange == 0 || now < m_lastChange)
        m_lastChange = now;
    else if (m_options.releaseAfter > 0 && m_ledgerLoaded && now - m_lastChange >= m_options.releaseAfter)
        releaseLedger();
    const bool unsaved = !m_unsaved.empty() || !m_unsavedRemovals.empty();
    if (m_options.saveInterval <= 0) {
        if (unsaved || !m_snapshotCurrent)
            save(true);
    } else if (unsaved && (now - m_lastSave >= m_options.saveInterval || now < m_lastSave)) {
        // A running application saves at most once per interval; the snapshot waits for flush.
        save(false);
        m_lastSave = now;
    }
    return *m_stats;
}

void StatsBuilder::releaseLedger()
{
    save(true);
    if (!m_snapshotCurrent)
        return; // without a snapshot the next build would have to fold everything again: keep it
    m_ledger = StatsLedger();
    m_known.clear();
    m_ledgerLoaded = false;
#ifdef __GLIBC__
    // The fold is many small blocks: hand the freed pages back to the system, not just to the allocator.
    malloc_trim(0);
#endif
}

void StatsBuilder::flush()
{
    if (!m_cache && m_fold)
        openCache(false);
    save(true);
}

namespace StatsEngine {

Stats buildStats(const std::optional<std::string>& dir)
{
    StatsBuilder builder;
    return builder.build(LogLocations::defaults(dir), TimeKit::now());
}

} // namespace StatsEngine
