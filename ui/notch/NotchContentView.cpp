#include "ui/notch/NotchContentView.h"

#include "prefs/Prefs.h"
#include "ui/look/Accent.h"
#include "ui/look/Fmt.h"
#include "ui/look/Font.h"
#include "ui/look/Theme.h"
#include "ui/notch/NotchShape.h"
#include "ui/notch/Sprites.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kSpriteCell = 2.5;
constexpr double kSpriteBoxInset = 4;
constexpr double kSpriteBoxWidth = 34;
constexpr double kWingTextPadding = 22;
constexpr double kMinRightWingWidth = 66;
constexpr double kWingFontSize = 13;

QRectF notchBody(const QRectF& bounds)
{
    const double flare = Prefs::notchFlare();
    return bounds.adjusted(flare, 0, -flare, 0);
}

QColor celebrationWhite()
{
    return QColor(223, 233, 255);
}

// Amber taken 55 % of the way to black, for the secondary pixels of an amber sprite.
QColor amberShade()
{
    const QColor a = Theme::amber();
    return QColor::fromRgbF(a.redF() * 0.45f, a.greenF() * 0.45f, a.blueF() * 0.45f);
}

} // namespace

NotchContentView::NotchContentView(QWidget* parent) : QWidget(parent)
{
    // Everything outside the outline must stay see-through; paintContent clears and draws every pixel itself.
    setAttribute(Qt::WA_TranslucentBackground);
    resize(158, collapsedH);
}

QString NotchContentView::wingValue(const Stats& stats)
{
    switch (Prefs::wingStat()) {
    case 0:
        return QStringLiteral("+") + Fmt::num(static_cast<double>(stats.todayLinesAdded));
    case 1:
        return Fmt::money(stats.todayCost);
    case 2:
        return QString::number(std::max<int64_t>(stats.streakCurrent, 0)) + QStringLiteral("d");
    case 3:
        return Fmt::num(static_cast<double>(stats.linesAdded + stats.linesRemoved));
    case 4:
        return Fmt::money(stats.cost);
    case 5:
        return Fmt::num(stats.tokensIn + stats.tokensOut);
    default:
        return Fmt::num(static_cast<double>(stats.sessions));
    }
}

double NotchContentView::rightStatWidth() const
{
    if (!stats)
        return 0;
    return std::ceil(QFontMetricsF(Font::pixel(kWingFontSize)).horizontalAdvance(wingValue(*stats)));
}

QRectF NotchContentView::rightWingRect() const
{
    const QRectF body = notchBody(QRectF(rect()));
    const double width = std::max(rightStatWidth() + kWingTextPadding, kMinRightWingWidth);
    return QRectF(body.right() - width, 0, width, stripH);
}

void NotchContentView::paintContent(QPainter& p) const
{
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    p.restore();
    paintOutline(p);
    paintSprite(p);
    paintWingValue(p);
}

QImage NotchContentView::renderImage() const
{
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    paintContent(p);
    return image;
}

void NotchContentView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paintContent(p);
}

const SpriteDef& NotchContentView::shownSprite() const
{
    const auto& sprites = Sprites::all();
    if (debugSpriteOverride && *debugSpriteOverride >= 0 && *debugSpriteOverride < static_cast<int>(sprites.size()))
        return sprites[static_cast<size_t>(*debugSpriteOverride)];
    return Sprites::current();
}

QColor NotchContentView::spriteMainColor() const
{
    if (celebrating)
        return celebrationWhite();
    return amber ? Theme::amber() : Accent::current().color;
}

QColor NotchContentView::spriteAccentColor() const
{
    if (celebrating)
        return amber ? Theme::amber() : Accent::current().color;
    return amber ? amberShade() : Accent::current().dim();
}

void NotchContentView::paintOutline(QPainter& p) const
{
    const double radius = expanded ? Prefs::expandedRound() : Prefs::collapsedRound();
    const QPainterPath outline = NotchShape::path(QRectF(rect()), radius, Prefs::notchFlare());
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(outline, Qt::black);
    if (expanded)
        p.strokePath(outline, QPen(QColor(26, 29, 38), 1));
    p.restore();
}

void NotchContentView::paintSprite(QPainter& p) const
{
    const SpriteDef& sprite = shownSprite();
    const double boxLeft = notchBody(QRectF(rect())).left() + kSpriteBoxInset;
    const QPointF origin(boxLeft + (kSpriteBoxWidth - sprite.cols * kSpriteCell) / 2,
                         (stripH - sprite.rows * kSpriteCell) / 2);
    drawSprite(p, sprite, animFrame, origin, kSpriteCell, spriteMainColor(), spriteAccentColor());
}

void NotchContentView::paintWingValue(QPainter& p) const
{
    if (!stats)
        return;
    const QString text = wingValue(*stats);
    const QFont font = Font::pixel(kWingFontSize);
    const QFontMetricsF metrics(font);
    const double textHeight = metrics.ascent() + metrics.descent();
    const QPointF baseline(rightWingRect().center().x() - metrics.horizontalAdvance(text) / 2,
                           (stripH - textHeight) / 2 + metrics.ascent());
    p.save();
    p.setFont(font);
    p.setPen(amber ? Theme::amber() : Accent::current().color);
    p.drawText(baseline, text);
    p.restore();
}
