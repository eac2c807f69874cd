#include "ui/card/CardRenderer.h"

#include "prefs/Prefs.h"
#include "tests/support/PrefsGuard.h"
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

const QColor kFrameFill(11, 13, 18);

Stats sampleStats()
{
    Stats stats;
    stats.since = "2025-03-07";
    stats.until = "2025-12-31";
    stats.linesAdded = 1000;
    stats.linesRemoved = 234;
    stats.tokensIn = 1.2e6;
    stats.tokensOut = 3e5;
    stats.cost = 1530;
    stats.streakLongest = 12;
    return stats;
}

int countPixels(const QImage& image, const QRect& area, const std::function<bool(QColor)>& matches)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += matches(image.pixelColor(x, y)) ? 1 : 0;
    return count;
}

} // namespace

TEST(CardRendererTest, IsTheLinkPreviewSizeAndItsPngDecodesToTheSameCard)
{
    PrefsGuard guard;
    const QImage card = CardRenderer::image(sampleStats());
    EXPECT_EQ(card.size(), QSize(1200, 630));
    EXPECT_EQ(card.devicePixelRatio(), 1.0);
    const auto png = CardRenderer::pngData(sampleStats());
    ASSERT_TRUE(png.has_value());
    EXPECT_EQ(QImage::fromData(*png, "PNG").convertToFormat(QImage::Format_ARGB32),
              card.convertToFormat(QImage::Format_ARGB32));
}

TEST(CardRendererTest, FrameAccentAndFooterArePlausible)
{
    PrefsGuard guard;
    Prefs::setInteger(PrefKey::CardBackground, 1);
    const QImage card = CardRenderer::image(sampleStats());
    EXPECT_EQ(card.pixelColor(19, 300), Theme::bg());
    EXPECT_EQ(card.pixelColor(22, 300), kFrameFill);

    // Only the cost cell's value is in the accent colour, and the accent bars follow the preference.
    const QRect tokensValue(88, 390, 300, 60);
    const QRect costValue(456, 390, 300, 60);
    EXPECT_GT(countPixels(card, costValue, [](QColor c) { return c == Theme::blue(); }), 50);
    EXPECT_EQ(countPixels(card, tokensValue, [](QColor c) { return c == Theme::blue(); }), 0);
    EXPECT_GT(countPixels(card, tokensValue, [](QColor c) { return c == Theme::fg(); }), 50);
    Prefs::setInteger(PrefKey::AccentTheme, 2);
    const QImage magenta = CardRenderer::image(sampleStats());
    for (const QPoint bar : {QPoint(63, 245), QPoint(799, 440)}) {
        EXPECT_EQ(card.pixelColor(bar), Theme::blue());
        EXPECT_EQ(magenta.pixelColor(bar), Accent::all()[2].color);
    }

    // Without a top model the footer shows a dash and nothing after it.
    auto isBright = [](QColor c) { return c.lightness() > 150; };
    const QRect dash(190, 530, 20, 22);
    const QRect afterDash(215, 530, 300, 22);
    EXPECT_GT(countPixels(card, dash, isBright), 0);
    EXPECT_EQ(countPixels(card, afterDash, isBright), 0);
    Stats withModel = sampleStats();
    withModel.topModel = "claude-opus-4-1";
    EXPECT_GT(countPixels(CardRenderer::image(withModel), afterDash, isBright), 0);
}

TEST(CardRendererTest, EarnedBadgesAndOnlyThoseAreDrawnInTheHeaderRow)
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
    EXPECT_EQ(countPixels(withoutIcons, row, [](QColor c) { return c == kFrameFill; }), row.width() * row.height());
    QPainter eraser(&withoutIcons);
    eraser.drawImage(row, card, row);
    eraser.end();
    EXPECT_EQ(withoutIcons, card) << "something outside the badge row moved";
}

TEST(CardRendererTest, TexturesMarkTheMargin)
{
    PrefsGuard guard;
    const auto margin = [](int texture, QPoint at) {
        Prefs::setInteger(PrefKey::CardBackground, texture);
        return CardRenderer::image(sampleStats()).pixelColor(at).lightness();
    };
    EXPECT_EQ(margin(1, {10, 600}), margin(1, {10, 602})) << "solid";
    for (int texture : {0, 7}) // scanlines, also for values it does not know
        EXPECT_LT(margin(texture, {10, 600}), margin(texture, {10, 602})) << texture;
    EXPECT_GT(margin(2, {10, 600}), margin(2, {10, 500})) << "streaks are diagonal bands";
}
