#include "core/ParseCache.h"

#include "core/AtomicFile.h"
#include "core/ClaudeReader.h"
#include "core/CodexParser.h"
#include "core/ContributionDom.h"
#include "core/ContributionJson.h"
#include "core/DataDirectory.h"
#include "core/FileStamp.h"
#include "core/TimeKit.h"

namespace {

using simdjson::dom::element;
using simdjson::dom::object;

std::optional<CacheEntry> decodeEntry(element value)
{
    object obj;
    element contribution;
    CacheEntry entry;
    if (value.get_object().get(obj) || obj.at_key("contribution").get(contribution))
        return std::nullopt;
    element mtime;
    element size;
    if (obj.at_key("mtime").get(mtime) || !ContributionJson::readNumber(mtime, entry.mtime) ||
        obj.at_key("size").get(size) || !ContributionJson::readInteger(size, entry.size))
        return std::nullopt;
    auto decoded = ContributionJson::decode(contribution);
    if (!decoded)
        return std::nullopt;
    entry.contribution = std::move(*decoded);
    return entry;
}

} // namespace

std::string ParseCache::url()
{
    return DataDirectory::file("parse-cache.json");
}

std::optional<std::string> ParseCache::encode(const ParseCache& cache)
{
    JsonWriter out;
    // About a kilobyte per entry: growing the text by doubling would copy and fault it in several times.
    out.reserve(cache.entries.size() * 1200 + 256);
    out.beginObject();
    out.key("version");
    out.value(cache.version);
    out.key("zone");
    out.value(cache.zone);
    out.key("entries");
    out.beginObject();
    for (const auto& [path, entry] : cache.entries) {
        // JSON text cannot carry a path that is not UTF-8; such a file is simply parsed on every build.
        if (!simdjson::validate_utf8(path.data(), path.size()))
            continue;
        out.key(path);
        out.beginObject();
        out.key("mtime");
        out.value(entry.mtime);
        out.key("size");
        out.value(entry.size);
        out.key("contribution");
        ContributionJson::write(out, entry.contribution);
        out.endObject();
    }
    out.endObject();
    out.endObject();
    if (!out.ok())
        return std::nullopt;
    return out.take();
}

std::optional<ParseCache> ParseCache::decode(std::string_view json)
{
    simdjson::dom::parser parser;
    object root;
    if (parser.parse(json).get_object().get(root))
        return std::nullopt;
    ParseCache cache;
    cache.zone.clear();
    element version;
    object entries;
    if (root.at_key("version").get(version) || !ContributionJson::readInteger(version, cache.version) ||
        root.at_key("entries").get_object().get(entries))
        return std::nullopt;
    element zone;
    if (!root.at_key("zone").get(zone)) {
        std::string_view text;
        if (zone.get_string().get(text))
            return std::nullopt;
        cache.zone = text;
    }
    cache.entries.reserve(entries.size());
    for (const auto member : entries) {
        auto entry = decodeEntry(member.value);
        if (!entry)
            return std::nullopt;
        cache.entries.insert_or_assign(std::string(member.key), std::move(*entry));
    }
    return cache;
}

ParseCache ParseCache::load(const std::string& path)
{
    const std::string zone = TimeKit::zoneId();
    const auto bytes = AtomicFile::read(path);
    auto cache = bytes ? decode(*bytes) : std::nullopt;
    // Cached contributions hold local day keys: after a change of time zone every file is parsed again.
    if (!cache || cache->version != kVersion || cache->zone != zone)
        return {};
    return std::move(*cache);
}

bool ParseCache::save(const ParseCache& cache, const std::string& path)
{
    const auto json = encode(cache);
    return json && AtomicFile::write(path, *json);
}

size_t ParseCache::prune(const std::unordered_set<std::string>& seen)
{
    return std::erase_if(entries, [&](const auto& item) { return !seen.contains(item.first); });
}

const FileContribution* ParseCache::find(const std::string& path, const FileStamp& stamp) const
{
    const auto it = entries.find(path);
    if (it == entries.end() || it->second.mtime != stamp.mtime || it->second.size != stamp.size)
        return nullptr;
    return &it->second.contribution;
}

const FileContribution& ParseCache::store(const std::string& path, const FileStamp& stamp,
                                          FileContribution contribution)
{
    CacheEntry& entry = entries[path];
    entry = CacheEntry{stamp.mtime, stamp.size, std::move(contribution)};
    return entry.contribution;
}

namespace StatsEngine {

FileContribution parseLog(const std::string& path, LogKind kind, ParseScratch& scratch)
{
    return kind == LogKind::Claude ? parseClaudeFile(path, scratch) : CodexParser::parseFile(path, scratch);
}

FileContribution loadOrParse(const std::string& path, LogKind kind, ParseCache& cache, bool& dirty,
                             ParseScratch& scratch)
{
    const auto stamp = FileStamp::of(path);
    if (stamp)
        if (const FileContribution* hit = cache.find(path, *stamp))
            return *hit;
    FileContribution parsed = parseLog(path, kind, scratch);
    if (stamp) {
        cache.store(path, *stamp, parsed);
        dirty = true;
    }
    return parsed;
}

} // namespace StatsEngine
