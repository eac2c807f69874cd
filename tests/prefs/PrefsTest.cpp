#include "prefs/Prefs.h"

#include "tests/support/PrefsGuard.h"

#include <gtest/gtest.h>
#include <set>

namespace {

class PrefsTest : public ::testing::Test
{
protected:
    PrefsGuard guard;
};

} // namespace

TEST_F(PrefsTest, EveryKeyHasItsOwnNameAndValuesComeBackAsWritten)
{
    std::set<std::string> names;
    for (const PrefSpec& spec : Prefs::table()) {
        EXPECT_EQ(std::string(spec.name).rfind("korvel.", 0), 0u) << spec.name;
        EXPECT_TRUE(names.insert(spec.name).second) << spec.name;
        EXPECT_EQ(&Prefs::spec(spec.key), &spec);
    }
    EXPECT_FALSE(Prefs::has(PrefKey::MsLines));

    Prefs::setInteger(PrefKey::MsLines, 123456789012LL);
    Prefs::setReal(PrefKey::LastSyncTimestamp, 1765000000.25);
    Prefs::setText(PrefKey::LastSyncSignature, QStringLiteral("abc"));
    EXPECT_EQ(Prefs::integer(PrefKey::MsLines), 123456789012LL);
    EXPECT_EQ(Prefs::real(PrefKey::LastSyncTimestamp), 1765000000.25);
    EXPECT_EQ(Prefs::text(PrefKey::LastSyncSignature), QStringLiteral("abc"));
    Prefs::remove(PrefKey::MsLines);
    EXPECT_FALSE(Prefs::has(PrefKey::MsLines));
}

TEST_F(PrefsTest, ReadersKeepTheirDefaultsClampAndTreatAZeroShapeAsAbsent)
{
    EXPECT_TRUE(Prefs::streakProtection());
    EXPECT_TRUE(Prefs::leaderboardOptIn());
    Prefs::setFlag(PrefKey::LeaderboardOptIn, false);
    EXPECT_FALSE(Prefs::leaderboardOptIn());

    EXPECT_EQ(Prefs::expandedRound(), 16);
    Prefs::setReal(PrefKey::NotchFlare, 0.0);
    EXPECT_EQ(Prefs::notchFlare(), 11);
    Prefs::setReal(PrefKey::NotchFlare, 20);
    Prefs::setReal(PrefKey::NotchRound, 9);
    EXPECT_EQ(Prefs::notchFlare(), 20);
    EXPECT_EQ(Prefs::collapsedRound(), 9);
    EXPECT_EQ(Prefs::expandedRound(), 12);

    Prefs::setInteger(PrefKey::AccentTheme, -3);
    Prefs::setInteger(PrefKey::SpriteKind, 7);
    EXPECT_EQ(Prefs::accentTheme(), 0);
    EXPECT_EQ(Prefs::spriteKind(), 5);
}

TEST_F(PrefsTest, ResetAlignmentZeroesTheOffsetsOnly)
{
    Prefs::setInteger(PrefKey::NotchWidthOffset, 4);
    Prefs::setInteger(PrefKey::NotchXOffset, 8);
    Prefs::setReal(PrefKey::NotchFlare, 15);
    Prefs::resetNotchAlignment();
    EXPECT_EQ(Prefs::integer(PrefKey::NotchWidthOffset), 0);
    EXPECT_EQ(Prefs::integer(PrefKey::NotchXOffset), 0);
    EXPECT_EQ(Prefs::notchFlare(), 15);
}
