#include "app/ReportOptions.h"

#include "app/CommandLine.h"
#include "core/TimeKit.h"

#include <charconv>

namespace {

// A real calendar day written YYYY-MM-DD.
bool isDayKey(const std::string& text)
{
    int year = 0, month = 0, day = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    const auto read = [&](size_t at, size_t length, int& value) {
        const char* end = text.data() + at + length;
        const auto result = std::from_chars(text.data() + at, end, value);
        return result.ec == std::errc() && result.ptr == end;
    };
    if (!read(0, 4, year) || !read(5, 2, month) || !read(8, 2, day) || month < 1 || month > 12 || day < 1)
        return false;
    // Rolled over when the day is past the month's end.
    const auto number = TimeKit::civilDayNumber(year, month, day);
    const auto first = TimeKit::civilDayNumber(year, month, 1);
    const auto next = TimeKit::civilDayNumber(year, month + 1, 1);
    return number && first && next && *number < *next;
}

std::optional<size_t> count(const std::string& text)
{
    size_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<ReportOptions> ReportOptions::parse(const std::vector<std::string>& args, std::string& error)
{
    ReportOptions options;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--json") {
            options.json = true;
            continue;
        }
        if (CommandLine::isCommandFlag(arg))
            continue;
        const bool takesValue = arg == "--since" || arg == "--until" || arg == "--limit" || arg == "--stats-dir";
        if (!takesValue) {
            error = "unknown option '" + arg + "'";
            return std::nullopt;
        }
        if (i + 1 == args.size()) {
            error = arg + " needs a value";
            return std::nullopt;
        }
        const std::string& value = args[++i];
        if (arg == "--stats-dir") {
            options.statsDir = value;
        } else if (arg == "--limit") {
            const auto limit = count(value);
            if (!limit) {
                error = "--limit needs a whole number, not '" + value + "'";
                return std::nullopt;
            }
            options.limit = *limit;
        } else if (!isDayKey(value)) {
            error = arg + " needs a date written YYYY-MM-DD, not '" + value + "'";
            return std::nullopt;
        } else {
            (arg == "--since" ? options.range.since : options.range.until) = value;
        }
    }
    return options;
}
