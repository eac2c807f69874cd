#include "ui/notch/NotchState.h"

#include "prefs/Prefs.h"
#include "tests/support/PrefsGuard.h"
#include "tests/ui/SampleStats.h"

#include <gtest/gtest.h>

TEST(NotchStateTest, WingValueFollowsTheChosenStatistic)
{
    const Stats stats = sampleStats();
    const std::pair<WingFigure, const char*> cases[] = {
        {WingFigure::LinesToday, "+12k"}, {WingFigure::CostToday, "$3.50"}, {WingFigure::Streak, "0d"},
        {WingFigure::TotalLines, "1.5k"}, {WingFigure::TotalCost, "$1.5k"}, {WingFigure::Tokens, "1.5M"},
        {WingFigure::Sessions, "42"}};
    for (const auto& [figure, text] : cases)
        EXPECT_EQ(wingValue(stats, figure).toStdString(), text) << static_cast<int>(figure);
}

TEST(NotchStateTest, AStateKeepsTheMotionItIsGiven)
{
    NotchState now;
    now.expanded = true;
    now.celebrating = true;
    now.celebrateFrames = 5;
    now.animFrame = 7;
    OverlayLook look;
    look.wing = WingFigure::Sessions;
    const NotchState next = NotchState::of(sampleStats(), true, look, now);
    EXPECT_TRUE(next.expanded && next.celebrating && next.amber && next.celebrateFrames == 5 && next.animFrame == 7);
    EXPECT_EQ(next.wingText, QStringLiteral("42"));
}

TEST(NotchStateTest, LookReadsTheStoredChoices)
{
    PrefsGuard guard;
    Prefs::setInteger(PrefKey::WingStat, 9);
    Prefs::setInteger(PrefKey::AccentTheme, 2);
    Prefs::setInteger(PrefKey::CardBackground, 7);
    Prefs::setReal(PrefKey::NotchRound, 9);
    const OverlayLook look = OverlayLook::current();
    EXPECT_EQ(look.wing, WingFigure::Sessions) << "any other value shows the sessions";
    EXPECT_EQ(look.accent.name, QStringLiteral("Magenta"));
    EXPECT_EQ(look.texture, CardTexture::Scanlines) << "an unknown texture draws scanlines";
    EXPECT_TRUE(look.collapsedRound == 9 && look.expandedRound == 12);
}
