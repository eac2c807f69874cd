#include "core/LogListing.h"

#include "core/ClaudeReader.h"
#include "core/CodexParser.h"
#include "core/DirectoryWalk.h"

#include <sys/stat.h>

namespace {

std::string_view nameOf(std::string_view path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool under(std::string_view path, std::string_view root)
{
    return !root.empty() && path.size() > root.size() && path.substr(0, root.size()) == root &&
           path[root.size()] == '/';
}

} // namespace

std::optional<StatsEngine::LogKind> LogListing::kindOf(const std::string& path) const
{
    const std::string_view name = nameOf(path);
    if (name.empty() || name.front() == '.')
        return std::nullopt;
    if (under(path, m_claudeRoot) && DirectoryWalk::hasJsonlExtension(name))
        return StatsEngine::LogKind::Claude;
    if ((under(path, m_codexSessions) || under(path, m_codexArchive)) && CodexParser::isRolloutName(name))
        return StatsEngine::LogKind::Codex;
    return std::nullopt;
}

bool LogListing::archived(const std::string& path) const
{
    return under(path, m_codexArchive);
}

// A root inside another (or equal to it) lists some paths twice.
bool LogListing::rootsNest() const
{
    const std::string* roots[] = {&m_claudeRoot, &m_codexSessions, &m_codexArchive};
    for (const std::string* a : roots)
        for (const std::string* b : roots)
            if (a != b && !a->empty() && !b->empty() && (*a == *b || b->starts_with(*a + "/")))
                return true;
    return false;
}

LogListing::Delta LogListing::listEverything(bool watch, double now)
{
    // Watching starts before the walk, so that nothing changing during the walk goes unnoticed.
    m_watch.reset();
    if (watch) {
        m_watch = std::make_unique<TreeWatch>();
        m_watch->watch(m_claudeRoot);
        m_watch->watch(m_codexSessions);
        m_watch->watch(m_codexArchive);
    }
    m_files.clear();
    m_unordered.clear();
    for (auto& [path, stamp] : DirectoryWalk::findStamped(m_claudeRoot, DirectoryWalk::hasJsonlExtension))
        m_unordered.emplace_back(std::move(path), ListedLog{StatsEngine::LogKind::Claude, stamp});
    for (const std::string* root : {&m_codexSessions, &m_codexArchive})
        for (auto& [path, stamp] : DirectoryWalk::findStamped(*root, CodexParser::isRolloutName))
            m_unordered.emplace_back(std::move(path), ListedLog{StatsEngine::LogKind::Codex, stamp});
    // A path under two roots is listed once, as the map would keep it: the later root's kind wins.
    if (rootsNest())
        files();
    m_recheck.clear();
    m_lastFullListing = now;
    m_listed = true;
    return {true, {}};
}

const std::map<std::string, ListedLog>& LogListing::files() const
{
    if (!m_unordered.empty()) {
        for (auto& [path, listed] : m_unordered)
            m_files.insert_or_assign(std::move(path), listed);
        m_unordered.clear();
        m_unordered.shrink_to_fit();
    }
    return m_files;
}

void LogListing::restamp(const std::string& path, Delta& delta)
{
    files();
    const auto kind = kindOf(path);
    struct stat entry
    {
    };
    const auto it = m_files.find(path);
    if (!kind || lstat(path.c_str(), &entry) != 0) {
        if (it != m_files.end()) {
            m_files.erase(it);
            delta.paths.push_back(path);
        }
        return;
    }
    // A listed entry whose attributes cannot be read (a dangling link) stays listed, unstamped, as a walk lists it.
    const ListedLog listed{*kind, FileStamp::of(path)};
    if (it == m_files.end() || !(it->second == listed)) {
        m_files.insert_or_assign(path, listed);
        delta.paths.push_back(path);
    }
}

void LogListing::relistFolder(const std::string& folder, Delta& delta)
{
    files();
    const std::string prefix = folder + "/";
    for (auto it = m_files.lower_bound(prefix); it != m_files.end() && it->first.starts_with(prefix);) {
        delta.paths.push_back(it->first);
        it = m_files.erase(it);
    }
    if (m_watch)
        m_watch->watch(folder);
    const auto keep = [&](std::string_view name) { return kindOf(prefix + std::string(name)).has_value(); };
    for (auto& [path, stamp] : DirectoryWalk::findStamped(folder, keep)) {
        const auto kind = kindOf(path);
        if (!kind)
            continue;
        m_files.insert_or_assign(path, ListedLog{*kind, stamp});
        delta.paths.push_back(std::move(path));
    }
}

LogListing::Delta LogListing::refresh(const LogLocations& where, bool watch, double now)
{
    const auto absolute = [](const std::string& root) {
        return root.empty() ? std::string() : DirectoryWalk::absolute(root);
    };
    std::string claude = absolute(where.claudeRoot);
    std::string sessions = absolute(where.codexSessions);
    std::string archive = absolute(where.codexArchive);
    if (!m_listed || !watch || !m_watch || claude != m_claudeRoot || sessions != m_codexSessions ||
        archive != m_codexArchive || now - m_lastFullListing >= kFullListingEvery || now < m_lastFullListing) {
        m_claudeRoot = std::move(claude);
        m_codexSessions = std::move(sessions);
        m_codexArchive = std::move(archive);
        return listEverything(watch, now);
    }
    TreeWatch::Changes changes = m_watch->poll();
    if (changes.everything)
        return listEverything(watch, now);
    Delta delta;
    for (const std::string& folder : changes.folders)
        relistFolder(folder, delta);
    for (const std::string& path : changes.files)
        restamp(path, delta);
    for (const std::string& path : m_recheck)
        restamp(path, delta);
    m_recheck.clear();
    return delta;
}
