#include "bench/IsoTime.h"

namespace {

// Howard Hinnant's civil_from_days: the proleptic Gregorian date of a day count since 1970-01-01.
void civilFromDays(int64_t days, CivilTime& out)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    out.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    out.month = static_cast<int>(month);
    out.year = yoe + era * 400 + (month <= 2 ? 1 : 0);
}

char* digits(char* p, int64_t value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        p[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return p + width;
}

} // namespace

CivilTime civilTime(int64_t ms)
{
    CivilTime out;
    const int64_t dayMs = 86'400'000;
    const int64_t days = ms >= 0 ? ms / dayMs : (ms - dayMs + 1) / dayMs;
    const int64_t inDay = ms - days * dayMs;
    civilFromDays(days, out);
    out.hour = static_cast<int>(inDay / 3'600'000);
    out.minute = static_cast<int>(inDay / 60'000 % 60);
    out.second = static_cast<int>(inDay / 1000 % 60);
    out.millisecond = static_cast<int>(inDay % 1000);
    return out;
}

std::string_view IsoTime::format(int64_t ms)
{
    const CivilTime t = civilTime(ms);
    char* p = digits(m_text, t.year, 4);
    *p++ = '-';
    p = digits(p, t.month, 2);
    *p++ = '-';
    p = digits(p, t.day, 2);
    *p++ = 'T';
    p = digits(p, t.hour, 2);
    *p++ = ':';
    p = digits(p, t.minute, 2);
    *p++ = ':';
    p = digits(p, t.second, 2);
    *p++ = '.';
    p = digits(p, t.millisecond, 3);
    *p++ = 'Z';
    return std::string_view(m_text, static_cast<size_t>(p - m_text));
}
