#include "app/UsageJson.h"

#include "app/FigureColumns.h"
#include "app/UsageNames.h"
#include "core/JsonWriter.h"
#include "core/PlainText.h"

#include <cmath>
#include <ctime>

namespace UsageJson {
namespace {

const char* listName(UsageKind kind)
{
    switch (kind) {
    case UsageKind::Daily:
        return "daily";
    case UsageKind::Monthly:
        return "monthly";
    case UsageKind::Projects:
        return "projects";
    case UsageKind::Models:
        return "models";
    case UsageKind::Sessions:
        return "sessions";
    }
    return "rows";
}

void writeFigures(JsonWriter& json, const UsageFigures& f)
{
    for (const FigureColumn& column : kFigureColumns) {
        json.key(column.member);
        if (column.count)
            json.value(f.*column.count);
        else
            json.value(f.*column.amount);
    }
}

// Text from the logs stays as it was, but JSON text must be UTF-8.
void writeText(JsonWriter& json, const std::string& key, const std::string& text)
{
    json.key(key);
    json.value(PlainText::validUtf8(text));
}

void writeOptionalText(JsonWriter& json, const std::string& key, const std::optional<std::string>& text)
{
    if (text) {
        writeText(json, key, *text);
        return;
    }
    json.key(key);
    json.null();
}

void writeTime(JsonWriter& json, const std::string& key, const std::optional<double>& t)
{
    writeOptionalText(json, key, t ? std::optional(isoUtc(*t)) : std::nullopt);
}

void writeModels(JsonWriter& json, const UsageRow& row)
{
    json.key("models");
    json.beginArray();
    for (const std::string& name : UsageNames::modelNames(row.models))
        json.value(PlainText::validUtf8(name));
    json.endArray();
}

void writeRow(JsonWriter& json, UsageKind kind, const UsageRow& row)
{
    json.beginObject();
    switch (kind) {
    case UsageKind::Daily:
        writeText(json, "date", row.key);
        break;
    case UsageKind::Monthly:
        writeText(json, "month", row.key);
        break;
    case UsageKind::Projects:
        writeText(json, "project", row.key);
        writeOptionalText(json, "firstDay", row.firstDay);
        writeOptionalText(json, "lastDay", row.lastDay);
        break;
    case UsageKind::Models:
        writeText(json, "model", row.key);
        writeText(json, "name", UsageNames::modelName(row.key));
        json.key("messages");
        json.value(row.messages);
        break;
    case UsageKind::Sessions:
        writeText(json, "session", row.key);
        json.key("agent");
        json.value(UsageNames::agent(row.agent));
        writeText(json, "project", row.project);
        writeTime(json, "start", row.start);
        writeTime(json, "end", row.end);
        break;
    }
    writeFigures(json, row.figures);
    if (kind != UsageKind::Models)
        writeModels(json, row);
    json.endObject();
}

} // namespace

std::string isoUtc(double t)
{
    const double whole = std::floor(t);
    const auto seconds = static_cast<std::time_t>(whole);
    int millis = static_cast<int>(std::lround((t - whole) * 1000));
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    if (millis > 999)
        millis = 999;
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
    return text;
}

std::string encode(UsageKind kind, const std::vector<UsageRow>& rows)
{
    JsonWriter json;
    json.beginObject();
    json.key("version");
    json.value(KORVEL_VERSION);
    json.key(listName(kind));
    json.beginArray();
    for (const UsageRow& row : rows)
        writeRow(json, kind, row);
    json.endArray();
    json.key("totals");
    json.beginObject();
    writeFigures(json, UsageRows::totals(rows));
    if (kind == UsageKind::Models) {
        int64_t messages = 0;
        for (const UsageRow& row : rows)
            messages += row.messages;
        json.key("messages");
        json.value(messages);
    }
    json.endObject();
    json.endObject();
    return json.ok() ? json.take() : std::string("{}");
}

} // namespace UsageJson
