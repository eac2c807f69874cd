#include "ui/look/PixelIcon.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <set>

namespace {

QImage drawn(std::string_view id)
{
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    PixelIcon::draw(p, id, {0, 0, 16, 16}, Qt::red);
    return image;
}

} // namespace

TEST(PixelIconTest, EachBadgeHasItsGlyphAndUnknownIdsTheFallback)
{
    std::set<QByteArray> glyphs;
    for (const char* id : {"first-blood", "ten-k", "hundred-k", "week-streak", "month-streak", "night-owl",
                           "big-spender", "token-lord", "polyglot", "centurion", "no-such-badge"})
        glyphs.insert(QByteArray(reinterpret_cast<const char*>(drawn(id).constBits()), 16 * 16 * 4));
    EXPECT_EQ(glyphs.size(), 10u) << "ten glyphs and the fallback, the two streak badges sharing one";
    EXPECT_EQ(drawn("week-streak"), drawn("month-streak"));
}
