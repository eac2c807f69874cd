#include "ui/notch/NotchShape.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <tuple>

namespace {

QImage filled(const QPainterPath& outline, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(outline, Qt::black);
    return image;
}

int alphaAt(const QImage& image, int x, int y)
{
    return qAlpha(image.pixel(x, y));
}

} // namespace

TEST(NotchShapeTest, FlaresWidenTheTopEdgeAroundARoundedBody)
{
    const QImage plain = filled(NotchShape::path(QRectF(0, 0, 100, 40), 10, 0), {100, 40});
    for (auto [x, y, alpha] : {std::tuple{0, 0, 255}, {99, 25, 255}, {50, 39, 255}, {0, 39, 0}, {98, 37, 0}})
        EXPECT_EQ(alphaAt(plain, x, y), alpha) << "no flare: " << x << "," << y;

    const QImage image = filled(NotchShape::path(QRectF(0, 0, 180, 32), 13, 11), {180, 32});
    for (int x = 0; x < 180; ++x)
        EXPECT_GT(alphaAt(image, x, 0), 0) << x;
    for (int y = 12; y < 19; ++y)
        for (auto [x, alpha] : {std::pair{10, 0}, {11, 255}, {168, 255}, {169, 0}})
            EXPECT_EQ(alphaAt(image, x, y), alpha) << x << "," << y;
    // Under the top edge the flares are empty except for the concave fill that meets the edge; the body's bottom
    // corners are round, its bottom edge straight.
    for (auto [x, y, alpha] :
         {std::tuple{2, 8, 0}, {177, 8, 0}, {9, 1, 255}, {170, 1, 255}, {11, 31, 0}, {90, 31, 255}})
        EXPECT_EQ(alphaAt(image, x, y), alpha) << x << "," << y;
}

TEST(NotchShapeTest, BottomCornersAreQuarterCirclesOfTheRadius)
{
    const double r = 13;
    const QPainterPath outline = NotchShape::path(QRectF(0, 0, 180, 60), r, 11);
    const QPointF rightCentre(169 - r, 60 - r);
    const QPointF leftCentre(11 + r, 60 - r);
    for (int degrees = 5; degrees < 90; degrees += 5) {
        const double a = degrees * std::numbers::pi / 180;
        for (const auto& [centre, direction] : {std::pair{rightCentre, QPointF(std::cos(a), std::sin(a))},
                                                {leftCentre, QPointF(-std::cos(a), std::sin(a))}}) {
            EXPECT_TRUE(outline.contains(centre + direction * (r - 0.2))) << degrees;
            EXPECT_FALSE(outline.contains(centre + direction * (r + 0.2))) << degrees;
        }
    }
}
