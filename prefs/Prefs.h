#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <span>

/// Every preference Korvel keeps, each declared once in the key table of Prefs.cpp.
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
    StreakProtection,
    LeaderboardOptIn,
    PrivateMode,
    MsLines,
    MsStreak,
    LastSyncDate,
    LastSyncTimestamp,
    LastSyncSignature,
};

enum class PrefType {
    Integer,
    Double,
    Bool,
    String,
};

/// One row of the key table: the stored name ("korvel." ...) and the type of its accessor.
struct PrefSpec
{
    PrefKey key;
    const char* name;
    PrefType type;
};

/// The per-user preference store (QSettings, organisation and application "Korvel"). Every read asks the store:
/// a change made in this process takes effect at the next read, one made by another process within a second.
/// Writes reach the file at once. An absent key reads as the zero value.
namespace Prefs {

std::span<const PrefSpec> table();
const PrefSpec& spec(PrefKey key);

bool has(PrefKey key);
int64_t integer(PrefKey key);
double real(PrefKey key);
bool flag(PrefKey key);
std::optional<QString> text(PrefKey key);

void setInteger(PrefKey key, int64_t value);
void setReal(PrefKey key, double value);
void setFlag(PrefKey key, bool value);
void setText(PrefKey key, const QString& value);
void remove(PrefKey key);

/// The right-wing statistic, 0 when never chosen.
int64_t wingStat();
/// Streak warnings; on unless turned off.
bool streakProtection();
/// Leaderboard participation; on unless turned off.
bool leaderboardOptIn();

/// The notch flare in points: 11 when absent or 0.
double notchFlare();
/// Bottom radius of the collapsed outline: 13 when absent or 0.
double collapsedRound();
/// Bottom radius of the expanded outline: 16 when absent or 0, else the stored value plus 3.
double expandedRound();

/// Index into the sprite list, clamped to 0-5.
int spriteKind();
/// Index into the accent themes, clamped to 0-5.
int accentTheme();
/// Card texture: 0 scanlines, 1 solid, 2 light streaks (other values draw scanlines).
int64_t cardBackground();

/// Sets the width, height and x offsets of the notch back to 0.
void resetNotchAlignment();

/// Labels of the right-wing statistics, in index order.
const QStringList& wingStatLabels();

} // namespace Prefs
