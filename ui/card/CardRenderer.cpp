#include "ui/card/CardRenderer.h"

#include "ui/look/Fmt.h"
#include "ui/look/Font.h"
#include "ui/look/PixelIcon.h"
#include "ui/look/Theme.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <array>

namespace CardRenderer {
namespace {

// The content column: 60 pixels in from both edges of the card.
constexpr double kLeft = 60;
constexpr double kRight = W - 60;
constexpr double kContentWidth = kRight - kLeft;

/// One of the three small statistic boxes under the hero block.
struct Cell
{
    QString v;
    QString l;
    bool accent = false;
};

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}

const QImage& logoImage()
{
    static const QImage logo(QStringLiteral(":/images/korvel-logo.png"));
    return logo;
}

void drawGlow(QPainter& p, const QColor& highlight)
{
    const QPointF center(W * 0.86, -40);
    constexpr double startRadius = 60;
    constexpr double endRadius = 760;
    QRadialGradient gradient(center, endRadius);
    gradient.setColorAt(startRadius / endRadius, withAlpha(highlight, 0.16));
    gradient.setColorAt(1.0, withAlpha(highlight, 0));
    // Inside the inner circle the glow keeps its starting colour; left unpainted, that disc would show as a dark
    // bump in the card's top margin.
    gradient.setColorAt(0.0, withAlpha(highlight, 0.16));
    QPainterPath disc;
    disc.addEllipse(center, endRadius, endRadius);
    p.fillPath(disc, gradient);
}

void drawStreaks(QPainter& p)
{
    const QColor white = withAlpha(Qt::white, 0.05);
    constexpr double bandWidth = 60;
    for (double x = -H; x < W; x += 180) {
        QPainterPath band;
        band.moveTo(x, 0);
        band.lineTo(x + bandWidth, 0);
        band.lineTo(x + bandWidth + H, H);
        band.lineTo(x + H, H);
        band.closeSubpath();
        p.fillPath(band, white);
    }
}

void drawScanlines(QPainter& p)
{
    const QColor shade = withAlpha(Qt::black, 0.22);
    for (int y = 0; y < H; y += 4)
        p.fillRect(QRectF(0, y, W, 2), shade);
}

void drawTexture(QPainter& p, CardTexture texture)
{
    switch (texture) {
    case CardTexture::Solid:
        return;
    case CardTexture::LightStreaks:
        drawStreaks(p);
        return;
    case CardTexture::Scanlines:
        drawScanlines(p);
        return;
    }
}

void drawBarMark(QPainter& p, const QColor& highlight)
{
    constexpr std::array<QRectF, 4> bars{QRectF(60, 62, 5, 12), QRectF(68, 52, 5, 22), QRectF(76, 66, 5, 8),
                                         QRectF(84, 56, 5, 18)};
    for (const QRectF& bar : bars)
        p.fillRect(bar, highlight);
}

void drawBrand(QPainter& p, const QColor& highlight)
{
    const QString wordmark = QStringLiteral("korvel.dev");
    const QImage& logo = logoImage();
    if (logo.isNull()) {
        drawBarMark(p, highlight);
        text(p, wordmark, 106, 94, Font::pixel(42), fg(), AlignLeft);
        return;
    }
    p.save();
    // Pixel art: nearest-neighbour scaling keeps the edges crisp.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(QRectF(60, 54, 44, 44), logo);
    p.restore();
    text(p, wordmark, 120, 90, Font::pixel(38), fg(), AlignLeft);
}

/// Draws the earned badges' icons in a row whose right end is rightEnd.
void drawBadges(QPainter& p, const Stats& stats, double rightEnd)
{
    constexpr double iconSize = 18;
    constexpr double gap = 10;
    const auto earned =
        std::count_if(stats.badges.begin(), stats.badges.end(), [](const Badge& b) { return b.earned; });
    if (earned == 0)
        return;
    double x = rightEnd - (earned * iconSize + (earned - 1) * gap);
    for (const Badge& badge : stats.badges) {
        if (!badge.earned)
            continue;
        PixelIcon::draw(p, badge.id, QRectF(x, 87, iconSize, iconSize), PixelIcon::color(badge.id));
        x += iconSize + gap;
    }
}

void drawPeriodAndBadges(QPainter& p, const Stats& stats, const QColor& highlight)
{
    const QString period = Fmt::humanDate(stats.since) + QStringLiteral(" - ") + Fmt::humanDate(stats.until);
    text(p, period, kRight, 80, Font::pixel(19), muted(), AlignRight);
    const double allTimeWidth =
        text(p, QStringLiteral("ALL-TIME"), kRight, 106, Font::pixel(16), highlight, AlignRight);
    drawBadges(p, stats, kRight - allTimeWidth - 18);
}

void drawHero(QPainter& p, const Stats& stats, const QColor& highlight)
{
    const QRectF block(kLeft, 150, kContentWidth, 190);
    pixelBlock(p, block);
    p.fillRect(QRectF(block.left(), block.top(), 8, block.height()), highlight);
    text(p, QStringLiteral("LINES SHIPPED"), 96, 198, Font::pixel(22), muted(), AlignLeft);
    const double lines = static_cast<double>(stats.linesAdded + stats.linesRemoved);
    text(p, Fmt::num(lines), 96, 318, Font::pixel(120), fg(), AlignLeft);
}

std::array<Cell, 3> cellsFor(const Stats& stats)
{
    return {{
        {Fmt::num(stats.tokensIn + stats.tokensOut), QStringLiteral("TOKENS"), false},
        {Fmt::money(stats.cost), QStringLiteral("AGENT COMPUTE ($)"), true},
        {QString::number(stats.streakLongest) + QLatin1Char('d'), QStringLiteral("STREAK"), false},
    }};
}

void drawCells(QPainter& p, const Stats& stats, const QColor& highlight)
{
    constexpr double gap = 24;
    constexpr double cellWidth = (kContentWidth - 2 * gap) / 3;
    const QFont valueFont = Font::pixel(54);
    const QFont labelFont = Font::pixel(17);
    double x = kLeft;
    for (const Cell& cell : cellsFor(stats)) {
        pixelBlock(p, QRectF(x, 364, cellWidth, 150));
        p.fillRect(QRectF(x, 364, 8, 150), highlight);
        text(p, cell.v, x + 28, 446, valueFont, cell.accent ? highlight : fg(), AlignLeft);
        text(p, cell.l, x + 28, 486, labelFont, muted(), AlignLeft);
        x += cellWidth + gap;
    }
}

void drawFooter(QPainter& p, const Stats& stats)
{
    text(p, QStringLiteral("TOP MODEL"), kLeft, 550, Font::pixel(15), muted(), AlignLeft);
    const QString model = stats.topModel ? Fmt::shown(*stats.topModel) : QStringLiteral("-");
    text(p, model, 190, 550, Font::pixel(17), fg(), AlignLeft);
}

} // namespace

QColor fg()
{
    return Theme::fg();
}

QColor muted()
{
    return Theme::muted();
}

void draw(QPainter& p, const Stats& stats, const QColor& highlight, CardTexture texture)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.fillRect(QRectF(0, 0, W, H), Theme::bg());
    drawGlow(p, highlight);
    drawTexture(p, texture);
    pixelPanel(p, QRectF(20, 20, W - 40, H - 40), QColor(11, 13, 18), QColor(32, 35, 46), 26);
    drawBrand(p, highlight);
    drawPeriodAndBadges(p, stats, highlight);
    drawHero(p, stats, highlight);
    drawCells(p, stats, highlight);
    drawFooter(p, stats);
    p.restore();
}

QImage image(const Stats& stats, const QColor& accent, CardTexture texture)
{
    QImage card(W, H, QImage::Format_ARGB32_Premultiplied);
    if (card.isNull())
        return card;
    // One pixel per point, independent of the screen's scale.
    card.setDevicePixelRatio(1);
    card.fill(Qt::transparent);
    QPainter painter(&card);
    draw(painter, stats, accent, texture);
    painter.end();
    return card;
}

std::optional<QByteArray> pngData(const Stats& stats, const QColor& accent, CardTexture texture)
{
    const QImage card = image(stats, accent, texture);
    if (card.isNull())
        return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !card.save(&buffer, "PNG"))
        return std::nullopt;
    return bytes;
}

double text(QPainter& p, const QString& s, double x, double baseline, const QFont& font, const QColor& color, int align)
{
    const double width = QFontMetricsF(font).horizontalAdvance(s);
    double left = x;
    if (align == AlignCenter)
        left = x - width / 2;
    else if (align == AlignRight)
        left = x - width;
    p.save();
    p.setFont(font);
    p.setPen(color);
    // Qt places text by its baseline, the same point as a top edge at baseline - ascent.
    p.drawText(QPointF(left, baseline), s);
    p.restore();
    return width;
}

void pixelPanel(QPainter& p, const QRectF& rect, const QColor& fill, const QColor& border, double radius)
{
    const QRectF inner = rect.adjusted(1, 1, -1, -1);
    QPainterPath body;
    QPainterPath outline;
    if (radius > 0) {
        body.addRoundedRect(rect, radius, radius);
        outline.addRoundedRect(inner, radius - 1, radius - 1);
    } else {
        body.addRect(rect);
        outline.addRect(inner);
    }
    p.fillPath(body, fill);
    p.strokePath(outline, QPen(border, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
}

void pixelBlock(QPainter& p, const QRectF& rect)
{
    p.fillRect(rect.translated(5, 5), Qt::black);
    pixelPanel(p, rect, QColor(14, 16, 23), QColor(35, 40, 56), 0);
}

} // namespace CardRenderer
