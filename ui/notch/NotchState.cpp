#include "ui/notch/NotchState.h"

#include "prefs/Prefs.h"
#include "ui/look/Fmt.h"

#include <algorithm>

OverlayLook OverlayLook::current()
{
    return {
        .wing = Prefs::wingFigure(),
        .sprite = Prefs::spriteFigure(),
        .accent = Accent::of(Prefs::accentChoice()),
        .texture = Prefs::cardTexture(),
        .flare = Prefs::notchFlare(),
        .collapsedRound = Prefs::collapsedRound(),
        .expandedRound = Prefs::expandedRound(),
    };
}

NotchState NotchState::of(const std::optional<Stats>& stats, bool amber, const OverlayLook& look, const NotchState& now)
{
    NotchState next = now;
    next.stats = stats;
    next.wingText = stats ? wingValue(*stats, look.wing) : QString();
    next.look = look;
    next.amber = amber;
    return next;
}

QString wingValue(const Stats& stats, WingFigure figure)
{
    switch (figure) {
    case WingFigure::LinesToday:
        return QStringLiteral("+") + Fmt::num(static_cast<double>(stats.todayLinesAdded));
    case WingFigure::CostToday:
        return Fmt::money(stats.todayCost);
    case WingFigure::Streak:
        return QString::number(std::max<int64_t>(stats.streakCurrent, 0)) + QStringLiteral("d");
    case WingFigure::TotalLines:
        return Fmt::num(static_cast<double>(stats.linesAdded + stats.linesRemoved));
    case WingFigure::TotalCost:
        return Fmt::money(stats.cost);
    case WingFigure::Tokens:
        return Fmt::num(stats.tokensIn + stats.tokensOut);
    case WingFigure::Sessions:
        break;
    }
    return Fmt::num(static_cast<double>(stats.sessions));
}
