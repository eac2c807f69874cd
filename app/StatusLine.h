#pragma once

#include "core/Stats.h"

#include <ostream>
#include <string>

/// One short line for a panel (waybar, polybar, tmux, an agent's status line): today's lines and cost and the
/// streak, with the warning of the amber state when today's coding has not kept the streak yet.
struct StatusLine
{
    std::string text;
    std::string tooltip;
    /// "at-risk" in the amber state, else "ok".
    std::string cssClass;

    /// streakProtection: the user's preference; without it there is no amber state.
    static StatusLine of(const Stats& stats, bool streakProtection);

    /// The text and a line feed; with json, {"text", "tooltip", "class"} as waybar's custom modules read it.
    void print(std::ostream& out, bool json) const;
};
