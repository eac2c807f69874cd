#include "ui/notch/Sprites.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

const QColor kMain(255, 0, 0);
const QColor kAccent(0, 255, 0);

QImage drawn(const SpriteDef& sprite, int frame, double cell = 2, QSize size = {20, 16})
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawSprite(p, sprite, frame, {0, 0}, cell, kMain, kAccent);
    return image;
}

} // namespace

TEST(SpritesTest, EveryFrameDrawsCrispInsideItsGridAndTheFramesWrap)
{
    for (const SpriteDef& s : Sprites::all()) {
        const QImage first = drawn(s, 0);
        int inked = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 20; ++x) {
                const QColor c = first.pixelColor(x, y);
                inked += c.alpha() > 0;
                EXPECT_TRUE(c.alpha() == 0 || ((c == kMain || c == kAccent) && x < 2 * s.cols && y < 2 * s.rows))
                    << s.name.toStdString() << " at " << x << "," << y;
            }
        EXPECT_GT(inked, 0) << s.name.toStdString();
        EXPECT_NE(drawn(s, 1), first) << s.name.toStdString() << " does not move";
        EXPECT_EQ(drawn(s, s.frames), first) << s.name.toStdString();
        EXPECT_EQ(drawn(s, -1), drawn(s, s.frames - 1)) << s.name.toStdString();
    }
    // Fractional cells, as the overlay draws them, tile without gaps: the wave's water is solid.
    const QImage wave = drawn(Sprites::all()[2], 0, 2.5, {25, 20});
    EXPECT_EQ(wave.pixelColor(12, 14), kAccent);
    EXPECT_EQ(wave.pixelColor(12, 15), kAccent);
}
