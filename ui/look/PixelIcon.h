#pragma once

#include <QColor>
#include <QRectF>
#include <string_view>

class QPainter;

/// The 8 x 8 pixel icons of the badges, one glyph and colour per badge id; unknown ids get a framed fallback.
namespace PixelIcon {

/// Draws the glyph for `id` as an 8 x 8 block of squares centred in `rect`, squares of min(width, height) / 8.
void draw(QPainter& p, std::string_view id, const QRectF& rect, const QColor& color);

/// The badge's own colour; unknown ids share the colour of "ten-k".
QColor color(std::string_view id);

} // namespace PixelIcon
