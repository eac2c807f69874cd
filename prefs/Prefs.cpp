#include "prefs/Prefs.h"

#include <QSettings>
#include <algorithm>
#include <chrono>
#include <iterator>

namespace Prefs {
namespace {

// clang-format off
constexpr PrefSpec kTable[] = {
    {PrefKey::WingStat,          "korvel.wingStat",          PrefType::Integer},
    {PrefKey::SpriteKind,        "korvel.spriteKind",        PrefType::Integer},
    {PrefKey::AccentTheme,       "korvel.accentTheme",       PrefType::Integer},
    {PrefKey::CardBackground,    "korvel.cardBackground",    PrefType::Integer},
    {PrefKey::NotchFlare,        "korvel.notchFlare",        PrefType::Double},
    {PrefKey::NotchRound,        "korvel.notchRound",        PrefType::Double},
    {PrefKey::NotchWidthOffset,  "korvel.notchWidthOffset",  PrefType::Integer},
    {PrefKey::NotchHeightOffset, "korvel.notchHeightOffset", PrefType::Integer},
    {PrefKey::NotchXOffset,      "korvel.notchXOffset",      PrefType::Integer},
    {PrefKey::NotchHidden,       "korvel.notchHidden",       PrefType::Bool},
    {PrefKey::StreakProtection,  "korvel.streakProtection",  PrefType::Bool},
    {PrefKey::LeaderboardOptIn,  "korvel.leaderboardOptIn",  PrefType::Bool},
    {PrefKey::PrivateMode,       "korvel.privateMode",       PrefType::Bool},
    {PrefKey::MsLines,           "korvel.msLines",           PrefType::Integer},
    {PrefKey::MsStreak,          "korvel.msStreak",          PrefType::Integer},
    {PrefKey::LastSyncDate,      "korvel.lastSyncDate",      PrefType::String},
    {PrefKey::LastSyncTimestamp, "korvel.lastSyncTimestamp", PrefType::Double},
    {PrefKey::LastSyncSignature, "korvel.lastSyncSignature", PrefType::String},
};
// clang-format on

constexpr bool tableInKeyOrder()
{
    for (size_t i = 0; i < std::size(kTable); ++i)
        if (static_cast<size_t>(kTable[i].key) != i)
            return false;
    return true;
}
static_assert(tableInKeyOrder(), "spec() indexes the table by key");

constexpr int kLastSprite = 5;
constexpr int kLastAccent = 5;

// One store per thread, kept for the thread's life: opening QSettings costs tens of microseconds (it looks at the
// file every time), and the overlay reads several preferences in every animation frame. All stores of a process
// share one copy of the file's contents, so a write is seen at once on every thread; the file itself is looked at
// again at most once a second, for changes made by another process.
QSettings& store()
{
    thread_local QSettings settings(QStringLiteral("Korvel"), QStringLiteral("Korvel"));
    thread_local auto lastLook = std::chrono::steady_clock::now();
    const auto now = std::chrono::steady_clock::now();
    if (now - lastLook >= std::chrono::seconds(1)) {
        settings.sync();
        lastLook = now;
    }
    return settings;
}

QString name(PrefKey key)
{
    return QString::fromLatin1(spec(key).name);
}

QVariant value(PrefKey key)
{
    return store().value(name(key));
}

// Writes go to the file at once; a value that is already stored is not written again (the milestones store the
// line total after every refresh, which would otherwise rewrite the file every few seconds while an agent works).
void set(PrefKey key, const QVariant& v)
{
    QSettings& settings = store();
    const QString k = name(key);
    if (settings.contains(k) && settings.value(k) == v)
        return;
    settings.setValue(k, v);
    settings.sync();
}

bool flagOrTrue(PrefKey key)
{
    return has(key) ? flag(key) : true;
}

int clampedIndex(PrefKey key, int last)
{
    return static_cast<int>(std::clamp<int64_t>(integer(key), 0, last));
}

} // namespace

std::span<const PrefSpec> table()
{
    return kTable;
}

const PrefSpec& spec(PrefKey key)
{
    return kTable[static_cast<size_t>(key)];
}

bool has(PrefKey key)
{
    return store().contains(name(key));
}
int64_t integer(PrefKey key)
{
    return value(key).toLongLong();
}
double real(PrefKey key)
{
    return value(key).toDouble();
}
bool flag(PrefKey key)
{
    return value(key).toBool();
}

std::optional<QString> text(PrefKey key)
{
    const QVariant v = value(key);
    if (!v.isValid())
        return std::nullopt;
    return v.toString();
}

void setInteger(PrefKey key, int64_t v)
{
    set(key, QVariant::fromValue<qlonglong>(v));
}
void setReal(PrefKey key, double v)
{
    set(key, v);
}
void setFlag(PrefKey key, bool v)
{
    set(key, v);
}
void setText(PrefKey key, const QString& v)
{
    set(key, v);
}
void remove(PrefKey key)
{
    QSettings& settings = store();
    if (!settings.contains(name(key)))
        return;
    settings.remove(name(key));
    settings.sync();
}

int64_t wingStat()
{
    return has(PrefKey::WingStat) ? integer(PrefKey::WingStat) : 0;
}
bool streakProtection()
{
    return flagOrTrue(PrefKey::StreakProtection);
}
bool leaderboardOptIn()
{
    return flagOrTrue(PrefKey::LeaderboardOptIn);
}

double notchFlare()
{
    const double f = real(PrefKey::NotchFlare);
    return f == 0 ? 11 : f;
}

double collapsedRound()
{
    const double r = real(PrefKey::NotchRound);
    return r == 0 ? 13 : r;
}

double expandedRound()
{
    const double r = real(PrefKey::NotchRound);
    return r == 0 ? 16 : r + 3;
}

int spriteKind()
{
    return clampedIndex(PrefKey::SpriteKind, kLastSprite);
}
int accentTheme()
{
    return clampedIndex(PrefKey::AccentTheme, kLastAccent);
}
int64_t cardBackground()
{
    return integer(PrefKey::CardBackground);
}

void resetNotchAlignment()
{
    setInteger(PrefKey::NotchWidthOffset, 0);
    setInteger(PrefKey::NotchHeightOffset, 0);
    setInteger(PrefKey::NotchXOffset, 0);
}

const QStringList& wingStatLabels()
{
    static const QStringList labels{"Lines today", "$ today", "Streak", "Total lines", "Total $", "Tokens", "Sessions"};
    return labels;
}

} // namespace Prefs
