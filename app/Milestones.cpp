#include "app/Milestones.h"

#include "prefs/Prefs.h"

#include <algorithm>

namespace Milestones {
namespace {

bool passedLines(const Stats& next)
{
    const int64_t total = next.linesAdded + next.linesRemoved;
    const int64_t last = Prefs::integer(PrefKey::MsLines);
    const bool passed = last >= 1 && total / 100000 > last / 100000;
    Prefs::setInteger(PrefKey::MsLines, total);
    return passed;
}

bool passedStreak(const Stats& next)
{
    const int64_t last = Prefs::integer(PrefKey::MsStreak);
    const bool passed = last >= 1 && last < next.streakLongest;
    Prefs::setInteger(PrefKey::MsStreak, std::max(next.streakLongest, last));
    return passed;
}

int64_t earned(const Stats& stats)
{
    return std::count_if(stats.badges.begin(), stats.badges.end(), [](const Badge& b) { return b.earned; });
}

} // namespace

bool detect(const std::optional<Stats>& prev, const Stats& next)
{
    const bool lines = passedLines(next);
    const bool streak = passedStreak(next);
    const bool badges = prev && earned(next) > earned(*prev);
    return lines || streak || badges;
}

} // namespace Milestones
