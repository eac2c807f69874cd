#include "prefs/Prefs.h"

#include <QSettings>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <iterator>
#include <limits>

namespace Prefs {
namespace {

// One store per thread, kept for the thread's life: opening QSettings costs tens of microseconds (it looks at the
// file every time), and every presentation of new figures reads a dozen preferences. All stores of a process
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
    return QString::fromLatin1(row(key).name);
}

QVariant value(PrefKey key)
{
    return store().value(name(key));
}

void announce(PrefKey key)
{
    emit notifier().changed(key);
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
    announce(key);
}

int64_t saturatingAdd(int64_t value, int64_t delta)
{
    if (delta > 0 && value > std::numeric_limits<int64_t>::max() - delta)
        return std::numeric_limits<int64_t>::max();
    if (delta < 0 && value < std::numeric_limits<int64_t>::min() - delta)
        return std::numeric_limits<int64_t>::min();
    return value + delta;
}

// A row's bound as a whole number; an unbounded side is the end of the range.
int64_t integerBound(double bound)
{
    if (bound >= 0x1p63)
        return std::numeric_limits<int64_t>::max();
    return bound < -0x1p63 ? std::numeric_limits<int64_t>::min() : static_cast<int64_t>(bound);
}

// An enumerated preference as its reader takes it: the last choice stands for every value out of range.
template <typename Choice> Choice chosen(PrefKey key)
{
    const int64_t index = choiceIndex(key);
    const int last = row(key).choices - 1;
    return static_cast<Choice>(index >= 0 && index <= last ? index : last);
}

} // namespace

PrefsNotifier& notifier()
{
    // Never destroyed: a write from another thread may still announce itself while the process ends.
    static auto* const instance = new PrefsNotifier;
    return *instance;
}

bool has(PrefKey key)
{
    return store().contains(name(key));
}

// The file is the user's to edit: a value that does not parse (or is not a finite number) reads as the fallback,
// and one out of the row's bounds as the nearest bound. Reading never rewrites it.
int64_t integer(PrefKey key)
{
    const PrefRow& r = row(key);
    const QVariant v = value(key);
    bool parsed = false;
    const int64_t stored = v.isValid() ? v.toLongLong(&parsed) : 0;
    if (!parsed)
        return static_cast<int64_t>(r.fallback);
    return std::clamp(stored, integerBound(r.min), integerBound(r.max));
}

double real(PrefKey key)
{
    const PrefRow& r = row(key);
    const QVariant v = value(key);
    bool parsed = false;
    const double stored = v.isValid() ? v.toDouble(&parsed) : 0;
    if (!parsed || !std::isfinite(stored) || (stored == 0 && r.zeroIsUnset))
        return r.fallback;
    return std::clamp(stored, r.min, r.max);
}

bool flag(PrefKey key)
{
    const QVariant v = value(key);
    return v.isValid() ? v.toBool() : row(key).fallback != 0;
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
    announce(key);
}

void step(PrefKey key, int direction)
{
    const PrefRow& r = row(key);
    const double delta = direction > 0 ? r.step : -r.step;
    if (r.type == PrefType::Double) {
        const double next = real(key) + delta;
        setReal(key, delta > 0 ? std::min(next, r.max) : std::max(next, r.min));
        return;
    }
    const int64_t next = saturatingAdd(integer(key), static_cast<int64_t>(delta));
    setInteger(key, std::clamp(next, integerBound(r.min), integerBound(r.max)));
}

QString stepperText(PrefKey key)
{
    if (row(key).type == PrefType::Integer)
        return QString::number(integer(key));
    // Through a double, so any stored value prints without overflow; + 0.0 turns -0 into 0.
    return QString::number(std::trunc(real(key)) + 0.0, 'f', 0);
}

int64_t choiceIndex(PrefKey key)
{
    const PrefRow& r = row(key);
    const int64_t stored = integer(key);
    return r.clamped ? std::clamp<int64_t>(stored, 0, r.choices - 1) : stored;
}

QStringList labels(PrefKey key)
{
    QStringList result;
    for (const char* label : row(key).labels)
        result << QString::fromUtf8(label);
    return result;
}

bool streakProtection()
{
    return flag(PrefKey::StreakProtection);
}
bool leaderboardOptIn()
{
    return flag(PrefKey::LeaderboardOptIn);
}

WingFigure wingFigure()
{
    return chosen<WingFigure>(PrefKey::WingStat);
}
SpriteFigure spriteFigure()
{
    return chosen<SpriteFigure>(PrefKey::SpriteKind);
}
AccentChoice accentChoice()
{
    return chosen<AccentChoice>(PrefKey::AccentTheme);
}

CardTexture cardTexture()
{
    // Every value it does not know draws scanlines, the first choice.
    const int64_t index = choiceIndex(PrefKey::CardBackground);
    return index >= 0 && index < row(PrefKey::CardBackground).choices ? static_cast<CardTexture>(index)
                                                                      : CardTexture::Scanlines;
}

double notchFlare()
{
    return real(PrefKey::NotchFlare);
}
double collapsedRound()
{
    return real(PrefKey::NotchRound);
}
double expandedRound()
{
    return collapsedRound() + 3;
}

void resetNotchAlignment()
{
    setInteger(PrefKey::NotchWidthOffset, 0);
    setInteger(PrefKey::NotchHeightOffset, 0);
    setInteger(PrefKey::NotchXOffset, 0);
}

void resetShapeAndAlignment()
{
    remove(PrefKey::NotchFlare);
    remove(PrefKey::NotchRound);
    resetNotchAlignment();
}

} // namespace Prefs
