#include "ui/notch/Sprites.h"

#include <QPainter>
#include <array>
#include <initializer_list>
#include <string_view>

namespace {

using Cells = std::vector<SpriteCell>;

int wrap(int frame, int count)
{
    return ((frame % count) + count) % count;
}

// Reads a shape drawn as text ('#' marks a cell) row by row, left to right, which is also its drawing order.
Cells parseShape(std::initializer_list<std::string_view> rows)
{
    Cells cells;
    int row = 0;
    for (std::string_view line : rows) {
        for (size_t col = 0; col < line.size(); ++col)
            if (line[col] == '#')
                cells.push_back({row, static_cast<int>(col), false});
        ++row;
    }
    return cells;
}

void append(Cells& out, const Cells& shape, int rowShift, int colShift, bool accent)
{
    for (const SpriteCell& c : shape)
        out.push_back({c.row + rowShift, c.col + colShift, accent});
}

// clang-format off
const Cells& shipHull()
{
    static const Cells shape = parseShape({
        "....#.....",
        "....##....",
        "....###...",
        "....####..",
        ".########.",
        "..######..",
    });
    return shape;
}

const Cells& rocketBody()
{
    static const Cells shape = parseShape({
        "....##....",
        "....##....",
        "....##....",
        "....##....",
        "...####...",
    });
    return shape;
}

const Cells& boltShape()
{
    static const Cells shape = parseShape({
        "....#...",
        "...##...",
        "..##....",
        "..####..",
        "....##..",
        "...##...",
        "...#....",
    });
    return shape;
}

const Cells& invaderBody()
{
    static const Cells shape = parseShape({
        "..#...#...",
        "...#.#....",
        "..#####...",
        ".##.#.##..",
        ".#######..",
    });
    return shape;
}

const Cells& anchorShape()
{
    static const Cells shape = parseShape({
        "....#...",
        "...#.#..",
        "....#...",
        "..#####.",
        "....#...",
        "....#...",
        "..#.#.#.",
        "..##.##.",
    });
    return shape;
}
// clang-format on

// A sailboat bobbing on water: the hull dips in frames 1 and 2 and the water rolls over its lowest row.
Cells shipFrame(int f)
{
    Cells cells;
    append(cells, shipHull(), (f == 1 || f == 2) ? 1 : 0, 0, false);
    for (int i = 0; i < 10; ++i) {
        if ((i + f) % 4 < 2)
            cells.push_back({6, i, true});
        if ((i + f + 2) % 4 < 2)
            cells.push_back({7, i, true});
    }
    return cells;
}

// The flame grows by one row per frame; frame 1 throws two sparks.
Cells rocketFrame(int f)
{
    Cells cells = rocketBody();
    for (int k = 0; k <= f; ++k) {
        cells.push_back({5 + k, 4, true});
        cells.push_back({5 + k, 5, true});
    }
    if (f == 1) {
        cells.push_back({6, 3, true});
        cells.push_back({6, 6, true});
    }
    return cells;
}

// Each column is a crest over a body of water; the crests travel one column per frame.
Cells waveFrame(int f)
{
    Cells cells;
    for (int i = 0; i < 10; ++i) {
        const int crest = (i + f) % 4 < 2 ? 3 : 4;
        cells.push_back({crest, i, false});
        for (int row = crest + 1; row <= 6; ++row)
            cells.push_back({row, i, true});
    }
    return cells;
}

// Flashes in the accent colour in frame 1 and throws two sparks in frame 2.
Cells boltFrame(int f)
{
    Cells cells;
    append(cells, boltShape(), 0, 0, f == 1);
    if (f == 2) {
        cells.push_back({0, 5, false});
        cells.push_back({6, 2, false});
    }
    return cells;
}

// Hops down a row in frame 1 and swaps between two leg poses.
Cells invaderFrame(int f)
{
    Cells cells;
    append(cells, invaderBody(), f == 1 ? 1 : 0, 0, false);
    if (f == 0) {
        cells.push_back({5, 2, false});
        cells.push_back({5, 6, false});
    } else if (f == 1) {
        for (int col : {1, 3, 5, 7})
            cells.push_back({6, col, false});
    }
    return cells;
}

// Sways left, centre, right, centre.
Cells anchorFrame(int f)
{
    static constexpr std::array<int, 4> sway{-1, 0, 1, 0};
    Cells cells;
    append(cells, anchorShape(), 0, sway[static_cast<size_t>(wrap(f, 4))], false);
    return cells;
}

} // namespace

namespace Sprites {

const std::vector<SpriteDef>& all()
{
    static const std::vector<SpriteDef> sprites{
        {QStringLiteral("Ship"), 10, 8, 4, shipFrame},       {QStringLiteral("Rocket"), 10, 8, 3, rocketFrame},
        {QStringLiteral("Wave"), 10, 8, 4, waveFrame},       {QStringLiteral("Bolt"), 8, 8, 3, boltFrame},
        {QStringLiteral("Invader"), 10, 8, 2, invaderFrame}, {QStringLiteral("Anchor"), 8, 8, 4, anchorFrame},
    };
    return sprites;
}

const SpriteDef& of(SpriteFigure figure)
{
    return all()[static_cast<size_t>(figure)];
}

} // namespace Sprites

void drawSprite(QPainter& p, const SpriteDef& sprite, int frame, QPointF origin, double cell, const QColor& main,
                const QColor& accent)
{
    if (sprite.frames < 1 || !sprite.cells)
        return;
    const Cells cells = sprite.cells(wrap(frame, sprite.frames));
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    for (const SpriteCell& c : cells) {
        if (c.row < 0 || c.row >= sprite.rows || c.col < 0 || c.col >= sprite.cols)
            continue;
        const QRectF square(origin.x() + c.col * cell, origin.y() + c.row * cell, cell, cell);
        p.fillRect(square, c.accent ? accent : main);
    }
    p.restore();
}
