#include "ui/notch/Sprites.h"

#include "prefs/Prefs.h"
#include "tests/support/PrefsGuard.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

const QColor kMain(255, 0, 0);
const QColor kAccent(0, 255, 0);

QImage drawn(const SpriteDef& sprite, int frame, QPointF origin = {0, 0}, double cell = 2, QSize size = {20, 16})
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawSprite(p, sprite, frame, origin, cell, kMain, kAccent);
    return image;
}

} // namespace

TEST(SpritesTest, EveryFrameDrawsInsideItsGridAndTheFramesWrap)
{
    ASSERT_EQ(Sprites::all().size(), 6u);
    for (const SpriteDef& s : Sprites::all()) {
        const QImage first = drawn(s, 0);
        bool inked = false;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 20; ++x) {
                const QColor c = first.pixelColor(x, y);
                inked |= c.alpha() > 0;
                EXPECT_TRUE(c.alpha() == 0 || c == kMain || c == kAccent) << s.name.toStdString() << " blurred";
                EXPECT_TRUE(c.alpha() == 0 || (x < 2 * s.cols && y < 2 * s.rows)) << s.name.toStdString();
            }
        EXPECT_TRUE(inked) << s.name.toStdString();
        EXPECT_NE(drawn(s, 1), first) << s.name.toStdString() << " does not move";
        EXPECT_EQ(drawn(s, s.frames), first) << s.name.toStdString();
        EXPECT_EQ(drawn(s, -1), drawn(s, s.frames - 1)) << s.name.toStdString();
    }
}

TEST(SpritesTest, CellsOutsideTheGridAreSkippedAndFractionalCellsTileWithoutGaps)
{
    const SpriteDef square{"Square", 2, 2, 1, [](int) {
                               return std::vector<SpriteCell>{{-1, 0, false}, {0, 2, true}, {2, 1, true}, {1, 1, true}};
                           }};
    const QImage image = drawn(square, 0, {3, 3}, 2, {10, 10});
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(image.pixelColor(x, y), x >= 5 && x < 7 && y >= 5 && y < 7 ? kAccent : QColor(Qt::transparent))
                << x << "," << y;

    // Rows 5 and 6 of the wave are solid water across all ten columns, drawn with cells of 2.5 as the overlay does.
    const QImage wave = drawn(Sprites::all()[2], 0, {19.5, 6}, 2.5, {60, 32});
    for (int y = 19; y < 24; ++y) {
        for (int x = 20; x < 45; ++x)
            EXPECT_EQ(wave.pixelColor(x, y), kAccent) << x << "," << y;
        EXPECT_EQ(wave.pixelColor(19, y).alpha() + wave.pixelColor(45, y).alpha(), 0) << y;
    }
}

TEST(SpritesTest, CurrentFollowsTheClampedPreference)
{
    PrefsGuard guard;
    EXPECT_EQ(Sprites::current().name.toStdString(), "Ship");
    Prefs::setInteger(PrefKey::SpriteKind, 3);
    EXPECT_EQ(Sprites::current().name.toStdString(), "Bolt");
    Prefs::setInteger(PrefKey::SpriteKind, 7);
    EXPECT_EQ(Sprites::current().name.toStdString(), "Anchor");
}
