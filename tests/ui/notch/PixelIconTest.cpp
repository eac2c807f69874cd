#include "ui/notch/PixelIcon.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const QColor kInk(255, 0, 0);

using Glyph = std::vector<std::string>;

std::string hex(const QColor& c)
{
    return c.name(QColor::HexArgb).toStdString();
}

QImage drawn(std::string_view id, const QRectF& rect, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    PixelIcon::draw(p, id, rect, kInk);
    return image;
}

// Reads the 8 x 8 block back as text, sampling the middle of each square of size s from (left, top).
Glyph glyphIn(const QImage& image, double left, double top, double s)
{
    Glyph rows;
    for (int row = 0; row < 8; ++row) {
        std::string line;
        for (int col = 0; col < 8; ++col) {
            const QColor c = image.pixelColor(int(left + s * (col + 0.5)), int(top + s * (row + 0.5)));
            line += c == kInk ? 'X' : c.alpha() == 0 ? '.' : '?';
        }
        rows.push_back(line);
    }
    return rows;
}

const Glyph kFallback{"XXXXXXXX", "X......X", "X.XXXX.X", "X.XXXX.X", "X.XXXX.X", "X.XXXX.X", "X......X", "XXXXXXXX"};

} // namespace

TEST(PixelIconTest, DrawsTheBadgeGlyph)
{
    const QImage firstBlood = drawn("first-blood", QRectF(0, 0, 16, 16), {16, 16});
    EXPECT_EQ(glyphIn(firstBlood, 0, 0, 2),
              (Glyph{"...XX...", "..XXXX..", "..XXXX..", ".XXXXXX.", "XXXXXXXX", "XXXXXXXX", ".XXXXXX.", "..XXXX.."}));
    const QImage polyglot = drawn("polyglot", QRectF(0, 0, 16, 16), {16, 16});
    EXPECT_EQ(glyphIn(polyglot, 0, 0, 2),
              (Glyph{"XXX.XXX.", "XXX.XXX.", "XXX.XXX.", "........", "XXX.XXX.", "XXX.XXX.", "XXX.XXX.", "........"}));
}

TEST(PixelIconTest, StreakBadgesShareOneGlyph)
{
    const QImage week = drawn("week-streak", QRectF(0, 0, 16, 16), {16, 16});
    EXPECT_EQ(week, drawn("month-streak", QRectF(0, 0, 16, 16), {16, 16}));
    EXPECT_EQ(glyphIn(week, 0, 0, 2).at(0), "...X....");
}

TEST(PixelIconTest, UnknownIdsDrawTheFallbackFrame)
{
    EXPECT_EQ(glyphIn(drawn("no-such-badge", QRectF(0, 0, 16, 16), {16, 16}), 0, 0, 2), kFallback);
    EXPECT_EQ(glyphIn(drawn("", QRectF(0, 0, 16, 16), {16, 16}), 0, 0, 2), kFallback);
}

TEST(PixelIconTest, CentresTheBlockInAWideRect)
{
    // 40 x 24: squares of 3, a 24-wide block with 8 empty pixels on either side.
    const QImage image = drawn("unknown", QRectF(0, 0, 40, 24), {40, 24});
    EXPECT_EQ(glyphIn(image, 8, 0, 3), kFallback);
    for (int y = 0; y < 24; ++y) {
        EXPECT_EQ(image.pixelColor(7, y).alpha(), 0) << y;
        EXPECT_EQ(hex(image.pixelColor(8, y)), hex(kInk)) << y;
        EXPECT_EQ(hex(image.pixelColor(31, y)), hex(kInk)) << y;
        EXPECT_EQ(image.pixelColor(32, y).alpha(), 0) << y;
    }
    EXPECT_EQ(image.pixelColor(11, 3).alpha(), 0);
}

TEST(PixelIconTest, CentresTheBlockInATallRectAwayFromTheOrigin)
{
    // 16 x 40 at (10, 20): squares of 2, the block starts 12 pixels down.
    const QImage image = drawn("first-blood", QRectF(10, 20, 16, 40), {30, 64});
    EXPECT_EQ(glyphIn(image, 10, 32, 2).at(4), "XXXXXXXX");
    EXPECT_EQ(image.pixelColor(10, 31).alpha(), 0);
    EXPECT_EQ(hex(image.pixelColor(10, 40)), hex(kInk));
    EXPECT_EQ(hex(image.pixelColor(25, 41)), hex(kInk));
    EXPECT_EQ(image.pixelColor(26, 41).alpha(), 0);
}

TEST(PixelIconTest, EachBadgeHasItsColour)
{
    const std::pair<const char*, QColor> cases[] = {
        {"first-blood", {255, 77, 77}},  {"ten-k", {91, 124, 255}},         {"hundred-k", {34, 197, 94}},
        {"week-streak", {255, 140, 26}}, {"month-streak", {255, 140, 26}},  {"night-owl", {139, 92, 246}},
        {"big-spender", {255, 194, 51}}, {"token-lord", {255, 176, 32}},    {"polyglot", {34, 211, 238}},
        {"centurion", {255, 204, 51}},   {"no-such-badge", {91, 124, 255}},
    };
    for (const auto& [id, rgb] : cases)
        EXPECT_EQ(hex(PixelIcon::color(id)), hex(rgb)) << id;
}
