#include "ui/notch/NotchController.h"

#include "prefs/Prefs.h"
#include "tests/support/PrefsGuard.h"
#include "ui/notch/NotchContentView.h"
#include "ui/notch/NotchPanel.h"

#include <QPropertyAnimation>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// A plain 1440 x 900 screen, and one to its right whose camera housing spans x 2096 to 2296.
ScreenGeometry screen(bool housing = false)
{
    ScreenGeometry s;
    s.frame = housing ? QRectF(1440, -200, 1512, 982) : QRectF(0, 0, 1440, 900);
    if (housing) {
        s.safeAreaTop = 32;
        s.auxiliaryTopLeft = QRectF(1440, -200, 656, 32);
        s.auxiliaryTopRight = QRectF(2296, -200, 656, 32);
    }
    return s;
}

class NotchControllerTest : public ::testing::Test
{
protected:
    PrefsGuard guard;
    NotchController notch{[] { return std::vector<ScreenGeometry>{screen()}; }};
};

} // namespace

TEST_F(NotchControllerTest, CentresOnTheHousingOrTheScreenAndWidensForTheRightWing)
{
    EXPECT_EQ(notch.panel()->geometry(), QRect(630, 0, 180, 32));
    Prefs::setInteger(PrefKey::NotchWidthOffset, 10);
    Prefs::setInteger(PrefKey::NotchXOffset, 7);
    EXPECT_EQ(notch.frameFor(false), QRect(632, 0, 190, 32));
    Stats stats;
    Prefs::setInteger(PrefKey::WingStat, 4);
    stats.cost = 123456789; // "$123456.8k"
    notch.content()->stats = stats;
    EXPECT_GT(notch.frameFor(false).width(), 190 + 20) << "room for the long figure";

    NotchController housed([] { return std::vector<ScreenGeometry>{screen(), screen(true)}; });
    PrefsGuard reset;
    EXPECT_EQ(housed.frameFor(false), QRect(2030, -200, 332, 32)) << "the housing's 200 plus 55 on either side";
    EXPECT_EQ(NotchController([] { return std::vector<ScreenGeometry>{}; }).frameFor(false), QRect(-90, 0, 180, 32))
        << "no screen: the defaults";
}

TEST_F(NotchControllerTest, HidingStopsTheSpriteTimerAndHoverAnimatesOnlyOnAChange)
{
    notch.setHidden(true);
    EXPECT_FALSE(notch.panel()->isVisible() || notch.content()->isAnimating());
    notch.setHidden(false);
    EXPECT_TRUE(notch.panel()->isVisible() && notch.content()->isAnimating());

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

TEST_F(NotchControllerTest, ExtremeOffsetsLeaveAGrabbablePartOnTheScreen)
{
    Prefs::setInteger(PrefKey::NotchWidthOffset, -1000);
    EXPECT_EQ(notch.frameFor(false), QRect(700, 0, 40, 32)) << "no narrower than 40, still centred";
    Prefs::setInteger(PrefKey::NotchWidthOffset, 100000);
    Prefs::setInteger(PrefKey::NotchHeightOffset, 100000);
    EXPECT_EQ(notch.frameFor(false), QRect(0, 0, 1440, 900)) << "no larger than the screen";
    Prefs::setInteger(PrefKey::NotchWidthOffset, 0);
    Prefs::setInteger(PrefKey::NotchHeightOffset, -1000);
    Prefs::setInteger(PrefKey::NotchXOffset, 5000);
    EXPECT_EQ(notch.frameFor(false), QRect(1400, 0, 180, 20)) << "40 wide stay on the screen, 20 high at least";
    EXPECT_EQ(notch.frameFor(true), QRect(1400, 0, 482, 330));
    Prefs::setReal(PrefKey::NotchFlare, std::nan(""));
    Prefs::setInteger(PrefKey::NotchXOffset, 0);
    EXPECT_EQ(notch.frameFor(false), QRect(700, 0, 40, 20)) << "a flare that is no number";

    Prefs::setInteger(PrefKey::NotchXOffset, -5000);
    notch.relayout();
    EXPECT_EQ(notch.panel()->geometry().right(), 39);
    EXPECT_EQ(Prefs::integer(PrefKey::NotchXOffset), -5000) << "the stored value stays as the user set it";
}
