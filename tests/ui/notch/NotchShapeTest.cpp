#include "ui/notch/NotchShape.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

TEST(NotchShapeTest, FlaresWidenTheTopEdgeAroundARoundedBody)
{
    QImage image(180, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(NotchShape::path(QRectF(0, 0, 180, 32), 13, 11), Qt::black);
    // Under the top edge the flares are empty but for the concave fill that meets the
    // edge; the body's bottom corners are round, its bottom edge straight.
    const int points[][3] = {{2, 8, 0},      {177, 8, 0},  {9, 1, 255}, {10, 15, 0},  {11, 15, 255},
                             {168, 15, 255}, {169, 15, 0}, {11, 31, 0}, {90, 31, 255}};
    for (const auto& [x, y, alpha] : points)
        EXPECT_EQ(qAlpha(image.pixel(x, y)), alpha) << x << "," << y;
    EXPECT_GT(qAlpha(image.pixel(0, 0)) * qAlpha(image.pixel(179, 0)), 0) << "the top edge spans the whole width";
}
