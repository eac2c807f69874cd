#include "ui/notch/NotchController.h"

#include "prefs/Prefs.h"
#include "tests/support/PrefsGuard.h"
#include "tests/ui/SampleStats.h"
#include "ui/notch/NotchContentView.h"
#include "ui/notch/NotchPanel.h"

#include <QPropertyAnimation>
#include <gtest/gtest.h>

namespace {

// A screen whose desktop panels take the given bands off its top and left edges.
ScreenGeometry screen(QRectF frame, double topPanel = 0, double leftPanel = 0)
{
    return {frame, frame.adjusted(leftPanel, topPanel, 0, 0)};
}

class NotchControllerTest : public ::testing::Test
{
protected:
    PrefsGuard guard;
    std::vector<ScreenGeometry> screens{screen(QRectF(0, 0, 1440, 900))};
    NotchController notch{[this] { return screens; }};

    QRect collapsed()
    {
        notch.relayout();
        return notch.panel()->geometry();
    }
};

} // namespace

TEST_F(NotchControllerTest, OffsetsShiftAndStretchThePanel)
{
    const QRect before = collapsed();
    Prefs::setInteger(PrefKey::NotchWidthOffset, 10);
    Prefs::setInteger(PrefKey::NotchXOffset, 8);
    const QRect after = collapsed();
    EXPECT_EQ(after.width(), before.width() + 10);
    EXPECT_EQ(after.center().x(), before.center().x() + 8);
}

TEST_F(NotchControllerTest, ALongFigureWidensTheCollapsedPanel)
{
    const int width = collapsed().width();
    Prefs::setInteger(PrefKey::WingStat, static_cast<int>(WingFigure::TotalCost));
    Stats stats = sampleStats();
    stats.cost = 123456789; // "$123456.8k"
    notch.present(stats, false);
    EXPECT_GT(notch.panel()->geometry().width(), width + 20);
}

TEST_F(NotchControllerTest, HangsFromTheLowerEdgeOfATopPanelOnThePrimaryScreen)
{
    const QRectF small(0, 0, 1440, 900);
    const QRectF large(1440, 0, 2560, 1440);
    const struct
    {
        std::vector<ScreenGeometry> screens;
        QPoint topLeft;
        const char* what;
    } cases[] = {
        {{screen(small)}, {630, 0}, "no panel"},
        {{screen(small, 32)}, {630, 32}, "a top bar"},
        {{screen(small, 0, 64)}, {630, 0}, "a dock on the left leaves the overlay at the screen's centre"},
        {{{small, small.adjusted(0, 0, 0, -48)}}, {630, 0}, "a bottom panel"},
        {{screen(large, 27), screen(small)}, {2630, 27}, "the primary screen right of the second"},
        {{screen(small), screen(large, 40)}, {630, 0}, "a panel on the second screen only"},
    };
    for (const auto& c : cases) {
        screens = c.screens;
        EXPECT_EQ(collapsed(), QRect(c.topLeft, QSize(180, 32))) << c.what;
        EXPECT_EQ(notch.frameFor(true).top(), c.topLeft.y()) << c.what;
    }
    screens = {screen(large, 27)};
    Prefs::setFlag(PrefKey::NotchAtScreenEdge, true);
    EXPECT_EQ(collapsed().topLeft(), QPoint(2630, 0)) << "hung from the very top when the user asks";
}

TEST_F(NotchControllerTest, WithoutAScreenThePanelStaysAtTheOrigin)
{
    NotchController lost([] { return std::vector<ScreenGeometry>{}; });
    EXPECT_EQ(lost.frameFor(false), QRect(-90, 0, 180, 32));
}

TEST_F(NotchControllerTest, HidingStopsTheSpriteTimer)
{
    notch.setHidden(true);
    EXPECT_FALSE(notch.panel()->isVisible() || notch.content()->isAnimating());
    notch.setHidden(false);
    EXPECT_TRUE(notch.panel()->isVisible() && notch.content()->isAnimating());
}

TEST_F(NotchControllerTest, HoverAnimatesToTheExpandedFrameOnlyOnAChange)
{
    notch.setHidden(false);
    notch.content()->onExpandChange(false);
    EXPECT_FALSE(notch.animating());
    notch.content()->onExpandChange(true);
    ASSERT_TRUE(notch.animating());
    auto* animation = notch.panel()->findChild<QPropertyAnimation*>();
    animation->setCurrentTime(animation->duration()); // run to its end without waiting
    EXPECT_FALSE(notch.animating());
    EXPECT_EQ(notch.panel()->geometry(), notch.frameFor(true));
    EXPECT_EQ(notch.content()->size(), notch.frameFor(true).size());
    notch.content()->onExpandChange(true);
    EXPECT_FALSE(notch.animating());
}

TEST_F(NotchControllerTest, ExtremeSizesStayOnTheScreenBelowItsPanel)
{
    screens = {screen(QRectF(0, 0, 1440, 900), 32)};
    notch.present(sampleStats(), false);
    Prefs::setInteger(PrefKey::WingStat, static_cast<int>(WingFigure::Streak));
    Prefs::setInteger(PrefKey::NotchWidthOffset, -80);
    const QRect narrowest = collapsed();
    const QRect wing = notch.content()->rightWingRect().toAlignedRect();
    EXPECT_LE(notch.content()->spriteRect().right(), wing.left()) << "the sprite stays clear of the right wing";
    Prefs::setInteger(PrefKey::NotchWidthOffset, -1000);
    EXPECT_EQ(collapsed(), narrowest) << "no narrower than both wings whole";
    Prefs::setInteger(PrefKey::NotchWidthOffset, 100000);
    Prefs::setInteger(PrefKey::NotchHeightOffset, 100000);
    EXPECT_EQ(collapsed(), QRect(0, 32, 1440, 868)) << "no larger than what the panel leaves";
    Prefs::setInteger(PrefKey::NotchHeightOffset, -1000);
    EXPECT_EQ(collapsed().height(), 20) << "no lower than 20";
}

TEST_F(NotchControllerTest, AnOffsetFarOutLeavesAGrabbablePartBesideTheDock)
{
    screens = {screen(QRectF(0, 0, 1440, 900), 0, 64)};
    Prefs::setInteger(PrefKey::NotchXOffset, 5000);
    EXPECT_EQ(collapsed().left(), 1400);
    EXPECT_EQ(notch.frameFor(true).left(), 1400);
    Prefs::setInteger(PrefKey::NotchXOffset, -5000);
    EXPECT_EQ(collapsed().right(), 64 + 39);
    EXPECT_EQ(Prefs::integer(PrefKey::NotchXOffset), -5000) << "the stored value stays as the user set it";
}
