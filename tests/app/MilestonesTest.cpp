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

class MilestonesTest : public ::testing::Test
{
protected:
    PrefsGuard guard;
};

} // namespace

TEST_F(MilestonesTest, EveryHundredThousandLinesAfterTheFirstRecord)
{
    EXPECT_FALSE(Milestones::detect(std::nullopt, withLines(250000))) << "a fresh installation records only";
    EXPECT_EQ(Prefs::integer(PrefKey::MsLines), 250000);
    Prefs::setInteger(PrefKey::MsLines, 199999);
    EXPECT_TRUE(Milestones::detect(std::nullopt, withLines(200000)));
    Prefs::setInteger(PrefKey::MsLines, 150000);
    EXPECT_FALSE(Milestones::detect(std::nullopt, withLines(180000)));
    EXPECT_FALSE(Milestones::detect(std::nullopt, withLines(90000)));
    EXPECT_EQ(Prefs::integer(PrefKey::MsLines), 90000) << "stored also when it went down";
}

TEST_F(MilestonesTest, ANewLongestStreak)
{
    Prefs::setInteger(PrefKey::MsStreak, 5);
    EXPECT_TRUE(Milestones::detect(std::nullopt, withLines(0, 6)));
    EXPECT_EQ(Prefs::integer(PrefKey::MsStreak), 6);
    EXPECT_FALSE(Milestones::detect(std::nullopt, withLines(0, 4)));
    EXPECT_EQ(Prefs::integer(PrefKey::MsStreak), 6) << "never decreases";
}

TEST_F(MilestonesTest, ANewlyEarnedBadgeNeedsAPreviousRecord)
{
    const Stats before = withLines(0);
    Stats after = withLines(0);
    after.badges[3].earned = true;
    EXPECT_FALSE(Milestones::detect(std::nullopt, after));
    EXPECT_TRUE(Milestones::detect(before, after));
    EXPECT_FALSE(Milestones::detect(after, after));
}
