#pragma once

#include <cstdint>
#include <limits>
#include <span>

/// Every preference Korvel keeps, each described once by its row in the table of Prefs.cpp.
enum class PrefKey {
    WingStat,
    SpriteKind,
    AccentTheme,
    CardBackground,
    NotchFlare,
    NotchRound,
    NotchWidthOffset,
    NotchHeightOffset,
    NotchXOffset,
    NotchHidden,
    NotchAtScreenEdge,
    StreakProtection,
    LeaderboardOptIn,
    PrivateMode,
    MsLines,
    MsStreak,
    LastSyncDate,
    LastSyncTimestamp,
    LastSyncSignature,
    ForgetDeletedLogs,
};

enum class PrefType {
    Integer,
    Double,
    Bool,
    String,
};

/// One row of the preference table: everything there is to know about one preference.
struct PrefRow
{
    static constexpr double unbounded = std::numeric_limits<double>::infinity();

    PrefKey key;
    /// The stored name, "korvel." and the key.
    const char* name;
    PrefType type;
    /// What a reader gets while the key is absent (a flag: 0 or 1).
    double fallback = 0;
    /// A stored 0 reads as the fallback too: the key was never set to a real value.
    bool zeroIsUnset = false;
    /// One press of its stepper; 0 for a preference without one.
    double step = 0;
    /// Where its stepper stops.
    double min = -unbounded;
    double max = unbounded;
    /// How many choices an enumerated preference has (0 for the others); their labels, when Prefs holds them.
    int choices = 0;
    std::span<const char* const> labels = {};
    /// An enumerated preference out of range is clamped on read; otherwise its reader picks the last choice.
    bool clamped = false;
    /// The overlay shows it: a change redraws the overlay and lays its panel out again.
    bool shapesOverlay = false;
};

namespace Prefs {

/// Every row, in key order.
std::span<const PrefRow> table();
const PrefRow& row(PrefKey key);

} // namespace Prefs
