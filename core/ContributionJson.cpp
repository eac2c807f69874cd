#include "core/ContributionJson.h"

#include "core/ContributionDom.h"

namespace ContributionJson {
namespace {

using simdjson::dom::array;
using simdjson::dom::element;
using simdjson::dom::object;

void writeStrings(JsonWriter& out, const std::set<std::string>& strings)
{
    out.beginArray();
    for (const auto& s : strings)
        out.value(s);
    out.endArray();
}

void writeModel(JsonWriter& out, const ModelAcc& m)
{
    out.beginObject();
    out.key("messages");
    out.value(m.messages);
    out.key("input");
    out.value(m.input);
    out.key("output");
    out.value(m.output);
    out.key("cacheRead");
    out.value(m.cacheRead);
    out.key("cacheWrite");
    out.value(m.cacheWrite);
    out.endObject();
}

void writeDay(JsonWriter& out, const DayBucket& d)
{
    out.beginObject();
    out.key("linesAdded");
    out.value(d.linesAdded);
    out.key("cost");
    out.value(d.cost);
    out.key("tokens");
    out.value(d.tokens);
    out.endObject();
}

// Reads key of obj into out with reader; false when the key is missing or of the wrong type.
template <typename T, typename Reader> bool field(object obj, std::string_view key, T& out, Reader reader)
{
    element value;
    return !obj.at_key(key).get(value) && reader(value, out);
}

bool readStringSet(element value, std::set<std::string>& out)
{
    array items;
    if (value.get_array().get(items))
        return false;
    for (const element item : items) {
        std::string_view s;
        if (item.get_string().get(s))
            return false;
        out.emplace(s);
    }
    return true;
}

bool readModel(element value, ModelAcc& m)
{
    object obj;
    return !value.get_object().get(obj) && field(obj, "messages", m.messages, readInteger) &&
           field(obj, "input", m.input, readNumber) && field(obj, "output", m.output, readNumber) &&
           field(obj, "cacheRead", m.cacheRead, readNumber) && field(obj, "cacheWrite", m.cacheWrite, readNumber);
}

bool readDay(element value, DayBucket& d)
{
    object obj;
    return !value.get_object().get(obj) && field(obj, "linesAdded", d.linesAdded, readInteger) &&
           field(obj, "cost", d.cost, readNumber) && field(obj, "tokens", d.tokens, readNumber);
}

template <typename T, typename Reader> bool readMap(element value, std::map<std::string, T>& out, Reader reader)
{
    object obj;
    if (value.get_object().get(obj))
        return false;
    for (const auto member : obj) {
        T item;
        if (!reader(member.value, item))
            return false;
        out.insert_or_assign(std::string(member.key), item);
    }
    return true;
}

// An optional number: a missing key is absent; a present one must be a number.
bool optionalNumber(object obj, std::string_view key, std::optional<double>& out)
{
    element value;
    if (obj.at_key(key).get(value))
        return true;
    double number = 0;
    if (!readNumber(value, number))
        return false;
    out = number;
    return true;
}

} // namespace

bool readInteger(element value, int64_t& out)
{
    if (value.is_int64())
        return !value.get_int64().get(out);
    return false;
}

bool readHours(element value, std::array<int64_t, 24>& out)
{
    array items;
    if (value.get_array().get(items) || items.size() != out.size())
        return false;
    size_t i = 0;
    for (const element item : items)
        if (!readInteger(item, out[i++]))
            return false;
    return true;
}

bool readNumber(element value, double& out)
{
    if (!value.is_number())
        return false;
    return !value.get_double().get(out);
}

void write(JsonWriter& out, const FileContribution& c)
{
    out.beginObject();
    out.key("models");
    out.beginObject();
    for (const auto& [id, acc] : c.models) {
        out.key(id);
        writeModel(out, acc);
    }
    out.endObject();
    out.key("activeDays");
    writeStrings(out, c.activeDays);
    out.key("byHour");
    out.beginArray();
    for (const int64_t n : c.byHour)
        out.value(n);
    out.endArray();
    out.key("prompts");
    out.value(c.prompts);
    out.key("assistantMessages");
    out.value(c.assistantMessages);
    out.key("tokensIn");
    out.value(c.tokensIn);
    out.key("tokensOut");
    out.value(c.tokensOut);
    out.key("cacheRead");
    out.value(c.cacheRead);
    out.key("cacheWrite");
    out.value(c.cacheWrite);
    out.key("linesAdded");
    out.value(c.linesAdded);
    out.key("linesRemoved");
    out.value(c.linesRemoved);
    out.key("cost");
    out.value(c.cost);
    out.key("editedFiles");
    writeStrings(out, c.editedFiles);
    if (c.minTs) {
        out.key("minTs");
        out.value(*c.minTs);
    }
    if (c.maxTs) {
        out.key("maxTs");
        out.value(*c.maxTs);
    }
    out.key("perDay");
    out.beginObject();
    for (const auto& [day, bucket] : c.perDay) {
        out.key(day);
        writeDay(out, bucket);
    }
    out.endObject();
    out.endObject();
}

std::optional<FileContribution> decode(element value)
{
    const auto readModels = [](element v, std::map<std::string, ModelAcc>& m) { return readMap(v, m, readModel); };
    const auto readDays = [](element v, std::map<std::string, DayBucket>& m) { return readMap(v, m, readDay); };
    object obj;
    FileContribution c;
    const bool ok =
        !value.get_object().get(obj) && field(obj, "models", c.models, readModels) &&
        field(obj, "activeDays", c.activeDays, readStringSet) && field(obj, "byHour", c.byHour, readHours) &&
        field(obj, "prompts", c.prompts, readInteger) &&
        field(obj, "assistantMessages", c.assistantMessages, readInteger) &&
        field(obj, "tokensIn", c.tokensIn, readNumber) && field(obj, "tokensOut", c.tokensOut, readNumber) &&
        field(obj, "cacheRead", c.cacheRead, readNumber) && field(obj, "cacheWrite", c.cacheWrite, readNumber) &&
        field(obj, "linesAdded", c.linesAdded, readInteger) &&
        field(obj, "linesRemoved", c.linesRemoved, readInteger) && field(obj, "cost", c.cost, readNumber) &&
        field(obj, "editedFiles", c.editedFiles, readStringSet) && optionalNumber(obj, "minTs", c.minTs) &&
        optionalNumber(obj, "maxTs", c.maxTs) && field(obj, "perDay", c.perDay, readDays);
    if (!ok)
        return std::nullopt;
    return c;
}

std::optional<FileContribution> decode(std::string_view json)
{
    simdjson::dom::parser parser;
    element root;
    if (parser.parse(json).get(root))
        return std::nullopt;
    return decode(root);
}

} // namespace ContributionJson
