#include "prefs/PrefTable.h"

#include <iterator>

namespace Prefs {
namespace {

constexpr const char* kWingLabels[] = {"Lines today", "$ today", "Streak",  "Total lines",
                                       "Total $",     "Tokens",  "Sessions"};
constexpr const char* kTextureLabels[] = {"Scanlines", "Solid", "Light streaks"};

constexpr PrefRow countRow(PrefKey key, const char* name)
{
    return {.key = key, .name = name, .type = PrefType::Integer};
}

constexpr PrefRow flagRow(PrefKey key, const char* name, bool fallback = false, bool shapesOverlay = false)
{
    return {.key = key,
            .name = name,
            .type = PrefType::Bool,
            .fallback = fallback ? 1.0 : 0.0,
            .shapesOverlay = shapesOverlay};
}

constexpr PrefRow choiceRow(PrefKey key, const char* name, int count, bool clamped,
                            std::span<const char* const> labels = {})
{
    return {.key = key,
            .name = name,
            .type = PrefType::Integer,
            .choices = count,
            .labels = labels,
            .clamped = clamped,
            .shapesOverlay = true};
}

// A shape figure: never 0, so a stored 0 is a key never set; whole steps of 2 between the bounds.
constexpr PrefRow shapeRow(PrefKey key, const char* name, double fallback, double max)
{
    return {.key = key,
            .name = name,
            .type = PrefType::Double,
            .fallback = fallback,
            .zeroIsUnset = true,
            .step = 2,
            .min = 1,
            .max = max,
            .shapesOverlay = true};
}

// An offset of the notch in pixels, steps of 2 and no bounds.
constexpr PrefRow offsetRow(PrefKey key, const char* name)
{
    return {.key = key, .name = name, .type = PrefType::Integer, .step = 2, .shapesOverlay = true};
}

// clang-format off
constexpr PrefRow kTable[] = {
    choiceRow(PrefKey::WingStat,       "korvel.wingStat",       7, false, kWingLabels),
    choiceRow(PrefKey::SpriteKind,     "korvel.spriteKind",     6, true),
    choiceRow(PrefKey::AccentTheme,    "korvel.accentTheme",    6, true),
    choiceRow(PrefKey::CardBackground, "korvel.cardBackground", 3, false, kTextureLabels),
    shapeRow(PrefKey::NotchFlare,      "korvel.notchFlare",     11, 40),
    shapeRow(PrefKey::NotchRound,      "korvel.notchRound",     13, 30),
    offsetRow(PrefKey::NotchWidthOffset,  "korvel.notchWidthOffset"),
    offsetRow(PrefKey::NotchHeightOffset, "korvel.notchHeightOffset"),
    offsetRow(PrefKey::NotchXOffset,      "korvel.notchXOffset"),
    flagRow(PrefKey::NotchHidden,      "korvel.notchHidden"),
    flagRow(PrefKey::NotchAtScreenEdge, "korvel.notchAtScreenEdge", false, true),
    flagRow(PrefKey::StreakProtection, "korvel.streakProtection", true),
    flagRow(PrefKey::LeaderboardOptIn, "korvel.leaderboardOptIn", true),
    flagRow(PrefKey::PrivateMode,      "korvel.privateMode"),
    countRow(PrefKey::MsLines,       "korvel.msLines"),
    countRow(PrefKey::MsStreak,      "korvel.msStreak"),
    {.key = PrefKey::LastSyncDate,      .name = "korvel.lastSyncDate",      .type = PrefType::String},
    {.key = PrefKey::LastSyncTimestamp, .name = "korvel.lastSyncTimestamp", .type = PrefType::Double},
    {.key = PrefKey::LastSyncSignature, .name = "korvel.lastSyncSignature", .type = PrefType::String},
    flagRow(PrefKey::ForgetDeletedLogs, "korvel.forgetDeletedLogs"),
};
// clang-format on

constexpr bool tableInKeyOrder()
{
    for (size_t i = 0; i < std::size(kTable); ++i)
        if (static_cast<size_t>(kTable[i].key) != i)
            return false;
    return true;
}
static_assert(tableInKeyOrder(), "row() indexes the table by key");

} // namespace

std::span<const PrefRow> table()
{
    return kTable;
}

const PrefRow& row(PrefKey key)
{
    return kTable[static_cast<size_t>(key)];
}

} // namespace Prefs
