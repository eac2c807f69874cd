#include "ui/notch/NotchController.h"

#include "prefs/Prefs.h"
#include "tests/support/PrefsGuard.h"
#include "ui/notch/NotchContentView.h"
#include "ui/notch/NotchPanel.h"

#include <QApplication>
#include <QPropertyAnimation>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

ScreenGeometry plainScreen()
{
    ScreenGeometry screen;
    screen.frame = QRectF(0, 0, 1440, 900);
    return screen;
}

// A screen to the right of the plain one whose camera housing spans x 2096 to 2296, centred on 2196.
ScreenGeometry screenWithHousing()
{
    ScreenGeometry screen;
    screen.frame = QRectF(1440, -200, 1512, 982);
    screen.safeAreaTop = 32;
    screen.auxiliaryTopLeft = QRectF(1440, -200, 656, 32);
    screen.auxiliaryTopRight = QRectF(2296, -200, 656, 32);
    return screen;
}

std::function<std::vector<ScreenGeometry>()> fixed(std::vector<ScreenGeometry> screens)
{
    return [screens] { return screens; };
}

} // namespace

TEST(NotchControllerTest, CentresOnTheHousingOrTheScreenAndWidensForTheRightWing)
{
    PrefsGuard guard;
    NotchController notch(fixed({plainScreen()}));
    EXPECT_EQ(notch.panel()->geometry(), QRect(630, 0, 180, 32));
    Prefs::setInteger(PrefKey::NotchHeightOffset, -20);
    Prefs::setInteger(PrefKey::NotchWidthOffset, 10);
    Prefs::setInteger(PrefKey::NotchXOffset, 7);
    EXPECT_EQ(notch.frameFor(false), QRect(632, 0, 190, 20));
    EXPECT_EQ(notch.frameFor(true), QRect(486, 0, 482, 330));

    Stats stats;
    Prefs::setInteger(PrefKey::WingStat, 4);
    stats.cost = 123456789; // "$123456.8k"
    notch.content()->stats = stats;
    const double textWidth = notch.content()->rightStatWidth();
    ASSERT_GT(textWidth, 44);
    EXPECT_EQ(notch.frameFor(false).width(), qRound(190 + textWidth - 44));

    PrefsGuard reset;
    EXPECT_EQ(NotchController(fixed({})).frameFor(false), QRect(-90, 0, 180, 32)) << "no screen: the defaults";
    NotchController housed(fixed({plainScreen(), screenWithHousing()}));
    EXPECT_EQ(housed.frameFor(false), QRect(2030, -200, 332, 32)) << "the housing's 200 plus 55 on either side";
    Prefs::setReal(PrefKey::NotchFlare, 20);
    EXPECT_EQ(housed.frameFor(false), QRect(2021, -200, 350, 32));
}

TEST(NotchControllerTest, HidingStopsTheSpriteTimerAndShowingRestartsIt)
{
    PrefsGuard guard;
    NotchController notch(fixed({plainScreen()}));
    notch.setHidden(true);
    EXPECT_TRUE(notch.hidden());
    EXPECT_FALSE(notch.panel()->isVisible());
    EXPECT_FALSE(notch.content()->isAnimating());

    Prefs::setInteger(PrefKey::NotchXOffset, 50);
    notch.setHidden(false);
    EXPECT_FALSE(notch.hidden());
    EXPECT_TRUE(notch.panel()->isVisible());
    EXPECT_TRUE(notch.content()->isAnimating());
    EXPECT_EQ(notch.panel()->geometry(), QRect(680, 0, 180, 32));
}

TEST(NotchControllerTest, HoverRequestsAnimateThePanelOnlyOnAChange)
{
    PrefsGuard guard;
    NotchController notch(fixed({plainScreen()}));
    notch.panel()->show();
    notch.content()->onExpandChange(false);
    EXPECT_FALSE(notch.animating());

    notch.content()->onExpandChange(true);
    EXPECT_TRUE(notch.content()->expanded);
    ASSERT_TRUE(notch.animating());
    auto* animation = notch.panel()->findChild<QPropertyAnimation*>();
    animation->setCurrentTime(animation->duration()); // run to its end without waiting
    EXPECT_FALSE(notch.animating());
    EXPECT_EQ(notch.panel()->geometry(), QRect(479, 0, 482, 330));
    EXPECT_EQ(notch.content()->geometry(), QRect(0, 0, 482, 330));

    notch.content()->onExpandChange(true);
    EXPECT_FALSE(notch.animating());
}

TEST(NotchControllerTest, ExtremeOffsetsLeaveAGrabbablePartOnTheScreen)
{
    PrefsGuard guard;
    NotchController notch(fixed({plainScreen()}));
    Prefs::setInteger(PrefKey::NotchWidthOffset, -1000);
    EXPECT_EQ(notch.frameFor(false), QRect(700, 0, 40, 32)) << "no narrower than 40, still centred";
    Prefs::setInteger(PrefKey::NotchWidthOffset, 100000);
    Prefs::setInteger(PrefKey::NotchHeightOffset, 100000);
    EXPECT_EQ(notch.frameFor(false), QRect(0, 0, 1440, 900)) << "no larger than the screen";

    Prefs::setInteger(PrefKey::NotchWidthOffset, 0);
    Prefs::setInteger(PrefKey::NotchHeightOffset, 0);
    Prefs::setInteger(PrefKey::NotchXOffset, 5000);
    EXPECT_EQ(notch.frameFor(false), QRect(1400, 0, 180, 32));
    EXPECT_EQ(notch.frameFor(true), QRect(1400, 0, 482, 330));
    Prefs::setInteger(PrefKey::NotchXOffset, -5000);
    EXPECT_EQ(notch.frameFor(false), QRect(-140, 0, 180, 32));
    Prefs::setReal(PrefKey::NotchFlare, std::nan(""));
    Prefs::setInteger(PrefKey::NotchXOffset, 0);
    EXPECT_EQ(notch.frameFor(false), QRect(700, 0, 40, 32)) << "a flare that is no number";

    Prefs::setInteger(PrefKey::NotchXOffset, -5000);
    notch.relayout();
    EXPECT_EQ(notch.panel()->geometry(), QRect(0, 0, 40, 32));
    EXPECT_EQ(Prefs::integer(PrefKey::NotchXOffset), -5000) << "the stored value stays as the user set it";
}
