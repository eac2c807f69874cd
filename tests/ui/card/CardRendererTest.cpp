#include "ui/card/CardRenderer.h"

#include "prefs/Prefs.h"
#include "tests/support/PrefsGuard.h"
#include "tests/ui/SampleStats.h"
#include "ui/look/Accent.h"
#include "ui/look/Font.h"
#include "ui/look/Theme.h"
#include "ui/notch/PixelIcon.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

int countPixels(const QImage& image, const QRect& area, const std::function<bool(QColor)>& matches)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += matches(image.pixelColor(x, y)) ? 1 : 0;
    return count;
}

class CardRendererTest : public ::testing::Test
{
protected:
    PrefsGuard guard;
};

} // namespace

TEST_F(CardRendererTest, IsTheLinkPreviewSizeAndItsPngDecodesToTheSameCard)
{
    const QImage card = CardRenderer::image(sampleStats());
    EXPECT_EQ(card.size(), QSize(1200, 630));
    const auto png = CardRenderer::pngData(sampleStats());
    ASSERT_TRUE(png.has_value());
    EXPECT_EQ(QImage::fromData(*png, "PNG").convertToFormat(QImage::Format_ARGB32),
              card.convertToFormat(QImage::Format_ARGB32));
}

TEST_F(CardRendererTest, OnlyTheCostIsInTheAccentTheFooterNamesTheTopModelAndTexturesMarkTheMargin)
{
    const QImage card = CardRenderer::image(sampleStats());
    const QRect tokensValue(88, 390, 300, 60);
    const QRect costValue(456, 390, 300, 60);
    const auto in = [](QColor colour) { return [colour](QColor c) { return c == colour; }; };
    EXPECT_GT(countPixels(card, costValue, in(Theme::blue())), 50);
    EXPECT_EQ(countPixels(card, tokensValue, in(Theme::blue())), 0);
    EXPECT_GT(countPixels(card, tokensValue, in(Theme::fg())), 50);
    Prefs::setInteger(PrefKey::AccentTheme, 2);
    EXPECT_GT(countPixels(CardRenderer::image(sampleStats()), costValue, in(Accent::all()[2].color)), 50);

    // Without a top model the footer shows a dash and nothing after it.
    const auto bright = [](QColor c) { return c.lightness() > 150; };
    const QRect afterDash(215, 530, 300, 22);
    EXPECT_EQ(countPixels(card, afterDash, bright), 0);
    Stats withModel = sampleStats();
    withModel.topModel = "claude-opus-4-1";
    EXPECT_GT(countPixels(CardRenderer::image(withModel), afterDash, bright), 0);
}

TEST_F(CardRendererTest, EarnedBadgesAndOnlyThoseAreDrawnInTheHeaderRow)
{
    Stats earned = sampleStats();
    for (const auto& [id, won] : {std::pair{"first-blood", true}, {"ten-k", false}, {"hundred-k", true}})
        earned.badges.push_back(Badge{id, "", id, "", won});
    Stats none = earned;
    for (Badge& badge : none.badges)
        badge.earned = false;
    const QImage card = CardRenderer::image(earned);
    QImage withoutIcons = CardRenderer::image(none);
    // The icons end 18 left of the "ALL-TIME" label.
    const double allTime = QFontMetricsF(Font::pixel(16)).horizontalAdvance(QStringLiteral("ALL-TIME"));
    const QRect row(700, 87, static_cast<int>(std::ceil(1140 - allTime - 18)) - 700, 18);
    for (const char* id : {"first-blood", "hundred-k", "ten-k"})
        EXPECT_EQ(countPixels(card, row, [&](QColor c) { return c == PixelIcon::color(id); }) > 0, id[0] != 't') << id;
    QPainter eraser(&withoutIcons);
    eraser.drawImage(row, card, row);
    eraser.end();
    EXPECT_EQ(withoutIcons, card) << "something outside the badge row moved";

    const auto margin = [](int texture, QPoint at) {
        Prefs::setInteger(PrefKey::CardBackground, texture);
        return CardRenderer::image(sampleStats()).pixelColor(at).lightness();
    };
    EXPECT_EQ(margin(1, {10, 600}), margin(1, {10, 602})) << "solid";
    for (int texture : {0, 7}) // scanlines, also for values it does not know
        EXPECT_LT(margin(texture, {10, 600}), margin(texture, {10, 602})) << texture;
    EXPECT_GT(margin(2, {10, 600}), margin(2, {10, 500})) << "streaks are diagonal bands";
}
