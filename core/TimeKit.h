#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// Time operations shared by both readers: internet date-times to epoch seconds, epoch seconds to local days.
namespace TimeKit {

/// Seconds since the Unix epoch of an internet date-time such as 2025-03-14T09:26:53.589Z or
/// 2025-03-14T11:26:53+02:00; absent when the text is not one (a zone designator is required).
std::optional<double> epoch(std::string_view text);

/// The local calendar day of an epoch time, written YYYY-MM-DD.
std::string dateKey(double t);

/// The local hour of day (0-23) of an epoch time.
int hourOf(double t);

/// Makes this process's local days and hours follow the local zone as it is now (the TZ variable, or the system
/// zone file it defaults to) and returns its name, as zoneId gives it. A build calls it once, so that the day keys
/// it makes and the zone it records come from one reading, even when the zone changed since the last build.
std::string refreshZone();

/// Names the local zone in force (the TZ value, or the system zone file it defaults to), so that results holding
/// local day keys can tell whether they were made under the same zone.
std::string zoneId();

/// Days since 1970-01-01 of a proleptic Gregorian date; months and days outside their range roll over into the
/// neighbouring ones. Absent for dates too far out to compute.
std::optional<int64_t> civilDayNumber(int64_t year, int64_t month, int64_t day);

/// The day count of a YYYY-MM-DD key read as a UTC date (1970-01-01 is 0; out-of-range months and days roll
/// over); 0 for a malformed key.
int64_t dayNumber(std::string_view key);

/// The current time in epoch seconds.
double now();

/// Local day and hour of an epoch time, remembering the last quarter hour asked for: log lines come in time
/// order, and every time zone in use today changes its offset only on quarter-hour boundaries.
class LocalClock
{
public:
    struct Slot
    {
        std::string dayKey;
        int hour = -1;
    };

    const Slot& at(double t);

private:
    int64_t m_quarter = INT64_MIN;
    Slot m_slot;
};

} // namespace TimeKit
