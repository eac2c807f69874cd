#include "ui/notch/NotchController.h"

#include "prefs/Prefs.h"
#include "tests/support/PrefsGuard.h"
#include "tests/ui/SampleStats.h"
#include "ui/notch/NotchContentView.h"
#include "ui/notch/NotchPanel.h"

#include <QPropertyAnimation>
#include <cmath>
#include <gtest/gtest.h>

namespace {

class NotchControllerTest : public ::testing::Test
{
protected:
    PrefsGuard guard;
    NotchController notch{[] { return std::vector<ScreenGeometry>{{QRectF(0, 0, 1440, 900)}}; }};

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

TEST_F(NotchControllerTest, ExtremeSizesStayOnTheScreen)
{
    Prefs::setInteger(PrefKey::NotchWidthOffset, -1000);
    EXPECT_EQ(collapsed().width(), 40) << "no narrower than 40";
    Prefs::setReal(PrefKey::NotchFlare, std::nan(""));
    EXPECT_EQ(collapsed().width(), 40) << "a flare that is no number counts as the narrowest";
    Prefs::setInteger(PrefKey::NotchWidthOffset, 100000);
    Prefs::setInteger(PrefKey::NotchHeightOffset, 100000);
    EXPECT_EQ(collapsed(), QRect(0, 0, 1440, 900)) << "no larger than the screen";
    Prefs::setInteger(PrefKey::NotchHeightOffset, -1000);
    EXPECT_EQ(collapsed().height(), 20) << "no lower than 20";
}

TEST_F(NotchControllerTest, AnOffsetFarOutLeavesAGrabbablePartOnTheScreen)
{
    Prefs::setInteger(PrefKey::NotchXOffset, 5000);
    EXPECT_EQ(collapsed().left(), 1400);
    EXPECT_EQ(notch.frameFor(true).left(), 1400);
    Prefs::setInteger(PrefKey::NotchXOffset, -5000);
    EXPECT_EQ(collapsed().right(), 39);
    EXPECT_EQ(Prefs::integer(PrefKey::NotchXOffset), -5000) << "the stored value stays as the user set it";
}
