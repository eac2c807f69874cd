#pragma once

#include "core/Stats.h"

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <optional>

class QPainter;
struct SpriteDef;

/// The view inside the notch panel: the black notch outline, an animated sprite in the left wing and one statistic in
/// the right wing. It only displays what it is given; its owner pushes the statistics and states in.
class NotchContentView : public QWidget
{
    Q_OBJECT

public:
    /// Height of the collapsed strip before the user's height offset.
    static constexpr int collapsedH = 32;

    explicit NotchContentView(QWidget* parent = nullptr);

    double stripH = 32;
    /// Width reserved for the left wing; the sprite is placed by its own box and does not read it.
    double leftWingW = 60;
    bool expanded = false;
    std::optional<Stats> stats;
    /// Streak at risk: the number and sprite turn amber.
    bool amber = false;
    /// Animation counter, 0-11; the sprite shows animFrame modulo its frame count.
    int animFrame = 0;
    bool celebrating = false;
    int celebrateFrames = 0;
    /// Forces a sprite index (debug renders); ignored when outside the sprite list.
    std::optional<int> debugSpriteOverride;

    /// The text of the right wing for the statistic chosen in the preferences.
    static QString wingValue(const Stats& stats);
    /// Width of the right-wing text rounded up to a whole pixel; 0 without statistics.
    double rightStatWidth() const;
    /// The right end of the notch body, at least 66 wide, as tall as the strip.
    QRectF rightWingRect() const;

    /// Draws the whole view into its bounds, starting from full transparency.
    void paintContent(QPainter& p) const;
    /// The view drawn into a transparent image of its size.
    QImage renderImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const SpriteDef& shownSprite() const;
    QColor spriteMainColor() const;
    QColor spriteAccentColor() const;
    void paintOutline(QPainter& p) const;
    void paintSprite(QPainter& p) const;
    void paintWingValue(QPainter& p) const;
};
