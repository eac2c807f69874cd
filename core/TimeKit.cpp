#include "core/TimeKit.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <vector>

namespace TimeKit {
namespace {

// The local zone is read from TZ once, on first use, and kept for the life of the process.
void captureLocalZone()
{
    static std::once_flag once;
    std::call_once(once, [] { tzset(); });
}

bool localTime(double t, std::tm& out)
{
    captureLocalZone();
    const auto seconds = static_cast<std::time_t>(std::floor(t));
    return localtime_r(&seconds, &out) != nullptr;
}

std::string formatDay(const std::tm& tm)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    return buf;
}

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's days_from_civil).
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d)
{
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool isLeap(int64_t y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int64_t y, int64_t m)
{
    static constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : lengths[m - 1];
}

class Cursor
{
public:
    explicit Cursor(std::string_view text) : m_text(text) {}

    bool digits(size_t count, int64_t& value)
    {
        if (m_pos + count > m_text.size())
            return false;
        value = 0;
        for (size_t i = 0; i < count; ++i) {
            const char c = m_text[m_pos + i];
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + (c - '0');
        }
        m_pos += count;
        return true;
    }

    bool literal(char c)
    {
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    char peek() const { return m_pos < m_text.size() ? m_text[m_pos] : '\0'; }
    bool atEnd() const { return m_pos == m_text.size(); }

    // Fraction digits after the decimal point, kept in full.
    bool fraction(double& value)
    {
        const size_t start = m_pos;
        int64_t numerator = 0;
        double denominator = 1;
        while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9') {
            if (m_pos - start < 15) {
                numerator = numerator * 10 + (m_text[m_pos] - '0');
                denominator *= 10;
            }
            ++m_pos;
        }
        if (m_pos == start)
            return false;
        // Both operands are exact, so the quotient is the correctly rounded value of the digits kept.
        value = static_cast<double>(numerator) / denominator;
        return true;
    }

private:
    std::string_view m_text;
    size_t m_pos = 0;
};

std::optional<int64_t> zoneOffsetSeconds(Cursor& in)
{
    if (in.literal('Z'))
        return 0;
    const char sign = in.peek();
    if (sign != '+' && sign != '-')
        return std::nullopt;
    in.literal(sign);
    int64_t hours = 0;
    int64_t minutes = 0;
    if (!in.digits(2, hours) || !in.literal(':') || !in.digits(2, minutes) || hours > 23 || minutes > 59)
        return std::nullopt;
    const int64_t offset = hours * 3600 + minutes * 60;
    return sign == '-' ? -offset : offset;
}

} // namespace

std::optional<double> epoch(std::string_view text)
{
    Cursor in(text);
    int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!in.digits(4, year) || !in.literal('-') || !in.digits(2, month) || !in.literal('-') || !in.digits(2, day))
        return std::nullopt;
    if (!in.literal('T') || !in.digits(2, hour) || !in.literal(':') || !in.digits(2, minute) || !in.literal(':') ||
        !in.digits(2, second))
        return std::nullopt;
    double fraction = 0;
    if (in.literal('.') && !in.fraction(fraction))
        return std::nullopt;
    const auto offset = zoneOffsetSeconds(in);
    if (!offset || !in.atEnd())
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const int64_t whole = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - *offset;
    return static_cast<double>(whole) + fraction;
}

std::string refreshZone()
{
    static std::mutex lock;
    const std::lock_guard<std::mutex> guard(lock);
    captureLocalZone();
    // tzset re-reads TZ, or the system zone file when it changed; a change between the two readings is caught
    // by reading the name again.
    std::string before = zoneId();
    for (int attempt = 0; attempt < 3; ++attempt) {
        tzset();
        std::string after = zoneId();
        if (after == before)
            return after;
        before = std::move(after);
    }
    return before;
}

std::string zoneId()
{
    if (const char* tz = std::getenv("TZ"))
        return "TZ=" + std::string(tz);
    std::error_code ec;
    const auto target = std::filesystem::canonical("/etc/localtime", ec);
    return "localtime=" + (ec ? std::string("?") : target.string());
}

std::optional<int64_t> civilDayNumber(int64_t year, int64_t month, int64_t day)
{
    constexpr int64_t kLimit = 1'000'000'000;
    if (std::abs(year) > kLimit || std::abs(month) > kLimit || std::abs(day) > 1000 * kLimit)
        return std::nullopt;
    const int64_t monthIndex = month - 1;
    const int64_t yearShift = monthIndex >= 0 ? monthIndex / 12 : -((11 - monthIndex) / 12);
    const int64_t normalMonth = monthIndex - yearShift * 12 + 1;
    return daysFromCivil(year + yearShift, normalMonth, 1) + day - 1;
}

std::string dateKey(double t)
{
    std::tm tm{};
    if (!localTime(t, tm))
        return "0000-00-00";
    return formatDay(tm);
}

int hourOf(double t)
{
    std::tm tm{};
    return localTime(t, tm) ? tm.tm_hour : -1;
}

const LocalClock::Slot& LocalClock::at(double t)
{
    const auto quarter = static_cast<int64_t>(std::floor(t / 900.0));
    if (quarter != m_quarter) {
        std::tm tm{};
        if (localTime(t, tm)) {
            m_slot.dayKey = formatDay(tm);
            m_slot.hour = tm.tm_hour;
        } else {
            m_slot.dayKey = "0000-00-00";
            m_slot.hour = -1;
        }
        m_quarter = quarter;
    }
    return m_slot;
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
    return civilDayNumber(parts[0], parts[1], parts[2]).value_or(0);
}

double now()
{
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

} // namespace TimeKit
