#pragma once

#include <QPainterPath>
#include <QRectF>

/// The outline of the notch overlay: a band hanging from the top edge, rounded at the bottom, with two concave flares
/// that widen the top by `flare` on each side so the shape melts into the screen edge.
namespace NotchShape {

/// The closed outline in y-down coordinates, clockwise from the top-left corner of `bounds`. The body spans
/// bounds inset horizontally by `flare`; its bottom corners are arcs of `bottomRadius`.
QPainterPath path(const QRectF& bounds, double bottomRadius, double flare);

} // namespace NotchShape
