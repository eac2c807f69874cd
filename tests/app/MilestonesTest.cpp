#include "app/Milestones.h"

#include "core/Score.h"
#include "prefs/Prefs.h"
#include "tests/support/PrefsGuard.h"

#include <gtest/gtest.h>

namespace {

Stats withLines(int64_t lines, int64_t longestStreak = 0)
{
    Stats s;
    s.linesAdded = lines;
    s.streakLongest = longestStreak;
    s.badges = Score::badgesFor(0, 0, s.byHour, 0, 0, 0, 0);
    return s;
}

} // namespace

TEST(MilestonesTest, HundredThousandLinesALongerStreakOrANewBadgeAfterTheFirstRecord)
{
    PrefsGuard guard;
    EXPECT_FALSE(Milestones::detect(std::nullopt, withLines(250000))) << "a fresh installation records only";
    Prefs::setInteger(PrefKey::MsLines, 199999);
    EXPECT_TRUE(Milestones::detect(std::nullopt, withLines(200000)));
    Prefs::setInteger(PrefKey::MsLines, 150000);
    EXPECT_FALSE(Milestones::detect(std::nullopt, withLines(180000)));
    EXPECT_FALSE(Milestones::detect(std::nullopt, withLines(90000)));
    EXPECT_TRUE(Milestones::detect(std::nullopt, withLines(100000))) << "the lower figure was stored";

    Prefs::setInteger(PrefKey::MsStreak, 5);
    EXPECT_TRUE(Milestones::detect(std::nullopt, withLines(100000, 6)));
    EXPECT_FALSE(Milestones::detect(std::nullopt, withLines(100000, 4)));
    EXPECT_FALSE(Milestones::detect(std::nullopt, withLines(100000, 6))) << "the longest streak never decreases";

    Stats earned = withLines(100000, 6);
    earned.badges[3].earned = true;
    EXPECT_FALSE(Milestones::detect(std::nullopt, earned));
    EXPECT_TRUE(Milestones::detect(withLines(100000, 6), earned));
    EXPECT_FALSE(Milestones::detect(earned, earned));
}
