#include "ui/look/Accent.h"

#include "prefs/Prefs.h"
#include "tests/support/PrefsGuard.h"
#include "ui/look/Font.h"
#include "ui/look/Theme.h"

#include <QFontInfo>
#include <gtest/gtest.h>

TEST(AccentTest, CurrentFollowsTheClampedPreferenceWithCobaltFirst)
{
    PrefsGuard guard;
    EXPECT_EQ(Accent::current().name, QStringLiteral("Cobalt"));
    EXPECT_EQ(Accent::current().color, Theme::blue());
    Prefs::setInteger(PrefKey::AccentTheme, 2);
    EXPECT_EQ(Accent::current().name, QStringLiteral("Magenta"));
    Prefs::setInteger(PrefKey::AccentTheme, 99);
    EXPECT_EQ(Accent::current().name, QStringLiteral("Violet"));
    EXPECT_EQ(Accent::all().size(), 6u);
}

TEST(FontTest, PixelFontOrMonospacedFallbackAtThePixelSize)
{
    const QFont font = Font::pixel(13);
    EXPECT_EQ(font.pixelSize(), 13);
    if (Font::pixelFontAvailable())
        EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("Departure Mono"));
    else
        EXPECT_TRUE(QFontInfo(font).fixedPitch());
}
