#pragma once

#include "prefs/Choices.h"

#include <QColor>
#include <QPointF>
#include <QString>
#include <functional>
#include <vector>

class QPainter;

/// One square of a sprite frame: row 0 is the top, column 0 the left; `accent` picks the second colour.
struct SpriteCell
{
    int row;
    int col;
    bool accent;

    bool operator==(const SpriteCell&) const = default;
};

/// A small animated pixel figure on a grid of `cols` x `rows` cells.
struct SpriteDef
{
    QString name;
    int cols;
    int rows;
    int frames;
    /// The cells of one frame (0 ... frames - 1), in drawing order: a later cell covers an earlier one.
    std::function<std::vector<SpriteCell>(int frame)> cells;
};

namespace Sprites {

/// Ship, Rocket, Wave, Bolt, Invader, Anchor; the index is the sprite preference.
const std::vector<SpriteDef>& all();

const SpriteDef& of(SpriteFigure figure);

} // namespace Sprites

/// Draws `frame` (wrapped into the sprite's frame count) as squares of `cell` with the grid's top-left at `origin`.
/// Cells outside the grid are skipped; squares snap to whole pixels so the figure stays crisp.
void drawSprite(QPainter& p, const SpriteDef& sprite, int frame, QPointF origin, double cell, const QColor& main,
                const QColor& accent);
