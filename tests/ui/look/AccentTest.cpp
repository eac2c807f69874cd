#include "ui/look/Accent.h"

#include "prefs/Prefs.h"
#include "tests/support/PrefsGuard.h"
#include "ui/look/Font.h"
#include "ui/look/Theme.h"

#include <QFontInfo>
#include <gtest/gtest.h>

TEST(AccentTest, SixThemesInOrderWithCobaltFirst)
{
    const auto& all = Accent::all();
    ASSERT_EQ(all.size(), 6u);
    const char* names[] = {"Cobalt", "Lime", "Magenta", "Amber", "Cyan", "Violet"};
    for (size_t i = 0; i < all.size(); ++i)
        EXPECT_EQ(all[i].name, QString::fromLatin1(names[i]));
    EXPECT_EQ(all[0].color, Theme::blue());
    EXPECT_EQ(all[0].dark, Theme::blueDark());
    EXPECT_EQ(all[1].color, QColor(184, 255, 46));
}

TEST(AccentTest, CurrentFollowsTheClampedPreference)
{
    PrefsGuard guard;
    EXPECT_EQ(Accent::current().name, QStringLiteral("Cobalt"));
    Prefs::setInteger(PrefKey::AccentTheme, 2);
    EXPECT_EQ(Accent::current().name, QStringLiteral("Magenta"));
    Prefs::setInteger(PrefKey::AccentTheme, 99);
    EXPECT_EQ(Accent::current().name, QStringLiteral("Violet"));
}

TEST(AccentTest, DimKeepsLessRedAndGreenThanBlue)
{
    const QColor dim = Accent::all()[0].dim();
    EXPECT_NEAR(dim.redF(), 61 / 255.0 * 0.45, 1e-3);
    EXPECT_NEAR(dim.greenF(), 123 / 255.0 * 0.45, 1e-3);
    EXPECT_NEAR(dim.blueF(), 240 / 255.0 * 0.5, 1e-3);
    EXPECT_EQ(dim.alpha(), 255);
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
