#include "core/TimeKit.h"

#include "tests/support/ZoneGuard.h"

#include <gtest/gtest.h>

TEST(TimeKitTest, ParsesInternetDateTimesWithAndWithoutFraction)
{
    EXPECT_EQ(TimeKit::epoch("1970-01-01T00:00:00Z"), 0.0);
    EXPECT_EQ(TimeKit::epoch("2025-01-01T00:00:00Z"), 1735689600.0);
    EXPECT_EQ(TimeKit::epoch("2025-01-01T00:00:00.250Z"), 1735689600.25);
    EXPECT_EQ(TimeKit::epoch("2025-03-14T09:26:53.589Z"), 1741944413.589);
    EXPECT_EQ(TimeKit::epoch("2025-03-14T11:26:53+02:00"), TimeKit::epoch("2025-03-14T09:26:53Z"));
    EXPECT_EQ(TimeKit::epoch("2025-03-14T04:56:53-04:30"), TimeKit::epoch("2025-03-14T09:26:53Z"));
    EXPECT_EQ(TimeKit::epoch("1969-12-31T23:59:59Z"), -1.0);
    EXPECT_EQ(TimeKit::epoch("2024-02-29T12:00:00Z"), 1709208000.0);
}

TEST(TimeKitTest, RejectsTextsThatAreNotInternetDateTimes)
{
    for (const char* text :
         {"", "2025-01-01 00:00:00", "2025-01-01T00:00:00", "2025-01-01", "1735689600", "2025-01-01T00:00:00.Z",
          "2025-13-01T00:00:00Z", "2025-02-29T00:00:00Z", "2025-01-32T00:00:00Z", "2025-01-01T24:00:00Z",
          "2025-01-01T00:60:00Z", "2025-01-01T00:00:60Z", "2025-01-01T00:00:00+0200", "2025-01-01T00:00:00Z ",
          " 2025-01-01T00:00:00Z", "2025-1-01T00:00:00Z", "25-01-01T00:00:00Z", "2025-01-01T00:00:00+24:00"})
        EXPECT_FALSE(TimeKit::epoch(text).has_value()) << text;
}

TEST(TimeKitTest, DayKeysAndHoursFollowTheLocalZone)
{
    const double lateEvening = *TimeKit::epoch("2025-01-01T23:30:00Z");
    {
        ZoneGuard zone("UTC");
        EXPECT_EQ(TimeKit::dateKey(lateEvening), "2025-01-01");
        EXPECT_EQ(TimeKit::hourOf(lateEvening), 23);
    }
    {
        ZoneGuard zone("EET-2");
        EXPECT_EQ(TimeKit::dateKey(lateEvening), "2025-01-02");
        EXPECT_EQ(TimeKit::hourOf(lateEvening), 1);
    }
    {
        ZoneGuard zone("America/Los_Angeles");
        EXPECT_EQ(TimeKit::dateKey(lateEvening), "2025-01-01");
        EXPECT_EQ(TimeKit::hourOf(lateEvening), 15);
    }
}

TEST(TimeKitTest, PadsSmallYearsToFourDigits)
{
    ZoneGuard zone("UTC");
    EXPECT_EQ(TimeKit::dateKey(*TimeKit::epoch("0999-06-15T12:00:00Z")), "0999-06-15");
}

TEST(TimeKitTest, LocalClockMatchesDirectConversionAcrossDaylightSavingChanges)
{
    ZoneGuard zone("America/New_York");
    TimeKit::LocalClock clock;
    // Walk across the spring-forward night in ten-minute steps, as log lines would.
    const double start = *TimeKit::epoch("2025-03-09T04:00:00Z");
    for (double t = start; t < start + 8 * 3600; t += 600) {
        const auto& slot = clock.at(t);
        EXPECT_EQ(slot.dayKey, TimeKit::dateKey(t));
        EXPECT_EQ(slot.hour, TimeKit::hourOf(t));
    }
    EXPECT_EQ(clock.at(*TimeKit::epoch("2025-03-09T06:59:00Z")).hour, 1);
    EXPECT_EQ(clock.at(*TimeKit::epoch("2025-03-09T07:00:00Z")).hour, 3);
}

TEST(TimeKitTest, LocalClockHandlesHalfAndQuarterHourZones)
{
    ZoneGuard zone("Asia/Kathmandu");
    TimeKit::LocalClock clock;
    const double t = *TimeKit::epoch("2025-05-01T18:14:59Z");
    EXPECT_EQ(clock.at(t).dayKey, "2025-05-01");
    EXPECT_EQ(clock.at(t).hour, 23);
    EXPECT_EQ(clock.at(t + 1).dayKey, "2025-05-02");
    EXPECT_EQ(clock.at(t + 1).hour, 0);
}
