#include "core/StatsBuilder.h"

#include "core/ClaudeReader.h"
#include "core/CodexParser.h"
#include "core/DataDirectory.h"
#include "core/ParallelParse.h"
#include "core/StatsTotals.h"
#include "core/TimeKit.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <sys/stat.h>
#include <unordered_set>

namespace {

struct LogFile
{
    std::string path;
    StatsEngine::LogKind kind;
};

std::vector<LogFile> listLogs(const LogLocations& where)
{
    std::vector<LogFile> files;
    // Sorted so that sums of fractional figures come out bit-identical from build to build.
    auto claude = StatsEngine::findLogFiles(where.claudeRoot);
    std::sort(claude.begin(), claude.end());
    for (auto& path : claude)
        files.push_back({std::move(path), StatsEngine::LogKind::Claude});
    auto codex = CodexParser::findRollouts(where.codexRoot);
    std::sort(codex.begin(), codex.end());
    for (auto& path : codex)
        files.push_back({std::move(path), StatsEngine::LogKind::Codex});
    return files;
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

std::optional<StatsBuilder::CacheFileId> StatsBuilder::identify(const std::string& path)
{
    struct stat st
    {
    };
    if (stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return CacheFileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                       static_cast<int64_t>(st.st_size), st.st_mtim.tv_sec * 1'000'000'000LL + st.st_mtim.tv_nsec};
}

ParseCache& StatsBuilder::loadCache(const std::string& path)
{
    const auto id = identify(path);
    const bool unchanged =
        id && m_cacheFile && *id == *m_cacheFile && path == m_cachePath && m_cache.zone == TimeKit::zoneId();
    if (!unchanged) {
        m_cache = ParseCache::load(path);
        m_cacheFile = id;
        m_cachePath = path;
    }
    return m_cache;
}

Stats StatsBuilder::build(const LogLocations& where, double now)
{
    const std::vector<LogFile> files = listLogs(where);
    ParseCache& cache = loadCache(where.parseCachePath);

    std::unordered_set<std::string> seen;
    seen.reserve(files.size());
    std::vector<const FileContribution*> contributions(files.size(), nullptr);
    std::vector<ParseJob> misses;
    for (size_t i = 0; i < files.size(); ++i) {
        seen.insert(files[i].path);
        const auto stamp = FileStamp::of(files[i].path);
        if (stamp)
            contributions[i] = cache.find(files[i].path, *stamp);
        if (!contributions[i])
            misses.push_back({i, files[i].path, files[i].kind, stamp, {}});
    }

    parseInParallel(misses);
    bool dirty = false;
    for (ParseJob& job : misses) {
        if (job.stamp) {
            contributions[job.index] = &cache.store(job.path, *job.stamp, std::move(job.result));
            dirty = true;
        } else {
            contributions[job.index] = &job.result;
        }
    }

    const size_t removed = cache.prune(seen);
    if (removed > 0 || dirty) {
        // A cache that could not be written is read again next time rather than trusted from memory.
        m_cacheFile = ParseCache::save(cache, where.parseCachePath) ? identify(where.parseCachePath) : std::nullopt;
    }

    StatsTotals totals(now);
    for (const FileContribution* c : contributions)
        totals.add(*c);
    return totals.derive(static_cast<int64_t>(files.size()));
}

namespace StatsEngine {

Stats buildStats(const std::optional<std::string>& dir)
{
    StatsBuilder builder;
    return builder.build(LogLocations::defaults(dir), now());
}

int64_t dayNumber(std::string_view key)
{
    std::vector<int64_t> parts;
    size_t start = 0;
    while (start <= key.size()) {
        const size_t end = std::min(key.find('-', start), key.size());
        if (end > start) {
            std::string_view piece = key.substr(start, end - start);
            if (!piece.empty() && piece.front() == '+')
                piece.remove_prefix(1);
            int64_t value = 0;
            const auto [ptr, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
            parts.push_back(ec == std::errc() && ptr == piece.data() + piece.size() && !piece.empty() ? value : 0);
        }
        start = end + 1;
    }
    if (parts.size() != 3)
        return 0;
    return TimeKit::civilDayNumber(parts[0], parts[1], parts[2]).value_or(0);
}

double now()
{
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

} // namespace StatsEngine
