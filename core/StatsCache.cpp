#include "core/StatsCache.h"

#include "core/AtomicFile.h"
#include "core/DataDirectory.h"
#include "core/JsonRead.h"
#include "core/JsonWriter.h"

namespace StatsCache {
namespace {

using simdjson::dom::array;
using simdjson::dom::element;
using simdjson::dom::object;

void writeOptional(JsonWriter& out, std::string_view key, const std::optional<std::string>& value)
{
    if (!value)
        return;
    out.key(key);
    out.value(*value);
}

void writeModel(JsonWriter& out, const ModelStat& m)
{
    out.beginObject();
    out.key("model");
    out.value(m.model);
    out.key("name");
    out.value(m.name);
    out.key("messages");
    out.value(m.messages);
    out.key("tokensIn");
    out.value(m.tokensIn);
    out.key("tokensOut");
    out.value(m.tokensOut);
    out.key("cacheRead");
    out.value(m.cacheRead);
    out.key("cacheWrite");
    out.value(m.cacheWrite);
    out.key("cost");
    out.value(m.cost);
    out.endObject();
}

void writeBadge(JsonWriter& out, const Badge& b)
{
    out.beginObject();
    out.key("id");
    out.value(b.id);
    out.key("emoji");
    out.value(b.emoji);
    out.key("label");
    out.value(b.label);
    out.key("desc");
    out.value(b.desc);
    out.key("earned");
    out.value(b.earned);
    out.endObject();
}

// Every integer and double field in declaration order, so that encoding and decoding share one list.
template <typename S, typename Visit> void scalarFields(S& s, Visit&& visit)
{
    visit("daysSpan", s.daysSpan);
    visit("logFiles", s.logFiles);
    visit("prompts", s.prompts);
    visit("assistantMessages", s.assistantMessages);
    visit("tokensIn", s.tokensIn);
    visit("tokensOut", s.tokensOut);
    visit("cacheRead", s.cacheRead);
    visit("cacheWrite", s.cacheWrite);
    visit("linesAdded", s.linesAdded);
    visit("linesRemoved", s.linesRemoved);
    visit("filesEdited", s.filesEdited);
    visit("cost", s.cost);
    visit("sessions", s.sessions);
    visit("weekLinesAdded", s.weekLinesAdded);
    visit("weekCost", s.weekCost);
    visit("weekSessions", s.weekSessions);
    visit("todayLinesAdded", s.todayLinesAdded);
    visit("todayCost", s.todayCost);
    visit("codedToday", s.codedToday);
    visit("weekTokens", s.weekTokens);
    visit("todayTokens", s.todayTokens);
    visit("activeDays", s.activeDays);
    visit("streakLongest", s.streakLongest);
    visit("streakCurrent", s.streakCurrent);
}

bool readValue(element value, int64_t& out)
{
    return JsonRead::integer(value, out);
}
bool readValue(element value, double& out)
{
    return JsonRead::number(value, out);
}
bool readValue(element value, bool& out)
{
    return !value.get_bool().get(out);
}
bool readValue(element value, std::string& out)
{
    std::string_view s;
    if (value.get_string().get(s))
        return false;
    out = s;
    return true;
}

bool readValue(element value, std::array<int64_t, 24>& out)
{
    return JsonRead::hours(value, out);
}

template <typename T> bool required(object obj, std::string_view key, T& out)
{
    element value;
    return !obj.at_key(key).get(value) && readValue(value, out);
}

bool optionalText(object obj, std::string_view key, std::optional<std::string>& out)
{
    element value;
    if (obj.at_key(key).get(value) || value.is_null())
        return true;
    std::string text;
    if (!readValue(value, text))
        return false;
    out = std::move(text);
    return true;
}

bool readModel(element value, ModelStat& m)
{
    object obj;
    return !value.get_object().get(obj) && required(obj, "model", m.model) && required(obj, "name", m.name) &&
           required(obj, "messages", m.messages) && required(obj, "tokensIn", m.tokensIn) &&
           required(obj, "tokensOut", m.tokensOut) && required(obj, "cacheRead", m.cacheRead) &&
           required(obj, "cacheWrite", m.cacheWrite) && required(obj, "cost", m.cost);
}

bool readBadge(element value, Badge& b)
{
    object obj;
    return !value.get_object().get(obj) && required(obj, "id", b.id) && required(obj, "emoji", b.emoji) &&
           required(obj, "label", b.label) && required(obj, "desc", b.desc) && required(obj, "earned", b.earned);
}

template <typename T, typename Reader>
bool readList(object obj, std::string_view key, std::vector<T>& out, Reader reader)
{
    array items;
    if (obj.at_key(key).get_array().get(items))
        return false;
    for (const element item : items) {
        T value;
        if (!reader(item, value))
            return false;
        out.push_back(std::move(value));
    }
    return true;
}

} // namespace

std::string url()
{
    return DataDirectory::file("stats-cache.json");
}

std::optional<std::string> encode(const Stats& stats)
{
    JsonWriter out;
    out.beginObject();
    writeOptional(out, "since", stats.since);
    writeOptional(out, "until", stats.until);
    scalarFields(stats, [&](std::string_view key, auto& value) {
        out.key(key);
        out.value(value);
    });
    out.key("byHour");
    out.beginArray();
    for (const int64_t n : stats.byHour)
        out.value(n);
    out.endArray();
    out.key("models");
    out.beginArray();
    for (const auto& m : stats.models)
        writeModel(out, m);
    out.endArray();
    writeOptional(out, "topModel", stats.topModel);
    out.key("crackedScore");
    out.value(stats.crackedScore);
    out.key("percentile");
    out.value(stats.percentile);
    out.key("badges");
    out.beginArray();
    for (const auto& b : stats.badges)
        writeBadge(out, b);
    out.endArray();
    out.endObject();
    if (!out.ok())
        return std::nullopt;
    return out.take();
}

std::optional<Stats> decode(std::string_view json)
{
    simdjson::dom::parser parser;
    object obj;
    if (parser.parse(json).get_object().get(obj))
        return std::nullopt;
    Stats s;
    bool ok = optionalText(obj, "since", s.since) && optionalText(obj, "until", s.until) &&
              optionalText(obj, "topModel", s.topModel);
    scalarFields(s, [&](std::string_view key, auto& value) { ok = ok && required(obj, key, value); });
    ok = ok && required(obj, "byHour", s.byHour) && readList(obj, "models", s.models, readModel) &&
         required(obj, "crackedScore", s.crackedScore) && required(obj, "percentile", s.percentile) &&
         readList(obj, "badges", s.badges, readBadge);
    if (!ok)
        return std::nullopt;
    return s;
}

bool save(const Stats& stats, const std::string& path)
{
    const auto json = encode(stats);
    return json && AtomicFile::write(path, *json);
}

std::optional<Stats> load(const std::string& path)
{
    // The record is a few kilobytes; a file far larger is damaged, and reading it whole would cost its size in
    // memory at every start.
    constexpr size_t kLargestRecord = size_t{1} << 20;
    const auto bytes = AtomicFile::read(path, kLargestRecord);
    return bytes ? decode(*bytes) : std::nullopt;
}

} // namespace StatsCache
