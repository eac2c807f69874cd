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
const QColor kFrameBorder(32, 35, 46);

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

Stats withBadges(std::initializer_list<std::pair<const char*, bool>> badges)
{
    Stats stats = sampleStats();
    for (const auto& [id, earned] : badges)
        stats.badges.push_back(Badge{id, "", id, "", earned});
    return stats;
}

QImage renderWithTexture(int64_t texture, const Stats& stats = sampleStats())
{
    Prefs::setInteger(PrefKey::CardBackground, texture);
    return CardRenderer::image(stats);
}

int countPixels(const QImage& image, const QRect& area, const std::function<bool(QColor)>& matches)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += matches(image.pixelColor(x, y)) ? 1 : 0;
    return count;
}

QRect inkBounds(const QImage& image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).alpha() > 128)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

double allTimeWidth()
{
    return QFontMetricsF(Font::pixel(16)).horizontalAdvance(QStringLiteral("ALL-TIME"));
}

} // namespace

TEST(CardRendererImageTest, IsTheLinkPreviewSizeAtOnePixelPerPoint)
{
    const QImage card = CardRenderer::image(sampleStats());
    EXPECT_EQ(card.size(), QSize(1200, 630));
    EXPECT_EQ(card.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(card.devicePixelRatio(), 1.0);
}

TEST(CardRendererImageTest, PngDecodesBackToTheSameCard)
{
    PrefsGuard guard;
    const auto png = CardRenderer::pngData(sampleStats());
    ASSERT_TRUE(png.has_value());
    const QImage decoded = QImage::fromData(*png, "PNG");
    ASSERT_EQ(decoded.size(), QSize(1200, 630));
    EXPECT_EQ(decoded.convertToFormat(QImage::Format_ARGB32),
              CardRenderer::image(sampleStats()).convertToFormat(QImage::Format_ARGB32));
}

TEST(CardRendererLayoutTest, BackgroundFrameAndBorderColours)
{
    PrefsGuard guard;
    const QImage card = renderWithTexture(1);
    EXPECT_EQ(card.pixelColor(5, 625), Theme::bg());
    EXPECT_EQ(card.pixelColor(40, 130), kFrameFill);
    EXPECT_EQ(card.pixelColor(20, 300), kFrameBorder);
    EXPECT_EQ(card.pixelColor(21, 300), kFrameBorder);
    EXPECT_EQ(card.pixelColor(22, 300), kFrameFill);
    EXPECT_EQ(card.pixelColor(19, 300), Theme::bg());
}

TEST(CardRendererLayoutTest, GlowLightensTheTopRightOutsideItsStartCircle)
{
    PrefsGuard guard;
    const QImage card = renderWithTexture(1);
    // The glow is centred at (1032, -40) and fades from radius 60 to 760; inside radius 60 it keeps its strongest
    // tint, so the top margin shows no dark disc.
    const QColor inside = card.pixelColor(1032, 5);
    EXPECT_GT(inside.blue(), Theme::bg().blue() + 10);
    EXPECT_GE(inside.blue(), card.pixelColor(1150, 10).blue());
    const QColor nearRing = card.pixelColor(1150, 10);
    EXPECT_GT(nearRing.blue(), Theme::bg().blue() + 10);
    EXPECT_GT(nearRing.blue(), card.pixelColor(1190, 400).blue());
    EXPECT_EQ(card.pixelColor(5, 400), Theme::bg());
}

TEST(CardRendererLayoutTest, AccentBarsFollowTheAccentPreference)
{
    PrefsGuard guard;
    const QPoint bars[] = {{63, 245}, {63, 440}, {431, 440}, {799, 440}};
    const QImage cobalt = CardRenderer::image(sampleStats());
    Prefs::setInteger(PrefKey::AccentTheme, 2);
    const QImage magenta = CardRenderer::image(sampleStats());
    for (const QPoint& bar : bars) {
        EXPECT_EQ(cobalt.pixelColor(bar), Theme::blue());
        EXPECT_EQ(magenta.pixelColor(bar), Accent::all()[2].color);
    }
}

TEST(CardRendererLayoutTest, OnlyTheCostCellValueIsInTheAccentColour)
{
    PrefsGuard guard;
    const QImage card = CardRenderer::image(sampleStats());
    auto isAccent = [](QColor c) { return c == Theme::blue(); };
    auto isFg = [](QColor c) { return c == Theme::fg(); };
    const QRect tokensValue(88, 390, 300, 60);
    const QRect costValue(456, 390, 300, 60);
    EXPECT_GT(countPixels(card, costValue, isAccent), 50);
    EXPECT_EQ(countPixels(card, costValue, isFg), 0);
    EXPECT_GT(countPixels(card, tokensValue, isFg), 50);
    EXPECT_EQ(countPixels(card, tokensValue, isAccent), 0);
}

TEST(CardRendererLayoutTest, LogoFillsItsSquareAndNothingAroundIt)
{
    const QImage card = CardRenderer::image(sampleStats());
    auto isFrame = [](QColor c) { return c == kFrameFill; };
    auto isLogo = [](QColor c) { return c != kFrameFill; };
    // The logo is an opaque square with rounded corners, so its middle row and column span the whole 44 pixels.
    EXPECT_EQ(countPixels(card, QRect(60, 76, 44, 1), isLogo), 44);
    EXPECT_EQ(countPixels(card, QRect(82, 54, 1, 44), isLogo), 44);
    EXPECT_EQ(countPixels(card, QRect(50, 40, 10, 70), isFrame), 10 * 70);
    EXPECT_EQ(countPixels(card, QRect(104, 40, 14, 70), isFrame), 14 * 70);
    EXPECT_EQ(countPixels(card, QRect(50, 44, 70, 10), isFrame), 70 * 10);
    EXPECT_EQ(countPixels(card, QRect(50, 98, 70, 10), isFrame), 70 * 10);
}

TEST(CardRendererLayoutTest, FooterShowsADashWithoutATopModel)
{
    auto isBright = [](QColor c) { return c.lightness() > 150; };
    const QRect dash(190, 530, 20, 22);
    const QRect afterDash(215, 530, 300, 22);
    const QImage noModel = CardRenderer::image(sampleStats());
    EXPECT_GT(countPixels(noModel, dash, isBright), 0);
    EXPECT_EQ(countPixels(noModel, afterDash, isBright), 0);
    EXPECT_GT(countPixels(noModel, QRect(60, 535, 120, 17), [](QColor c) { return c.lightness() > 60; }), 0);

    Stats stats = sampleStats();
    stats.topModel = "claude-opus-4-1";
    EXPECT_GT(countPixels(CardRenderer::image(stats), afterDash, isBright), 0);
}

TEST(CardRendererBadgeTest, NoEarnedBadgeDrawsNoIcon)
{
    const QImage card = CardRenderer::image(withBadges({{"first-blood", false}, {"ten-k", false}}));
    const int rowEnd = static_cast<int>(1140 - allTimeWidth() - 18);
    const QRect row(rowEnd - 200, 87, 200, 18);
    EXPECT_EQ(countPixels(card, row, [](QColor c) { return c == kFrameFill; }), row.width() * row.height());
}

TEST(CardRendererBadgeTest, FiveEarnedBadgesEndEighteenLeftOfAllTime)
{
    const Stats earned = withBadges({{"first-blood", true},
                                     {"ten-k", false},
                                     {"hundred-k", true},
                                     {"week-streak", true},
                                     {"month-streak", false},
                                     {"centurion", true},
                                     {"polyglot", true}});
    const char* shown[] = {"first-blood", "hundred-k", "week-streak", "centurion", "polyglot"};
    const QImage card = CardRenderer::image(earned);
    const double first = 1140 - allTimeWidth() - 18 - 130;
    // Row 5, column 4 of each of these glyphs is filled; its 2.25-pixel square fully covers this pixel.
    for (int i = 0; i < 5; ++i) {
        const int x = static_cast<int>(std::ceil(first + i * 28 + 4 * 2.25));
        EXPECT_EQ(card.pixelColor(x, 99), PixelIcon::color(shown[i])) << shown[i];
    }

    Stats none = earned;
    for (Badge& badge : none.badges)
        badge.earned = false;
    QImage withoutIcons = CardRenderer::image(none);
    QPainter eraser(&withoutIcons);
    const QRect row(static_cast<int>(std::floor(first)), 87, 131, 18);
    eraser.drawImage(row, card, row);
    eraser.end();
    EXPECT_EQ(withoutIcons, card) << "something outside the badge row moved";
}

TEST(CardRendererTextureTest, ScanlinesDarkenTwoRowsInFourForZeroAndUnknownValues)
{
    PrefsGuard guard;
    for (int texture : {0, 7}) {
        const QImage card = renderWithTexture(texture);
        for (int y = 600; y < 608; y += 4) {
            EXPECT_LT(card.pixelColor(10, y).lightness(), card.pixelColor(10, y + 2).lightness()) << texture;
            EXPECT_LT(card.pixelColor(10, y + 1).lightness(), card.pixelColor(10, y + 3).lightness()) << texture;
        }
    }
}

TEST(CardRendererTextureTest, SolidLeavesTheMarginUniform)
{
    PrefsGuard guard;
    const QImage card = renderWithTexture(1);
    EXPECT_EQ(countPixels(card, QRect(0, 560, 18, 70), [](QColor c) { return c == Theme::bg(); }), 18 * 70);
}

TEST(CardRendererTextureTest, StreaksLightenDiagonalBands)
{
    PrefsGuard guard;
    const QImage card = renderWithTexture(2);
    // Bands cover x - y in [-630, -570), [-450, -390), ...: (10, 600) and (38, 628) lie on the first, (10, 455) on the
    // second, (10, 500) between them.
    EXPECT_GT(card.pixelColor(10, 600).lightness(), Theme::bg().lightness());
    EXPECT_EQ(card.pixelColor(10, 600), card.pixelColor(38, 628));
    EXPECT_EQ(card.pixelColor(10, 600), card.pixelColor(10, 455));
    EXPECT_EQ(card.pixelColor(10, 500), Theme::bg());
}

TEST(CardRendererHelpersTest, TextSitsOnItsBaselineAtTheAlignedEdge)
{
    const QFont font = Font::pixel(22);
    for (int align : {CardRenderer::AlignLeft, CardRenderer::AlignCenter, CardRenderer::AlignRight}) {
        QImage canvas(300, 60, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        QPainter p(&canvas);
        const double width = CardRenderer::text(p, QStringLiteral("HHHH"), 150, 40, font, Qt::white, align);
        p.end();
        const QRect ink = inkBounds(canvas);
        const double shiftForAlign[] = {0, width / 2, width};
        EXPECT_NEAR(ink.left(), 150 - shiftForAlign[align], 4) << align;
        EXPECT_LE(ink.width(), width + 1) << align;
        EXPECT_NEAR(ink.bottom(), 39, 1) << align;
    }
}

TEST(CardRendererHelpersTest, PixelPanelDrawsATwoPixelBorderInsideTheFill)
{
    for (double radius : {0.0, 10.0}) {
        QImage canvas(100, 60, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        QPainter p(&canvas);
        p.setRenderHint(QPainter::Antialiasing);
        CardRenderer::pixelPanel(p, QRectF(10, 10, 80, 40), Qt::red, Qt::green, radius);
        p.end();
        EXPECT_EQ(canvas.pixelColor(10, 30), QColor(Qt::green));
        EXPECT_EQ(canvas.pixelColor(11, 30), QColor(Qt::green));
        EXPECT_EQ(canvas.pixelColor(12, 30), QColor(Qt::red));
        EXPECT_EQ(canvas.pixelColor(9, 30).alpha(), 0);
        EXPECT_EQ(canvas.pixelColor(10, 10).alpha() == 255, radius == 0) << radius;
        if (radius > 0) {
            // On a rounded corner the border follows the fill's curve instead of leaving fill outside it.
            const QColor corner = canvas.pixelColor(13, 13);
            EXPECT_GT(corner.green(), corner.red());
        }
    }
}

TEST(CardRendererHelpersTest, PixelBlockCastsAHardShadowDownAndRight)
{
    QImage canvas(80, 60, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter p(&canvas);
    CardRenderer::pixelBlock(p, QRectF(10, 10, 50, 30));
    p.end();
    EXPECT_EQ(canvas.pixelColor(62, 42), QColor(Qt::black));
    EXPECT_EQ(canvas.pixelColor(62, 15), QColor(Qt::black));
    EXPECT_EQ(canvas.pixelColor(62, 14).alpha(), 0);
    EXPECT_EQ(canvas.pixelColor(15, 42), QColor(Qt::black));
    EXPECT_EQ(canvas.pixelColor(14, 42).alpha(), 0);
    EXPECT_EQ(canvas.pixelColor(10, 20), QColor(35, 40, 56));
    EXPECT_EQ(canvas.pixelColor(30, 25), QColor(14, 16, 23));
}
