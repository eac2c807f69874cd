#include "ui/notch/NotchShape.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

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

// Shoelace sum of the flattened outline: positive when it runs clockwise on a y-down screen.
double signedArea(const QPainterPath& outline)
{
    const QPolygonF polygon = outline.toFillPolygon();
    double sum = 0;
    for (qsizetype i = 0; i < polygon.size(); ++i) {
        const QPointF a = polygon[i];
        const QPointF b = polygon[(i + 1) % polygon.size()];
        sum += a.x() * b.y() - b.x() * a.y();
    }
    return sum / 2;
}

} // namespace

TEST(NotchShapeTest, WithoutFlareIsARectangleWithRoundedBottomCorners)
{
    const QImage image = filled(NotchShape::path(QRectF(0, 0, 100, 40), 10, 0), {100, 40});
    for (auto [x, y] : {std::pair{0, 0}, {99, 0}, {0, 25}, {99, 25}, {50, 39}, {5, 35}, {94, 35}})
        EXPECT_EQ(alphaAt(image, x, y), 255) << x << "," << y;
    for (auto [x, y] : {std::pair{0, 39}, {1, 37}, {99, 39}, {98, 37}})
        EXPECT_EQ(alphaAt(image, x, y), 0) << x << "," << y;
}

TEST(NotchShapeTest, FlaresWidenTheTopEdgeAroundTheBody)
{
    const QImage image = filled(NotchShape::path(QRectF(0, 0, 180, 32), 13, 11), {180, 32});
    for (int x = 0; x < 180; ++x)
        EXPECT_GT(alphaAt(image, x, 0), 0) << x;
    for (int y = 12; y < 19; ++y) {
        EXPECT_EQ(alphaAt(image, 10, y), 0) << y;
        EXPECT_EQ(alphaAt(image, 11, y), 255) << y;
        EXPECT_EQ(alphaAt(image, 168, y), 255) << y;
        EXPECT_EQ(alphaAt(image, 169, y), 0) << y;
    }
    // Under the top edge the flares are empty except for the concave fill that meets the edge.
    EXPECT_EQ(alphaAt(image, 2, 8), 0);
    EXPECT_EQ(alphaAt(image, 177, 8), 0);
    EXPECT_EQ(alphaAt(image, 9, 1), 255);
    EXPECT_EQ(alphaAt(image, 170, 1), 255);
    // The body's bottom corners are round, its bottom edge straight.
    EXPECT_EQ(alphaAt(image, 11, 31), 0);
    EXPECT_EQ(alphaAt(image, 168, 31), 0);
    EXPECT_EQ(alphaAt(image, 90, 31), 255);
}

TEST(NotchShapeTest, BottomCornersAreQuarterCirclesOfTheRadius)
{
    const double r = 13;
    const QPainterPath outline = NotchShape::path(QRectF(0, 0, 180, 60), r, 11);
    const QPointF rightCentre(169 - r, 60 - r);
    const QPointF leftCentre(11 + r, 60 - r);
    for (int degrees = 5; degrees < 90; degrees += 5) {
        const double a = degrees * std::numbers::pi / 180;
        const QPointF right(std::cos(a), std::sin(a));
        const QPointF left(-std::cos(a), std::sin(a));
        EXPECT_TRUE(outline.contains(rightCentre + right * (r - 0.2))) << degrees;
        EXPECT_FALSE(outline.contains(rightCentre + right * (r + 0.2))) << degrees;
        EXPECT_TRUE(outline.contains(leftCentre + left * (r - 0.2))) << degrees;
        EXPECT_FALSE(outline.contains(leftCentre + left * (r + 0.2))) << degrees;
    }
}

TEST(NotchShapeTest, RunsClockwiseFromTheTopLeftCornerOfItsBounds)
{
    const QRectF bounds(20, 10, 180, 32);
    const QPainterPath outline = NotchShape::path(bounds, 13, 11);
    EXPECT_EQ(QPointF(outline.elementAt(0)), bounds.topLeft());
    EXPECT_EQ(QPointF(outline.elementAt(outline.elementCount() - 1)), bounds.topLeft());
    const QRectF extent = outline.boundingRect();
    EXPECT_NEAR(extent.left(), bounds.left(), 1e-6);
    EXPECT_NEAR(extent.right(), bounds.right(), 1e-6);
    EXPECT_NEAR(extent.top(), bounds.top(), 1e-6);
    EXPECT_NEAR(extent.bottom(), bounds.bottom(), 1e-6);
    EXPECT_GT(signedArea(outline), 0);
}
