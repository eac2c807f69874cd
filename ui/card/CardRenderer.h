#pragma once

#include "core/Stats.h"
#include "prefs/Choices.h"

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QRectF>
#include <QString>
#include <optional>

class QPainter;

/// The shareable all-time statistics card, 1200 x 630 pixels, in the pixel style of the notch, highlighted in the
/// accent colour it is given over the texture it is given.
namespace CardRenderer {

constexpr int W = 1200;
constexpr int H = 630;

/// Text alignment for text(): x is the left edge, the centre or the right edge of the string.
constexpr int AlignLeft = 0;
constexpr int AlignCenter = 1;
constexpr int AlignRight = 2;

/// Main text colour.
QColor fg();
/// Label colour.
QColor muted();

/// Paints the whole card into a W x H area whose origin is the painter's top-left.
void draw(QPainter& p, const Stats& stats, const QColor& accent, CardTexture texture);

/// The card as a W x H ARGB32 premultiplied image at device pixel ratio 1, whatever the screen's scale.
QImage image(const Stats& stats, const QColor& accent, CardTexture texture);

/// The card encoded as PNG; absent when the image cannot be created or encoded.
std::optional<QByteArray> pngData(const Stats& stats, const QColor& accent, CardTexture texture);

/// Draws s with its baseline at `baseline`, anchored at x by align (AlignLeft, AlignCenter, AlignRight);
/// returns the width of the string.
double text(QPainter& p, const QString& s, double x, double baseline, const QFont& font, const QColor& color,
            int align);

/// Fills rect (rounded when radius > 0) and draws a 2-pixel border just inside it.
void pixelPanel(QPainter& p, const QRectF& rect, const QColor& fill, const QColor& border, double radius);

/// A dark framed box with a hard black drop shadow 5 pixels down and right.
void pixelBlock(QPainter& p, const QRectF& rect);

} // namespace CardRenderer
