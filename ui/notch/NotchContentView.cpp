#include "ui/notch/NotchContentView.h"

#include "ui/card/CardRenderer.h"
#include "ui/look/Font.h"
#include "ui/look/Theme.h"
#include "ui/notch/CardPreview.h"
#include "ui/notch/NotchShape.h"
#include "ui/notch/Sprites.h"

#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr double kSpriteCell = 2.5;
constexpr double kSpriteBoxInset = 4;
constexpr double kSpriteBoxWidth = 34;
constexpr double kWingTextPadding = 22;
constexpr double kWingFontSize = 13;
constexpr int kAnimationSteps = 12;
constexpr int kTickMs = 180;
// Long enough that brushing past the edge does not fold the card away.
constexpr int kCollapseDelayMs = 350;
constexpr double kCardMargin = 14;
constexpr double kCardGap = 6;
constexpr double kButtonGap = 8;
constexpr double kButtonRowGap = 10;
constexpr double kButtonHeight = 30;
constexpr double kLabelOffset = 38;
constexpr double kLabelHeight = 16;

void call(const std::function<void()>& callback)
{
    if (callback)
        callback();
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

NotchContentView::NotchContentView(QWidget* parent)
    : QWidget(parent), cardView(new CardPreview(this)), downloadBtn(makeButton(QStringLiteral("Download"))),
      copyBtn(makeButton(QStringLiteral("Copy"))), refreshBtn(makeButton(QStringLiteral("Refresh"))),
      configureBtn(makeButton(QStringLiteral("\u2699 Configure"))), protectLabel(makeProtectLabel())
{
    // Everything outside the outline must stay see-through; paintContent clears and draws every pixel itself.
    setAttribute(Qt::WA_TranslucentBackground);
    // The overlay must never pull keyboard focus away from the application the user is working in.
    setFocusPolicy(Qt::NoFocus);
    resize(158, collapsedH);
    cardView->hide();
    connectButtons();
    setupTimers();
    startAnimating();
}

double NotchContentView::rightStatWidth() const
{
    if (!m_state.stats)
        return 0;
    return std::ceil(QFontMetricsF(Font::pixel(kWingFontSize)).horizontalAdvance(m_state.wingText));
}

double NotchContentView::rightWingWidth() const
{
    return std::max(rightStatWidth() + kWingTextPadding, minRightWingWidth);
}

double NotchContentView::minBodyWidth() const
{
    return kSpriteBoxInset + kSpriteBoxWidth + rightWingWidth();
}

QRectF NotchContentView::rightWingRect() const
{
    const QRectF body = notchBody();
    const double width = rightWingWidth();
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
    // An animation step repaints the sprite alone: the text (whose layout is costly) is left out then.
    if (!p.hasClipping() || !QRectF(spriteRect()).contains(p.clipBoundingRect()))
        paintWingValue(p);
}

QRect NotchContentView::spriteRect() const
{
    const double boxLeft = notchBody().left() + kSpriteBoxInset;
    return QRectF(boxLeft, 0, kSpriteBoxWidth, stripH).toAlignedRect();
}

QImage NotchContentView::renderImage() const
{
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    paintContent(p);
    return image;
}

void NotchContentView::setState(NotchState state)
{
    const NotchState before = std::exchange(m_state, std::move(state));
    if (before.look.accent != m_state.look.accent)
        restyleButtons();
    if (before.expanded != m_state.expanded)
        applyExpanded();
    else if (m_state.expanded && m_state.stats &&
             (before.stats != m_state.stats || before.look.accent != m_state.look.accent ||
              before.look.texture != m_state.look.texture))
        renderCard();
    if (before.look.flare != m_state.look.flare)
        layoutExpanded();
    update();
}

NotchContentView::ExpandedLayout NotchContentView::expandedLayout() const
{
    const QRectF body = notchBody();
    const double x = body.left() + kCardMargin;
    const double w = body.width() - 2 * kCardMargin;
    ExpandedLayout layout;
    layout.card = QRectF(x, stripH + kCardGap, w, w * CardRenderer::H / CardRenderer::W);
    const double rowY = layout.card.bottom() + kButtonRowGap;
    const double buttonW = (w - 3 * kButtonGap) / 4;
    for (size_t i = 0; i < layout.buttons.size(); ++i)
        layout.buttons[i] = QRectF(x + static_cast<double>(i) * (buttonW + kButtonGap), rowY, buttonW, kButtonHeight);
    layout.label = QRectF(x, rowY + kLabelOffset, w, kLabelHeight);
    return layout;
}

void NotchContentView::startAnimating()
{
    m_barTimer.start();
}

void NotchContentView::stopAnimating()
{
    m_barTimer.stop();
}

bool NotchContentView::isAnimating() const
{
    return m_barTimer.isActive();
}

void NotchContentView::tick()
{
    m_state.animFrame = (m_state.animFrame + 1) % kAnimationSteps;
    if (m_state.celebrating) {
        --m_state.celebrateFrames;
        if (m_state.celebrateFrames < 1)
            m_state.celebrating = false;
    }
    // Five times a second for as long as the overlay is shown: only the sprite's few pixels go to the screen.
    update(spriteRect());
}

bool NotchContentView::collapsePending() const
{
    return m_collapseWork.isActive();
}

QTimer& NotchContentView::collapseTimer()
{
    return m_collapseWork;
}

void NotchContentView::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.setClipRegion(event->region());
    paintContent(p);
}

void NotchContentView::resizeEvent(QResizeEvent*)
{
    layoutExpanded();
}

void NotchContentView::enterEvent(QEnterEvent*)
{
    m_collapseWork.stop();
    requestExpanded(true);
}

void NotchContentView::leaveEvent(QEvent*)
{
    m_collapseWork.start();
}

void NotchContentView::mousePressEvent(QMouseEvent* event)
{
    // Expanded, the buttons take the clicks; a right-click arrives as a context-menu event.
    if (m_state.expanded || event->button() != Qt::LeftButton)
        return;
    if (rightWingRect().contains(event->position()))
        call(onCycle);
}

void NotchContentView::contextMenuEvent(QContextMenuEvent* event)
{
    if (onContextMenu)
        onContextMenu(event->globalPos());
}

void NotchContentView::setupTimers()
{
    m_barTimer.setInterval(kTickMs);
    connect(&m_barTimer, &QTimer::timeout, this, &NotchContentView::tick);
    m_collapseWork.setSingleShot(true);
    m_collapseWork.setInterval(kCollapseDelayMs);
    connect(&m_collapseWork, &QTimer::timeout, this, [this] { requestExpanded(false); });
}

void NotchContentView::requestExpanded(bool expand)
{
    if (onExpandChange)
        onExpandChange(expand);
}

QPushButton* NotchContentView::makeButton(const QString& title)
{
    auto* button = new QPushButton(title, this);
    button->setFlat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFont(Font::pixel(12));
    button->hide();
    return button;
}

QLabel* NotchContentView::makeProtectLabel()
{
    auto* label = new QLabel(this);
    label->setFont(Font::pixel(11));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Theme::amber());
    label->setPalette(palette);
    label->hide();
    return label;
}

void NotchContentView::connectButtons()
{
    connect(downloadBtn, &QPushButton::clicked, this, [this] { call(onDownload); });
    connect(copyBtn, &QPushButton::clicked, this, [this] { call(onCopy); });
    connect(refreshBtn, &QPushButton::clicked, this, [this] { call(onRefresh); });
    connect(configureBtn, &QPushButton::clicked, this, [this] {
        if (!onConfigure)
            return;
        // The menu it opens takes the pointer off the notch; the card must stay open behind it.
        m_collapseWork.stop();
        onConfigure(configureBtn);
    });
}

void NotchContentView::applyExpanded()
{
    const bool expand = m_state.expanded;
    cardView->setVisible(expand);
    for (QPushButton* button : {downloadBtn, copyBtn, refreshBtn, configureBtn})
        button->setVisible(expand);
    if (expand && m_state.stats) {
        renderCard();
        showProtectLabel();
    } else {
        protectLabel->hide();
    }
    layoutExpanded();
}

void NotchContentView::restyleButtons()
{
    const QString sheet =
        QStringLiteral("QPushButton { background-color: #14161D; border: none; border-radius: 6px; color: %1; }")
            .arg(m_state.look.accent.color.name());
    for (QPushButton* button : {downloadBtn, copyBtn, refreshBtn, configureBtn})
        button->setStyleSheet(sheet);
}

void NotchContentView::renderCard()
{
    cardView->setImage(CardRenderer::image(*m_state.stats, m_state.look.accent.color, m_state.look.texture));
}

void NotchContentView::showProtectLabel()
{
    protectLabel->setVisible(m_state.amber);
    if (m_state.amber)
        protectLabel->setText(QStringLiteral("protect your %1d streak \u2014 you haven't shipped today")
                                  .arg(m_state.stats->streakCurrent));
}

void NotchContentView::layoutExpanded()
{
    if (!m_state.expanded)
        return;
    const ExpandedLayout layout = expandedLayout();
    cardView->setGeometry(layout.card.toRect());
    const std::array<QPushButton*, 4> buttons{downloadBtn, copyBtn, refreshBtn, configureBtn};
    for (size_t i = 0; i < buttons.size(); ++i)
        buttons[i]->setGeometry(layout.buttons[i].toRect());
    protectLabel->setGeometry(layout.label.toRect());
}

QRectF NotchContentView::notchBody() const
{
    const double flare = m_state.look.flare;
    return QRectF(rect()).adjusted(flare, 0, -flare, 0);
}

const SpriteDef& NotchContentView::shownSprite() const
{
    const auto& sprites = Sprites::all();
    const std::optional<int> forced = m_state.debugSpriteOverride;
    if (forced && *forced >= 0 && *forced < static_cast<int>(sprites.size()))
        return sprites[static_cast<size_t>(*forced)];
    return Sprites::of(m_state.look.sprite);
}

QColor NotchContentView::spriteMainColor() const
{
    if (m_state.celebrating)
        return celebrationWhite();
    return m_state.amber ? Theme::amber() : m_state.look.accent.color;
}

QColor NotchContentView::spriteAccentColor() const
{
    if (m_state.celebrating)
        return m_state.amber ? Theme::amber() : m_state.look.accent.color;
    return m_state.amber ? amberShade() : m_state.look.accent.dim();
}

void NotchContentView::paintOutline(QPainter& p) const
{
    const bool expanded = m_state.expanded;
    const double radius = expanded ? m_state.look.expandedRound : m_state.look.collapsedRound;
    const QPainterPath outline = NotchShape::path(QRectF(rect()), radius, m_state.look.flare);
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
    const double boxLeft = notchBody().left() + kSpriteBoxInset;
    const QPointF origin(boxLeft + (kSpriteBoxWidth - sprite.cols * kSpriteCell) / 2,
                         (stripH - sprite.rows * kSpriteCell) / 2);
    drawSprite(p, sprite, m_state.animFrame, origin, kSpriteCell, spriteMainColor(), spriteAccentColor());
}

void NotchContentView::paintWingValue(QPainter& p) const
{
    if (!m_state.stats)
        return;
    const QString& text = m_state.wingText;
    const QFont font = Font::pixel(kWingFontSize);
    const QFontMetricsF metrics(font);
    const double textHeight = metrics.ascent() + metrics.descent();
    const QPointF baseline(rightWingRect().center().x() - metrics.horizontalAdvance(text) / 2,
                           (stripH - textHeight) / 2 + metrics.ascent());
    p.save();
    p.setFont(font);
    p.setPen(m_state.amber ? Theme::amber() : m_state.look.accent.color);
    p.drawText(baseline, text);
    p.restore();
}
