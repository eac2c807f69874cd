#include "ui/notch/Sprites.h"

#include "prefs/Prefs.h"
#include "tests/support/PrefsGuard.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

const QColor kMain(255, 0, 0);
const QColor kAccent(0, 255, 0);

using Picture = std::vector<std::string>;

std::string hex(const QColor& c)
{
    return c.name(QColor::HexArgb).toStdString();
}

// Draws one frame with 2-pixel cells and reads it back as text: '#' main, '+' accent, '.' empty.
Picture picture(const SpriteDef& sprite, int frame)
{
    QImage image(sprite.cols * 2, sprite.rows * 2, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    drawSprite(p, sprite, frame, {0, 0}, 2, kMain, kAccent);
    p.end();
    Picture rows;
    for (int row = 0; row < sprite.rows; ++row) {
        std::string line;
        for (int col = 0; col < sprite.cols; ++col) {
            const QColor c = image.pixelColor(col * 2 + 1, row * 2 + 1);
            line += c == kMain ? '#' : c == kAccent ? '+' : c.alpha() == 0 ? '.' : '?';
        }
        rows.push_back(line);
    }
    return rows;
}

// Frames written side by side, one table line per sprite row, as the artwork is drawn.
Picture frameFromTable(const Picture& table, int frame)
{
    Picture rows;
    for (const std::string& line : table) {
        std::istringstream words(line);
        std::string word;
        for (int i = 0; i <= frame; ++i)
            words >> word;
        rows.push_back(word);
    }
    return rows;
}

const SpriteDef& sprite(const char* name)
{
    for (const SpriteDef& s : Sprites::all())
        if (s.name == QLatin1String(name))
            return s;
    throw std::runtime_error(name);
}

// clang-format off
const std::pair<const char*, Picture> kPictures[] = {
    {"Ship", {
        "....#.....  ..........  ..........  ....#.....",
        "....##....  ....#.....  ....#.....  ....##....",
        "....###...  ....##....  ....##....  ....###...",
        "....####..  ....###...  ....###...  ....####..",
        ".########.  ....####..  ....####..  .########.",
        "..######..  .########.  .########.  ..######..",
        "++..++..++  +.#++##++.  ..++##++..  .++..++..+",
        "..++..++..  .++..++..+  ++..++..++  +..++..++.",
    }},
    {"Rocket", {
        "....##....  ....##....  ....##....",
        "....##....  ....##....  ....##....",
        "....##....  ....##....  ....##....",
        "....##....  ....##....  ....##....",
        "...####...  ...####...  ...####...",
        "....++....  ....++....  ....++....",
        "..........  ...++++...  ....++....",
        "..........  ..........  ....++....",
    }},
    {"Wave", {
        "..........  ..........  ..........  ..........",
        "..........  ..........  ..........  ..........",
        "..........  ..........  ..........  ..........",
        "##..##..##  #..##..##.  ..##..##..  .##..##..#",
        "++##++##++  +##++##++#  ##++##++##  #++##++##+",
        "++++++++++  ++++++++++  ++++++++++  ++++++++++",
        "++++++++++  ++++++++++  ++++++++++  ++++++++++",
        "..........  ..........  ..........  ..........",
    }},
    {"Bolt", {
        "....#...  ....+...  ....##..",
        "...##...  ...++...  ...##...",
        "..##....  ..++....  ..##....",
        "..####..  ..++++..  ..####..",
        "....##..  ....++..  ....##..",
        "...##...  ...++...  ...##...",
        "...#....  ...+....  ..##....",
        "........  ........  ........",
    }},
    {"Invader", {
        "..#...#...  ..........",
        "...#.#....  ..#...#...",
        "..#####...  ...#.#....",
        ".##.#.##..  ..#####...",
        ".#######..  .##.#.##..",
        "..#...#...  .#######..",
        "..........  .#.#.#.#..",
        "..........  ..........",
    }},
    {"Anchor", {
        "...#....  ....#...  .....#..  ....#...",
        "..#.#...  ...#.#..  ....#.#.  ...#.#..",
        "...#....  ....#...  .....#..  ....#...",
        ".#####..  ..#####.  ...#####  ..#####.",
        "...#....  ....#...  .....#..  ....#...",
        "...#....  ....#...  .....#..  ....#...",
        ".#.#.#..  ..#.#.#.  ...#.#.#  ..#.#.#.",
        ".##.##..  ..##.##.  ...##.##  ..##.##.",
    }},
};
// clang-format on

} // namespace

TEST(SpritesTest, SixSpritesInPreferenceOrder)
{
    const auto& all = Sprites::all();
    ASSERT_EQ(all.size(), 6u);
    const std::tuple<const char*, int, int, int> expected[] = {
        {"Ship", 10, 8, 4}, {"Rocket", 10, 8, 3},  {"Wave", 10, 8, 4},
        {"Bolt", 8, 8, 3},  {"Invader", 10, 8, 2}, {"Anchor", 8, 8, 4},
    };
    for (size_t i = 0; i < all.size(); ++i) {
        const auto& [name, cols, rows, frames] = expected[i];
        EXPECT_EQ(all[i].name.toStdString(), name);
        EXPECT_EQ(all[i].cols, cols) << name;
        EXPECT_EQ(all[i].rows, rows) << name;
        EXPECT_EQ(all[i].frames, frames) << name;
    }
}

TEST(SpritesTest, EveryFrameDrawsItsPicture)
{
    for (const auto& [name, table] : kPictures) {
        const SpriteDef& s = sprite(name);
        for (int frame = 0; frame < s.frames; ++frame)
            EXPECT_EQ(picture(s, frame), frameFromTable(table, frame)) << name << " frame " << frame;
    }
}

TEST(SpritesTest, FramesWrapAroundTheFrameCount)
{
    EXPECT_EQ(picture(sprite("Rocket"), 5), picture(sprite("Rocket"), 2));
    EXPECT_EQ(picture(sprite("Invader"), 5), picture(sprite("Invader"), 1));
    EXPECT_EQ(picture(sprite("Ship"), 11), picture(sprite("Ship"), 3));
    EXPECT_EQ(picture(sprite("Ship"), -1), picture(sprite("Ship"), 3));
}

TEST(SpritesTest, CellsOutsideTheGridAreSkipped)
{
    const SpriteDef square{
        "Square", 2, 2, 1, [](int) {
            return std::vector<SpriteCell>{{-1, 0, false}, {0, 2, true}, {2, 1, true}, {0, -1, false}, {1, 1, true}};
        }};
    QImage image(10, 10, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    drawSprite(p, square, 0, {3, 3}, 2, kMain, kAccent);
    p.end();
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool lastCell = x >= 5 && x < 7 && y >= 5 && y < 7;
            EXPECT_EQ(hex(image.pixelColor(x, y)), hex(lastCell ? kAccent : QColor(Qt::transparent))) << x << "," << y;
        }
}

TEST(SpritesTest, FractionalCellsTileWithoutGapsOrBlur)
{
    QImage image(60, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawSprite(p, sprite("Wave"), 0, {19.5, 6}, 2.5, kMain, kAccent);
    p.end();
    // Rows 5 and 6 of the wave are solid water across all ten columns.
    for (int y = 19; y < 24; ++y) {
        for (int x = 20; x < 45; ++x)
            EXPECT_EQ(hex(image.pixelColor(x, y)), hex(kAccent)) << x << "," << y;
        EXPECT_EQ(image.pixelColor(19, y).alpha(), 0) << y;
        EXPECT_EQ(image.pixelColor(45, y).alpha(), 0) << y;
    }
}

TEST(SpritesTest, CurrentFollowsTheClampedPreference)
{
    PrefsGuard guard;
    EXPECT_EQ(Sprites::current().name.toStdString(), "Ship");
    Prefs::setInteger(PrefKey::SpriteKind, 3);
    EXPECT_EQ(Sprites::current().name.toStdString(), "Bolt");
    Prefs::setInteger(PrefKey::SpriteKind, 7);
    EXPECT_EQ(Sprites::current().name.toStdString(), "Anchor");
    Prefs::setInteger(PrefKey::SpriteKind, -1);
    EXPECT_EQ(Sprites::current().name.toStdString(), "Ship");
}
