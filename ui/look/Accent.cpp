#include "ui/look/Accent.h"

#include "prefs/Prefs.h"

QColor AccentTheme::dim() const
{
    const QColor rgb = color.toRgb();
    return QColor::fromRgbF(rgb.redF() * 0.45f, rgb.greenF() * 0.45f, rgb.blueF() * 0.5f, 1.0f);
}

namespace Accent {

const std::vector<AccentTheme>& all()
{
    static const std::vector<AccentTheme> themes{
        {"Cobalt", QColor(61, 123, 240), QColor(47, 95, 208)},   {"Lime", QColor(184, 255, 46), QColor(127, 191, 31)},
        {"Magenta", QColor(255, 77, 166), QColor(204, 46, 127)}, {"Amber", QColor(255, 176, 32), QColor(204, 138, 16)},
        {"Cyan", QColor(34, 211, 238), QColor(20, 155, 176)},    {"Violet", QColor(139, 92, 246), QColor(109, 63, 208)},
    };
    return themes;
}

const AccentTheme& of(AccentChoice choice)
{
    return all()[static_cast<size_t>(choice)];
}

const AccentTheme& current()
{
    return of(Prefs::accentChoice());
}

} // namespace Accent
