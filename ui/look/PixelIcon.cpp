#include "ui/look/PixelIcon.h"

#include <QPainter>
#include <algorithm>
#include <array>

namespace PixelIcon {
namespace {

using Glyph = std::array<std::string_view, 8>;

// clang-format off
constexpr Glyph kFirstBlood{
    "...XX...",
    "..XXXX..",
    "..XXXX..",
    ".XXXXXX.",
    "XXXXXXXX",
    "XXXXXXXX",
    ".XXXXXX.",
    "..XXXX..",
};
constexpr Glyph kTenK{
    "...XX...",
    "..XXXX..",
    ".XXXXXX.",
    "XXXXXXXX",
    "...XX...",
    "...XX...",
    "...XX...",
    "...XX...",
};
constexpr Glyph kHundredK{
    "......XX",
    "......XX",
    "...XX.XX",
    "...XX.XX",
    "XX.XX.XX",
    "XX.XX.XX",
    "XX.XX.XX",
    "XXXXXXXX",
};
constexpr Glyph kStreak{
    "...X....",
    "..XX....",
    "..XXX...",
    ".XXXXX..",
    ".XXXXXX.",
    "XXXXXXXX",
    "XXXXXXXX",
    ".XXXXXX.",
};
constexpr Glyph kNightOwl{
    "..XXXX..",
    ".XXX....",
    "XXX.....",
    "XXX.....",
    "XXX.....",
    "XXX.....",
    ".XXX....",
    "..XXXX..",
};
constexpr Glyph kBigSpender{
    "..XXXX..",
    ".XXXXXX.",
    "XX.XX.XX",
    "XX.XX.XX",
    "XX.XX.XX",
    "XX.XX.XX",
    ".XXXXXX.",
    "..XXXX..",
};
constexpr Glyph kTokenLord{
    ".XXXXXX.",
    "XXXXXXXX",
    ".XXXXXX.",
    "XXXXXXXX",
    ".XXXXXX.",
    "XXXXXXXX",
    ".XXXXXX.",
    "XXXXXXXX",
};
constexpr Glyph kPolyglot{
    "XXX.XXX.",
    "XXX.XXX.",
    "XXX.XXX.",
    "........",
    "XXX.XXX.",
    "XXX.XXX.",
    "XXX.XXX.",
    "........",
};
constexpr Glyph kCenturion{
    ".X....X.",
    ".X....X.",
    "..XXXX..",
    ".XXXXXX.",
    ".XXXXXX.",
    ".XXXXXX.",
    "..XXXX..",
    "........",
};
constexpr Glyph kFallback{
    "XXXXXXXX",
    "X......X",
    "X.XXXX.X",
    "X.XXXX.X",
    "X.XXXX.X",
    "X.XXXX.X",
    "X......X",
    "XXXXXXXX",
};
// clang-format on

struct Rgb
{
    int r;
    int g;
    int b;
};

struct Icon
{
    std::string_view id;
    const Glyph* glyph;
    Rgb rgb;
};

constexpr Rgb kTenKBlue{91, 124, 255};

constexpr std::array kIcons{
    Icon{"first-blood", &kFirstBlood, {255, 77, 77}},  Icon{"ten-k", &kTenK, kTenKBlue},
    Icon{"hundred-k", &kHundredK, {34, 197, 94}},      Icon{"week-streak", &kStreak, {255, 140, 26}},
    Icon{"month-streak", &kStreak, {255, 140, 26}},    Icon{"night-owl", &kNightOwl, {139, 92, 246}},
    Icon{"big-spender", &kBigSpender, {255, 194, 51}}, Icon{"token-lord", &kTokenLord, {255, 176, 32}},
    Icon{"polyglot", &kPolyglot, {34, 211, 238}},      Icon{"centurion", &kCenturion, {255, 204, 51}},
};

const Icon* find(std::string_view id)
{
    const auto it = std::ranges::find(kIcons, id, &Icon::id);
    return it == kIcons.end() ? nullptr : &*it;
}

} // namespace

void draw(QPainter& p, std::string_view id, const QRectF& rect, const QColor& color)
{
    const Icon* icon = find(id);
    const Glyph& glyph = icon ? *icon->glyph : kFallback;
    const double s = std::min(rect.width(), rect.height()) / 8;
    const double left = rect.left() + (rect.width() - 8 * s) / 2;
    const double top = rect.top() + (rect.height() - 8 * s) / 2;
    p.save();
    // Pixel art: squares at fractional positions snap to whole pixels instead of blurring at their edges.
    p.setRenderHint(QPainter::Antialiasing, false);
    for (size_t row = 0; row < glyph.size(); ++row)
        for (size_t k = 0; k < glyph[row].size(); ++k)
            if (glyph[row][k] == 'X')
                p.fillRect(QRectF(left + s * k, top + s * row, s, s), color);
    p.restore();
}

QColor color(std::string_view id)
{
    const Icon* icon = find(id);
    const Rgb rgb = icon ? icon->rgb : kTenKBlue;
    return QColor(rgb.r, rgb.g, rgb.b);
}

} // namespace PixelIcon
