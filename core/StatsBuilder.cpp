#include "core/StatsBuilder.h"

#include "core/AtomicFile.h"
#include "core/CodexParser.h"
#include "core/Hash64.h"
#include "core/StatsDerivation.h"
#include "core/TimeKit.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// Bumped with the meaning of a fold, so that a snapshot of an older Korvel never passes for a current one.
constexpr std::string_view kFoldFormat = "fold 3";

// A new process brings the ledger's state up to date when at most this many files changed, and the files that
// share responses or a rollout's identity with them are few; otherwise it loads every record.
constexpr size_t kMostChanged = 64;
constexpr size_t kMostTouched = 256;

uint64_t zoneHash(std::string_view zone)
{
    return hash64(zone, 0x7a6f6e65);
}

// The fold depends on the zone and, through the logs kept after their deletion, on the roots and on whether
// deleted logs are kept at all.
Fingerprint settingOf(std::string_view zone, const LogLocations& where)
{
    std::string setting(zone);
    for (const std::string* root : {&where.claudeRoot, &where.codexSessions, &where.codexArchive}) {
        setting.push_back('\0');
        setting.append(*root);
    }
    setting.push_back(where.keepDeletedLogs ? 'k' : 'f');
    return {hash64(setting, 1) ^ hash64(kFoldFormat, 3), hash64(setting, 2) ^ hash64(kFoldFormat, 4)};
}

// ... and on the listing.
Fingerprint fingerprintOf(const LogListing& listing, std::string_view zone, const LogLocations& where)
{
    // A sum over the files: the order they are visited in does not matter.
    Fingerprint sum = settingOf(zone, where);
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
    m_undecodable.clear();
    m_fold.reset();
    m_state.reset();
    m_stateLogs.clear();
    m_foldStale = true;
    m_snapshotCurrent = false;
    m_stats.reset();
}

void StatsBuilder::openCache(bool fresh)
{
    m_cache = ParseCache::open(m_where.parseCachePath, fresh);
    if (m_cache)
        removeOldCache(m_where.parseCachePath);
}

// A new builder over a tree that did not change since the snapshot was taken: the fold without reading any record.
bool StatsBuilder::foldFromSnapshot()
{
    if (!m_cache || !clean())
        return false;
    auto snapshot = m_cache->snapshot();
    if (!snapshot || !(snapshot->fingerprint == fingerprintOf(m_listing, m_zone, m_where)))
        return false;
    m_fold = std::move(snapshot->fold);
    m_foldStale = false;
    m_snapshotCurrent = true;
    // Another process may have made the snapshot after a change: the figures of the old fold are stale.
    m_stats.reset();
    return true;
}

Fingerprint StatsBuilder::setting() const
{
    return settingOf(m_zone, m_where);
}

// A new process after a few files changed: the stored state of the ledger with those files taken out and put back
// as they are now. Only for a builder that saves after every build, so that the stored state never lags behind.
bool StatsBuilder::foldFromState()
{
    if (!m_cache || m_options.watch || m_options.saveInterval > 0 || !clean())
        return false;
    auto state = m_cache->ledgerState();
    if (!state || !(state->setting == setting()))
        return false;
    const auto& files = m_listing.files();
    std::set<std::string> changed;
    for (const auto& [path, listed] : files) {
        const auto note = state->notes.find(path);
        if (note == state->notes.end() || note->second.kept || note->second.kind != listed.kind ||
            !(note->second.stamp == *listed.stamp))
            changed.insert(path);
        if (changed.size() > kMostChanged)
            return false;
    }
    for (const auto& [path, note] : state->notes)
        if (!note.kept && !files.contains(path) && changed.insert(path).second && changed.size() > kMostChanged)
            return false;
    if (!changeState(*state, changed))
        return false;
    m_fold = state->summary();
    m_state = std::move(state);
    m_foldStale = false;
    m_snapshotCurrent = false;
    m_stats.reset();
    return true;
}

// The files whose figures move with the changed ones (those sharing a response key or a rollout's identity with
// them, and so on), their records as stored, and the changed files read now; then the state without the old and
// with the new. False, with the state unchanged, when that is more than a few files or anything is in doubt.
bool StatsBuilder::changeState(LedgerState& state, const std::set<std::string>& changed)
{
    const auto& files = m_listing.files();
    std::set<std::string> touched(changed.begin(), changed.end());
    std::map<std::string, StoredLog> before;
    std::set<uint64_t> oldKeys;
    std::vector<std::string> todo(changed.begin(), changed.end());
    const auto touch = [&](const std::string& path) {
        if (touched.insert(path).second)
            todo.push_back(path);
    };
    const auto touchSharers = [&](uint64_t key) {
        if (const auto sharers = state.shared.find(key); sharers != state.shared.end())
            for (const std::string& holder : sharers->second)
                touch(holder);
    };
    std::vector<ParseJob> jobs;
    for (const std::string& path : changed)
        if (const auto listed = files.find(path); listed != files.end())
            jobs.push_back({path, listed->second.kind, listed->second.stamp->size, {}});
    parseInParallel(jobs);
    m_report.parsed = jobs.size();
    for (const ParseJob& job : jobs)
        for (const LoggedResponse& r : job.result.log.responses)
            if (r.key != 0)
                touchSharers(r.key);
    while (!todo.empty()) {
        const std::string path = std::move(todo.back());
        todo.pop_back();
        if (touched.size() > kMostTouched)
            return false;
        const auto note = state.notes.find(path);
        const auto listed = files.find(path);
        if (note == state.notes.end() && listed == files.end())
            return false;
        const auto kind = note != state.notes.end() ? note->second.kind : listed->second.kind;
        if (kind == StatsEngine::LogKind::Codex) {
            const std::string_view identity = CodexParser::identityOf(path);
            for (const auto& [other, otherNote] : state.notes)
                if (otherNote.kind == StatsEngine::LogKind::Codex && CodexParser::identityOf(other) == identity)
                    touch(other);
            for (const auto& [other, listedOther] : files)
                if (listedOther.kind == StatsEngine::LogKind::Codex && CodexParser::identityOf(other) == identity)
                    touch(other);
        }
        if (note == state.notes.end())
            continue;
        auto stored = m_cache->readLog(path);
        ++m_report.recordsRead;
        if (!stored || stored->outdated || !(stored->note == note->second))
            return false;
        for (const LoggedResponse& r : stored->log.responses) {
            if (r.key == 0)
                continue;
            oldKeys.insert(r.key);
            touchSharers(r.key);
        }
        before.emplace(path, std::move(*stored));
    }
    std::map<std::string, std::pair<LogNote, ParsedLog>> after;
    for (ParseJob& job : jobs) {
        const FileRead& read = job.result.read;
        const bool whole = read.status == ReadStatus::Complete || read.status == ReadStatus::InvalidUtf8;
        if (!whole || !read.stamp || !(*read.stamp == *files.at(job.path).stamp))
            return false;
        // A new response that a file outside these holds would move figures there.
        for (const LoggedResponse& r : job.result.log.responses)
            if (r.key != 0 && !oldKeys.contains(r.key) && state.mayHold(r.key))
                return false;
        after.insert_or_assign(
            job.path, std::pair(LogNote{job.kind, *read.stamp, zoneHash(m_zone), false}, std::move(job.result.log)));
    }
    for (auto& [path, stored] : before) {
        if (after.contains(path))
            continue;
        if (!changed.contains(path)) {
            after.insert_or_assign(path, std::pair(stored.note, stored.log));
        } else if (m_where.keepDeletedLogs) {
            // Gone since the state was saved: it keeps counting what it held.
            LogNote kept = stored.note;
            kept.kept = true;
            after.insert_or_assign(path, std::pair(kept, stored.log));
        }
    }
    StatsLedger old;
    for (const auto& [path, stored] : before)
        old.put(path, stored.log, rivalryOf(path, stored.note));
    StatsLedger now;
    for (const auto& [path, item] : after)
        now.put(path, item.second, rivalryOf(path, item.first));
    LedgerState was;
    old.describe(was);
    LedgerState is;
    now.describe(is);
    state.replaceGroup(touched, oldKeys, was, std::move(is));
    for (const std::string& path : touched)
        state.notes.erase(path);
    for (auto& [path, item] : after) {
        state.notes.insert_or_assign(path, item.first);
        if (changed.contains(path)) {
            m_unsaved.insert(path);
            m_stateLogs.insert_or_assign(path, std::move(item.second));
        }
        m_known[path] = item.first;
    }
    for (const std::string& path : changed)
        if (!after.contains(path))
            m_unsavedRemovals.insert(path);
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
            ++m_report.recordsRead;
            loadRecord(std::move(path), std::move(stored), files);
        });
        if (m_cache->damaged())
            replaceDamagedCache();
    }
    m_ledgerLoaded = true;
    m_foldStale = true;
}

void StatsBuilder::loadRecord(std::string path, StoredLog stored, const std::map<std::string, ListedLog>& files)
{
    const bool keep = m_where.keepDeletedLogs;
    const auto listed = files.find(path);
    if (listed == files.end()) {
        if (m_listing.kindOf(path) != stored.note.kind) {
            // Another root's log: it counts again when that root is read again, unless kept logs are let go.
            if (stored.note.kept && !keep)
                m_unsavedRemovals.insert(std::move(path));
            return;
        }
        if (!keep) {
            m_unsavedRemovals.insert(std::move(path));
            return;
        }
        // Gone since it was read: what it held keeps counting, with the days it was read with.
        if (!stored.note.kept) {
            stored.note.kept = true;
            m_unsaved.insert(path);
        }
        m_known[path] = stored.note;
        put(path, std::move(stored.log), stored.note);
        return;
    }
    if (listed->second.kind != stored.note.kind)
        return;
    const bool current = !stored.outdated && !stored.note.kept && stored.note.zone == zoneHash(m_zone) &&
                         listed->second.stamp && *listed->second.stamp == stored.note.stamp;
    if (current)
        m_known[path] = stored.note;
    else if (!keep)
        return;
    // A changed file is read again by this build; until then, and when that read fails, it holds what it held.
    stored.note.kept = false;
    put(path, std::move(stored.log), stored.note);
}

bool StatsBuilder::needsReading(const std::string& path, const ListedLog& listed) const
{
    if (!listed.stamp || m_retry.contains(path))
        return true;
    if (const auto failed = m_undecodable.find(path); failed != m_undecodable.end())
        return !(failed->second == *listed.stamp);
    const auto known = m_known.find(path);
    return known == m_known.end() || known->second.kept || known->second.kind != listed.kind ||
           !(known->second.stamp == *listed.stamp);
}

// Copies of one rollout count once: a file that is there before a kept one, then as Codex's copies rank.
StatsLedger::Rivalry StatsBuilder::rivalryOf(const std::string& path, const LogNote& note) const
{
    if (note.kind != StatsEngine::LogKind::Codex)
        return {};
    const uint32_t rank = (note.kept ? 4u : 0u) | CodexParser::precedence(path, m_listing.archived(path));
    return {std::string(CodexParser::identityOf(path)), rank};
}

void StatsBuilder::put(const std::string& path, ParsedLog log, const LogNote& note)
{
    m_ledger.put(path, std::move(log), rivalryOf(path, note));
    m_foldStale = true;
}

// A file that left the listing: kept, when it was read whole and deleted logs are kept; else forgotten.
void StatsBuilder::keepOrForget(const std::string& path)
{
    m_retry.erase(path);
    m_undecodable.erase(path);
    const auto known = m_known.find(path);
    if (!m_where.keepDeletedLogs || known == m_known.end() || !m_ledger.contains(path)) {
        if (m_ledger.contains(path) || known != m_known.end())
            forget(path);
        return;
    }
    if (known->second.kept)
        return;
    known->second.kept = true;
    m_ledger.rerank(path, rivalryOf(path, known->second).rank);
    m_unsaved.insert(path);
    m_unsavedRemovals.erase(path);
    m_foldStale = true;
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
    m_undecodable.erase(job.path);
    m_foldStale = true;
    if (read.status == ReadStatus::Unreadable || read.status == ReadStatus::Undecodable) {
        // An unreadable moment must not hide a file for good: it is read again next time. A compressed file that
        // does not decompress is read again once it changes (it may still be being written).
        if (read.status == ReadStatus::Undecodable && read.stamp)
            m_undecodable[job.path] = *read.stamp;
        else
            m_retry.insert(job.path);
        m_report.unreadable.push_back(job.path);
        if (!m_where.keepDeletedLogs || !m_ledger.contains(job.path))
            forget(job.path);
        return;
    }
    const LogNote note{job.kind, read.stamp.value_or(FileStamp{}), zoneHash(m_zone), false};
    put(job.path, std::move(job.result.log), note);
    if (read.status == ReadStatus::Changed || !read.stamp) {
        // What was read counts, but the file moved on while it was read: read it whole next time.
        if (m_known.erase(job.path) > 0)
            m_unsavedRemovals.insert(job.path);
        m_unsaved.erase(job.path);
        m_retry.insert(job.path);
        return;
    }
    m_known[job.path] = note;
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
            keepOrForget(path);
            return;
        }
        if (needsReading(path, listed->second))
            jobs.push_back({path, listed->second.kind, listed->second.stamp ? listed->second.stamp->size : 0, {}});
    };
    if (delta.everything) {
        std::vector<std::string> gone;
        for (const auto& [path, known] : m_known)
            if (!known.kept && !files.contains(path))
                gone.push_back(path);
        for (const std::string& path : gone)
            keepOrForget(path);
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
    parseInParallel(jobs, [&](ParseJob& job) { take(job); });
    std::sort(m_report.unreadable.begin(), m_report.unreadable.end());
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
        const auto held = m_stateLogs.find(path);
        const ParsedLog* log = held != m_stateLogs.end() ? &held->second : m_ledger.find(path);
        if (known != m_known.end() && log)
            changes.written.push_back({path, known->second, log});
    }
    changes.removed.assign(m_unsavedRemovals.begin(), m_unsavedRemovals.end());
    std::optional<LedgerState> described;
    if (withSnapshot && m_fold && !m_foldStale && clean()) {
        changes.snapshot = FoldSnapshot{fingerprintOf(m_listing, m_zone, m_where), *m_fold};
        if (m_state) {
            changes.state = &*m_state;
        } else if (m_ledgerLoaded && m_undecodable.empty() && m_known.size() == m_ledger.size()) {
            described.emplace();
            described->setting = setting();
            described->notes.insert(m_known.begin(), m_known.end());
            m_ledger.describe(*described);
            changes.state = &*described;
        }
    }
    if (!m_cache->save(changes)) {
        if (m_cache->damaged())
            replaceDamagedCache();
        return;
    }
    m_unsaved.clear();
    m_unsavedRemovals.clear();
    m_stateLogs.clear();
    m_snapshotCurrent = changes.snapshot.has_value();
}

// Before every record is loaded: what the state held is found again in the records and the files.
void StatsBuilder::leaveState()
{
    if (!m_state)
        return;
    m_state.reset();
    m_stateLogs.clear();
    m_known.clear();
    m_unsaved.clear();
    m_unsavedRemovals.clear();
}

Stats StatsBuilder::build(const LogLocations& where, double now)
{
    const std::string zone = TimeKit::refreshZone();
    if (zone != m_zone || !(where == m_where)) {
        // What is held belongs to the old roots, zone or setting: saved as it is (unless kept logs are to be let
        // go), then loaded anew for the new ones.
        if (m_cache && m_ledgerLoaded && where.keepDeletedLogs)
            save(false);
        reset();
    }
    m_zone = zone;
    m_where = where;
    m_report = {};
    const LogListing::Delta delta = m_listing.refresh(where, m_options.watch, now);
    const bool nothingNew = !delta.everything && delta.paths.empty() && m_retry.empty();
    if (!m_fold || !nothingNew) {
        if (!m_ledgerLoaded) {
            leaveState();
            if (!m_cache)
                openCache(false);
            if (!foldFromSnapshot() && !foldFromState()) {
                loadLedger();
                update(LogListing::Delta{true, {}});
            }
        } else {
            update(delta);
        }
    }
    if (m_foldStale)
        refold();
    const std::string today = TimeKit::dateKey(now);
    if (!m_stats || today != m_statsDay) {
        m_stats = StatsEngine::deriveStats(*m_fold, now);
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

void StatsBuilder::refold()
{
    m_fold = m_ledger.summary();
    // Listed files that hold nothing this build (unreadable, undecodable) still count as sessions.
    m_listing.forEach([&](const std::string& path, const ListedLog&) {
        if (!m_ledger.contains(path))
            ++m_fold->logFiles;
    });
    m_foldStale = false;
    m_snapshotCurrent = false;
    m_stats.reset();
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

void StatsBuilder::visitLogs(const std::function<void(const LogFigures&)>& visit)
{
    if (!m_fold)
        return;
    if (!m_ledgerLoaded && m_cache && m_unsaved.empty() && m_unsavedRemovals.empty()) {
        // The cache holds exactly what the build counted.
        streamLogs(visit);
        return;
    }
    if (!m_ledgerLoaded) {
        leaveState();
        if (!m_cache)
            openCache(false);
        loadLedger();
        update(LogListing::Delta{true, {}});
    }
    m_ledger.forEachCounted(
        [&](const std::string& path, const FileContribution& base, const FileContribution& counted) {
            const auto known = m_known.find(path);
            const auto kind = known != m_known.end() ? std::optional(known->second.kind) : m_listing.kindOf(path);
            visit(LogFigures{path, kind.value_or(StatsEngine::LogKind::Claude), base, counted});
        });
}

// Whether a stored record counts, as it does when the ledger is loaded from the cache: a listed file's, a kept one
// of these roots while deleted logs are kept.
bool StatsBuilder::counts(const std::string& path, const LogNote& note,
                          const std::map<std::string, ListedLog>& files) const
{
    if (const auto listed = files.find(path); listed != files.end())
        return listed->second.kind == note.kind;
    return m_where.keepDeletedLogs && m_listing.kindOf(path) == note.kind;
}

void StatsBuilder::streamLogs(const std::function<void(const LogFigures&)>& visit)
{
    const auto& files = m_listing.files();
    // Rollouts of one identity count once, the best ranked: those with rivals wait until all are seen.
    std::unordered_map<std::string, int> copies;
    m_cache->forEachPath([&](std::string_view path) {
        if (m_listing.kindOf(std::string(path)) == StatsEngine::LogKind::Codex)
            ++copies[std::string(CodexParser::identityOf(path))];
    });
    std::map<std::string, std::pair<std::pair<uint32_t, std::string>, StoredLog>> best;
    // A response counts in the first file (in path order) that holds it.
    std::unordered_set<uint64_t> seen;
    const auto emit = [&](const std::string& path, const StoredLog& stored) {
        const ParsedLog& log = stored.log;
        const FileContribution counted = log.responseFigures([&](size_t i) {
            const uint64_t key = log.responses[i].key;
            return key == 0 || seen.insert(key).second;
        });
        visit(LogFigures{path, stored.note.kind, log.base, counted});
    };
    m_cache->forEachLog([&](std::string path, StoredLog stored) {
        if (!counts(path, stored.note, files))
            return;
        const std::string identity(CodexParser::identityOf(path));
        if (stored.note.kind != StatsEngine::LogKind::Codex || copies[identity] < 2) {
            emit(path, stored);
            return;
        }
        std::pair<uint32_t, std::string> rank{rivalryOf(path, stored.note).rank, path};
        const auto [it, first] = best.try_emplace(identity, rank, StoredLog{});
        if (first || rank < it->second.first)
            it->second = {std::move(rank), std::move(stored)};
    });
    for (const auto& [identity, candidate] : best)
        emit(candidate.first.second, candidate.second);
}

void StatsBuilder::flush()
{
    if (!m_cache && m_fold)
        openCache(false);
    save(true);
}

namespace StatsEngine {

Stats buildStats(const LogLocations& where)
{
    StatsBuilder builder;
    return builder.build(where, TimeKit::now());
}

} // namespace StatsEngine
