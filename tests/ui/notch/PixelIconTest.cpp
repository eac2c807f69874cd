#include "ui/notch/PixelIcon.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <set>

namespace {

const QColor kInk(255, 0, 0);
const char* const kBadges[] = {"first-blood", "ten-k",       "hundred-k",  "week-streak", "month-streak",
                               "night-owl",   "big-spender", "token-lord", "polyglot",    "centurion"};

QImage drawn(std::string_view id, const QRectF& rect = {0, 0, 16, 16}, QSize size = {16, 16})
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    PixelIcon::draw(p, id, rect, kInk);
    return image;
}

} // namespace

TEST(PixelIconTest, EachBadgeHasItsGlyphAndUnknownIdsTheFallback)
{
    std::set<QByteArray> glyphs;
    for (const char* id : kBadges)
        glyphs.insert(QByteArray(reinterpret_cast<const char*>(drawn(id).constBits()), 16 * 16 * 4));
    EXPECT_EQ(glyphs.size(), 9u) << "ten glyphs, the two streak badges sharing one";
    EXPECT_EQ(drawn("week-streak"), drawn("month-streak"));
    const QImage fallback = drawn("no-such-badge");
    EXPECT_EQ(drawn(""), fallback);
    for (const char* id : kBadges)
        EXPECT_NE(drawn(id), fallback) << id;
    EXPECT_EQ(PixelIcon::color("no-such-badge"), PixelIcon::color("ten-k"));
    EXPECT_NE(PixelIcon::color("first-blood"), PixelIcon::color("ten-k"));
}
