#pragma once

#include "prefs/Choices.h"
#include "prefs/PrefTable.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>

/// Tells, on the thread that makes the change, which preference a write or removal in this process changed.
/// Receivers connect with a context object, so that they are called on their own thread.
class PrefsNotifier : public QObject
{
    Q_OBJECT

signals:
    void changed(PrefKey key);
};

/// The per-user preference store (QSettings, organisation and application "Korvel"). Every read asks the store:
/// a change made in this process takes effect at the next read, one made by another process within a second.
/// Writes reach the file at once. An absent key reads as its row's fallback.
namespace Prefs {

/// The one change notification; it never goes away.
PrefsNotifier& notifier();

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

/// One press of the key's stepper up (direction > 0) or down, stopping at the bound in that direction; an integer
/// never wraps around.
void step(PrefKey key, int direction);
/// The stepper's value as it is shown: a whole number (fractions cut off).
QString stepperText(PrefKey key);

/// The index of an enumerated preference as its popup shows it (clamped where the row says so).
int64_t choiceIndex(PrefKey key);
/// The labels of an enumerated preference held here, in index order.
QStringList labels(PrefKey key);

/// Streak warnings; on unless turned off.
bool streakProtection();
/// Leaderboard participation; on unless turned off.
bool leaderboardOptIn();

WingFigure wingFigure();
SpriteFigure spriteFigure();
AccentChoice accentChoice();
CardTexture cardTexture();

/// The notch flare in points.
double notchFlare();
/// Bottom radius of the collapsed outline; the expanded one is 3 larger.
double collapsedRound();
double expandedRound();

/// Sets the width, height and x offsets of the notch back to 0.
void resetNotchAlignment();
/// Back to the built-in shape and alignment: flare and radius removed, the offsets 0.
void resetShapeAndAlignment();

} // namespace Prefs
