#pragma once

#include "prefs/Choices.h"

#include <QColor>
#include <QString>
#include <vector>

/// One selectable accent: its name, its main colour and a darker companion.
struct AccentTheme
{
    QString name;
    QColor color;
    QColor dark;

    bool operator==(const AccentTheme&) const = default;

    /// The main colour darkened for secondary pixels: red and green at 45 %, blue at 50 %.
    QColor dim() const;
};

namespace Accent {

/// The six accent themes in their fixed order (Cobalt, Lime, Magenta, Amber, Cyan, Violet).
const std::vector<AccentTheme>& all();

/// The theme chosen in the preferences, clamped into range.
const AccentTheme& current();

/// The theme of a choice.
const AccentTheme& of(AccentChoice choice);

} // namespace Accent
