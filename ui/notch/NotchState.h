#pragma once

#include "core/Stats.h"
#include "prefs/Choices.h"
#include "ui/look/Accent.h"

#include <QString>
#include <optional>

/// The preferences that the overlay shows, read once for each presentation.
struct OverlayLook
{
    WingFigure wing = WingFigure::LinesToday;
    SpriteFigure sprite = SpriteFigure::Ship;
    AccentTheme accent;
    CardTexture texture = CardTexture::Scanlines;
    /// The outline: the flare of the top corners and the bottom radius of either state.
    double flare = 0;
    double collapsedRound = 0;
    double expandedRound = 0;

    /// The look the stored preferences choose.
    static OverlayLook current();

    bool operator==(const OverlayLook&) const = default;
};

/// Everything the overlay draws. Its owner hands in the figures and the look; the view itself moves the animation
/// and the celebration on.
struct NotchState
{
    std::optional<Stats> stats;
    /// The right wing's text; empty without figures.
    QString wingText;
    OverlayLook look;
    /// Forces a sprite (the debug renders); ignored when outside the sprite list.
    std::optional<int> debugSpriteOverride;
    bool expanded = false;
    /// Streak at risk: the number and the sprite turn amber, the expanded card warns.
    bool amber = false;
    bool celebrating = false;
    /// Animation steps of celebration left.
    int celebrateFrames = 0;
    /// Animation counter, 0-11; the sprite shows animFrame modulo its frame count.
    int animFrame = 0;

    /// What a new record or new preferences show, with the motion (expansion, animation, celebration) of now.
    static NotchState of(const std::optional<Stats>& stats, bool amber, const OverlayLook& look, const NotchState& now);
};

/// The text of the right wing for the chosen statistic.
QString wingValue(const Stats& stats, WingFigure figure);
