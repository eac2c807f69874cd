#include "ui/notch/NotchShape.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace NotchShape {
namespace {

double length(QPointF v)
{
    return std::hypot(v.x(), v.y());
}

// Qt measures arc angles counter-clockwise on screen, with y pointing down.
double screenAngleDegrees(QPointF v)
{
    return std::atan2(-v.y(), v.x()) * 180 / std::numbers::pi;
}

// Draws a line from the current point towards `corner`, then the arc of `radius` tangent to both the line current
// point → corner and the line corner → `next`, ending on the second line (PostScript arct). QPainterPath::arcTo
// takes an ellipse and angles instead, so the tangent points and centre are worked out here.
void arcThroughCorner(QPainterPath& path, QPointF corner, QPointF next, double radius)
{
    const QPointF toStart = path.currentPosition() - corner;
    const QPointF toNext = next - corner;
    const double startLength = length(toStart);
    const double nextLength = length(toNext);
    if (radius <= 0 || startLength == 0 || nextLength == 0) {
        path.lineTo(corner);
        return;
    }
    const QPointF u = toStart / startLength;
    const QPointF v = toNext / nextLength;
    const double cosine = std::clamp(u.x() * v.x() + u.y() * v.y(), -1.0, 1.0);
    const double halfAngle = std::acos(cosine) / 2;
    if (std::sin(halfAngle) < 1e-9 || std::cos(halfAngle) < 1e-9) {
        path.lineTo(corner); // the two lines are parallel: no arc fits
        return;
    }
    const double tangentDistance = radius / std::tan(halfAngle);
    const QPointF first = corner + u * tangentDistance;
    const QPointF second = corner + v * tangentDistance;
    const QPointF bisector = (u + v) / length(u + v);
    const QPointF centre = corner + bisector * (radius / std::sin(halfAngle));

    const double start = screenAngleDegrees(first - centre);
    double sweep = screenAngleDegrees(second - centre) - start;
    if (sweep > 180)
        sweep -= 360;
    else if (sweep < -180)
        sweep += 360;
    path.lineTo(first);
    path.arcTo(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), start, sweep);
}

} // namespace

QPainterPath path(const QRectF& bounds, double bottomRadius, double flare)
{
    const double x0 = bounds.left();
    const double x1 = bounds.right();
    const double y0 = bounds.top();
    const double y1 = bounds.bottom();
    const double a = x0 + flare;
    const double b = x1 - flare;
    const double k = flare * 0.5;

    QPainterPath outline;
    outline.moveTo(x0, y0);
    outline.lineTo(x1, y0);
    outline.cubicTo(x1 - k, y0, b, y0 + k, b, y0 + flare);
    outline.lineTo(b, y1 - bottomRadius);
    arcThroughCorner(outline, {b, y1}, {a, y1}, bottomRadius);
    arcThroughCorner(outline, {a, y1}, {a, y0}, bottomRadius);
    outline.lineTo(a, y0 + flare);
    outline.cubicTo(a, y0 + k, x0 + k, y0, x0, y0);
    outline.closeSubpath();
    return outline;
}

} // namespace NotchShape
