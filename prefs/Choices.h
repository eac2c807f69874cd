#pragma once

/// The choices of the enumerated preferences, in the order the store numbers them. Views take these as values; only
/// Prefs turns stored numbers into them.

/// The statistic in the overlay's right wing.
enum class WingFigure {
    LinesToday,
    CostToday,
    Streak,
    TotalLines,
    TotalCost,
    Tokens,
    Sessions,
};

/// The animated figure in the overlay's left wing; the index into Sprites::all().
enum class SpriteFigure {
    Ship,
    Rocket,
    Wave,
    Bolt,
    Invader,
    Anchor,
};

/// The accent colour; the index into Accent::all().
enum class AccentChoice {
    Cobalt,
    Lime,
    Magenta,
    Amber,
    Cyan,
    Violet,
};

/// The texture over the share card's background.
enum class CardTexture {
    Scanlines,
    Solid,
    LightStreaks,
};
