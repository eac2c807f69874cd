#pragma once

#include "ui/notch/NotchState.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRectF>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class CardPreview;
class QLabel;
class QPainter;
class QPushButton;
struct SpriteDef;

/// The view inside the notch panel: the black notch outline, an animated sprite in the left wing and one statistic in
/// the right wing; expanded, also the share-card preview, four buttons and the streak warning. It paints only from the
/// state it is handed (its own timers move the animation on), and every action goes back through the callbacks.
class NotchContentView : public QWidget
{
    Q_OBJECT

public:
    /// Height of the collapsed strip before the user's height offset.
    static constexpr int collapsedH = 32;

    /// Where the expanded subviews go, in the view's coordinates.
    struct ExpandedLayout
    {
        QRectF card;
        std::array<QRectF, 4> buttons;
        QRectF label;
    };

    explicit NotchContentView(QWidget* parent = nullptr);

    /// Right wing clicked while collapsed.
    std::function<void()> onCycle;
    std::function<void()> onDownload;
    std::function<void()> onCopy;
    std::function<void()> onRefresh;
    /// Receives the Configure button, so a menu can open next to it.
    std::function<void(QWidget* clicked)> onConfigure;
    /// Hover asks to expand (true) or, 0.35 s after the pointer left, to collapse (false).
    std::function<void(bool expanded)> onExpandChange;
    /// A right-click anywhere on the view, at the pointer's global position.
    std::function<void(QPoint globalPos)> onContextMenu;

    /// Height of the strip that holds the wings, in either state.
    static constexpr double stripH = 32;

    CardPreview* const cardView;
    QPushButton* const downloadBtn;
    QPushButton* const copyBtn;
    QPushButton* const refreshBtn;
    QPushButton* const configureBtn;
    /// The streak warning under the buttons.
    QLabel* const protectLabel;

    /// Width of the right-wing text rounded up to a whole pixel; 0 without statistics.
    double rightStatWidth() const;
    /// The right end of the notch body, at least 66 wide, as tall as the strip.
    QRectF rightWingRect() const;
    /// Width of the right wing: the text plus padding, at least minRightWingWidth.
    double rightWingWidth() const;
    static constexpr double minRightWingWidth = 66;
    /// The narrowest notch body (the view without its flares) that shows the sprite and the right wing side by side.
    double minBodyWidth() const;

    /// Draws the view into its bounds, starting from full transparency; with a clip set on p, only what the clip
    /// reaches.
    void paintContent(QPainter& p) const;
    /// Where the sprite is drawn: all that an animation step changes.
    QRect spriteRect() const;
    /// The view drawn into a transparent image of its size.
    QImage renderImage() const;

    /// Everything the view draws. Expanding shows the card (rendered again), the buttons and the warning; new
    /// figures or a new look while expanded render the card again, and the warning waits for the next expansion.
    void setState(NotchState state);
    const NotchState& state() const { return m_state; }
    ExpandedLayout expandedLayout() const;

    /// Starts the 0.18 s sprite timer.
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const;
    /// One animation step: the next sprite frame, and one celebration tick less.
    void tick();
    /// A collapse is waiting for the 0.35 s after the pointer left.
    bool collapsePending() const;
    /// The wait between the pointer leaving and the collapse; tests fire it instead of waiting.
    QTimer& collapseTimer();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QPushButton* makeButton(const QString& title);
    QLabel* makeProtectLabel();
    void connectButtons();
    void setupTimers();
    void requestExpanded(bool expand);
    void applyExpanded();
    void restyleButtons();
    void renderCard();
    void showProtectLabel();
    void layoutExpanded();
    QRectF notchBody() const;
    const SpriteDef& shownSprite() const;
    QColor spriteMainColor() const;
    QColor spriteAccentColor() const;
    void paintOutline(QPainter& p) const;
    void paintSprite(QPainter& p) const;
    void paintWingValue(QPainter& p) const;

    NotchState m_state;
    QTimer m_barTimer;
    QTimer m_collapseWork;
};
