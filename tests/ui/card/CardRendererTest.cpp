#include "ui/card/CardRenderer.h"

#include "tests/ui/SampleStats.h"
#include "ui/look/Accent.h"
#include "ui/look/Font.h"
#include "ui/look/PixelIcon.h"
#include "ui/look/Theme.h"

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

QImage drawn(const Stats& stats, CardTexture texture = CardTexture::Scanlines, const QColor& accent = Theme::blue())
{
    return CardRenderer::image(stats, accent, texture);
}

std::function<bool(QColor)> is(QColor colour)
{
    return [colour](QColor c) { return c == colour; };
}

const QRect kTokensValue(88, 390, 300, 60);
const QRect kCostValue(456, 390, 300, 60);

} // namespace

TEST(CardRendererTest, ItsPngDecodesToTheSameCard)
{
    const QImage card = drawn(sampleStats());
    const auto png = CardRenderer::pngData(sampleStats(), Theme::blue(), CardTexture::Scanlines);
    ASSERT_TRUE(png.has_value());
    EXPECT_EQ(QImage::fromData(*png, "PNG").convertToFormat(QImage::Format_ARGB32),
              card.convertToFormat(QImage::Format_ARGB32));
}

TEST(CardRendererTest, OnlyTheCostIsInTheAccentGiven)
{
    const QColor magenta = Accent::of(AccentChoice::Magenta).color;
    const QImage card = drawn(sampleStats(), CardTexture::Scanlines, magenta);
    EXPECT_GT(countPixels(card, kCostValue, is(magenta)), 50);
    EXPECT_EQ(countPixels(card, kTokensValue, is(magenta)), 0);
    EXPECT_GT(countPixels(card, kTokensValue, is(Theme::fg())), 50);
}

TEST(CardRendererTest, FooterNamesTheTopModelOrADash)
{
    const auto bright = [](QColor c) { return c.lightness() > 150; };
    const QRect afterDash(215, 530, 300, 22);
    EXPECT_EQ(countPixels(drawn(sampleStats()), afterDash, bright), 0);
    Stats withModel = sampleStats();
    withModel.topModel = "claude-opus-4-1";
    EXPECT_GT(countPixels(drawn(withModel), afterDash, bright), 0);
}

TEST(CardRendererTest, OnlyEarnedBadgesAreDrawnInTheHeaderRow)
{
    Stats earned = sampleStats();
    for (const auto& [id, won] : {std::pair{"first-blood", true}, {"ten-k", false}, {"hundred-k", true}})
        earned.badges.push_back(Badge{id, "", id, "", won});
    Stats none = earned;
    for (Badge& badge : none.badges)
        badge.earned = false;
    const QImage card = drawn(earned);
    QImage withoutIcons = drawn(none);
    // The icons end 18 left of the "ALL-TIME" label.
    const double allTime = QFontMetricsF(Font::pixel(16)).horizontalAdvance(QStringLiteral("ALL-TIME"));
    const QRect row(700, 87, static_cast<int>(std::ceil(1140 - allTime - 18)) - 700, 18);
    for (const char* id : {"first-blood", "hundred-k", "ten-k"})
        EXPECT_EQ(countPixels(card, row, is(PixelIcon::color(id))) > 0, id[0] != 't') << id;
    QPainter eraser(&withoutIcons);
    eraser.drawImage(row, card, row);
    eraser.end();
    EXPECT_EQ(withoutIcons, card) << "something outside the badge row moved";
}

TEST(CardRendererTest, TexturesMarkTheMargin)
{
    const auto margin = [](CardTexture texture, QPoint at) {
        return drawn(sampleStats(), texture).pixelColor(at).lightness();
    };
    EXPECT_EQ(margin(CardTexture::Solid, {10, 600}), margin(CardTexture::Solid, {10, 602}));
    EXPECT_LT(margin(CardTexture::Scanlines, {10, 600}), margin(CardTexture::Scanlines, {10, 602}));
    EXPECT_GT(margin(CardTexture::LightStreaks, {10, 600}), margin(CardTexture::LightStreaks, {10, 500}))
        << "streaks are diagonal bands";
}
