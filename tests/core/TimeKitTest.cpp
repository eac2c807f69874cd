#include "core/TimeKit.h"

#include "tests/support/ZoneGuard.h"

#include <gtest/gtest.h>
#include <tuple>

TEST(TimeKitTest, ParsesInternetDateTimesOnly)
{
    EXPECT_EQ(TimeKit::epoch("2025-01-01T00:00:00.250Z"), 1735689600.25);
    EXPECT_EQ(TimeKit::epoch("2025-03-14T04:56:53-04:30"), TimeKit::epoch("2025-03-14T09:26:53Z"));
    EXPECT_EQ(TimeKit::epoch("1969-12-31T23:59:59Z"), -1.0);
    for (const char* text : {"", "2025-01-01 00:00:00", "2025-01-01T00:00:00", "2025-01-01T00:00:00.Z",
                             "2025-02-29T00:00:00Z", "2025-01-01T24:00:00Z", "2025-01-01T00:00:00+0200",
                             "2025-01-01T00:00:00Z ", "2025-1-01T00:00:00Z", "2025-01-01T00:00:00+24:00"})
        EXPECT_FALSE(TimeKit::epoch(text).has_value()) << text;
}

TEST(TimeKitTest, DayNumbersCountFromTheEpochAndRollOver)
{
    EXPECT_EQ(TimeKit::dayNumber("1970-01-01"), 0);
    EXPECT_EQ(TimeKit::dayNumber("2025-03-07"), 20154);
    EXPECT_EQ(TimeKit::dayNumber("2025-02-30"), TimeKit::dayNumber("2025-03-02"));
    for (const char* malformed : {"", "2025-03", "2025-03-07-01"})
        EXPECT_EQ(TimeKit::dayNumber(malformed), 0) << malformed;
}

TEST(TimeKitTest, DayKeysAndHoursFollowTheLocalZone)
{
    const double lateEvening = *TimeKit::epoch("2025-01-01T23:30:00Z");
    for (const auto& [zone, day, hour] :
         {std::tuple{"UTC", "2025-01-01", 23}, {"EET-2", "2025-01-02", 1}, {"America/Los_Angeles", "2025-01-01", 15}}) {
        ZoneGuard guard(zone);
        EXPECT_EQ(TimeKit::dateKey(lateEvening), day) << zone;
        EXPECT_EQ(TimeKit::hourOf(lateEvening), hour) << zone;
    }
}

TEST(TimeKitTest, LocalClockMatchesDirectConversionAcrossClockChangesAndOddOffsets)
{
    // Across the spring-forward night in five-minute steps, as log lines would come, and in a zone 5:45 ahead.
    for (const auto& [zone, start] :
         {std::pair{"America/New_York", "2025-03-09T04:00:00Z"}, {"Asia/Kathmandu", "2025-05-01T14:00:00Z"}}) {
        ZoneGuard guard(zone);
        TimeKit::LocalClock clock;
        for (double t = *TimeKit::epoch(start); t < *TimeKit::epoch(start) + 8 * 3600; t += 300) {
            EXPECT_EQ(clock.at(t).dayKey, TimeKit::dateKey(t)) << zone << " " << t;
            EXPECT_EQ(clock.at(t).hour, TimeKit::hourOf(t)) << zone << " " << t;
        }
    }
}
