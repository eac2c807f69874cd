#include "core/StatsDerivation.h"

#include "core/Pricing.h"
#include "core/Score.h"
#include "core/TimeKit.h"

#include <algorithm>
#include <cmath>

namespace StatsEngine {
namespace {

struct Today
{
    std::string key;
    int64_t number = 0;

    bool inWeek(int64_t day) const { return day >= number - 6 && day <= number; }
};

void deriveDays(const FoldSummary& fold, const Today& today, Stats& s)
{
    if (const auto it = fold.perDay.find(today.key); it != fold.perDay.end()) {
        s.todayLinesAdded = it->second.linesAdded;
        s.todayCost = it->second.cost;
        s.todayTokens = it->second.tokens;
    }
    // The map is ordered by day, so the week's sums are added in one fixed order.
    for (const auto& [day, bucket] : fold.perDay) {
        if (!today.inWeek(TimeKit::dayNumber(day)))
            continue;
        s.weekLinesAdded += bucket.linesAdded;
        s.weekCost += bucket.cost;
        s.weekTokens += bucket.tokens;
    }
    s.codedToday = std::binary_search(fold.activeDays.begin(), fold.activeDays.end(), today.key);
    if (fold.firstTs && fold.lastTs) {
        s.since = TimeKit::dateKey(*fold.firstTs);
        s.until = TimeKit::dateKey(*fold.lastTs);
        const double days = std::round((*fold.lastTs - *fold.firstTs) / 86400.0);
        s.daysSpan = std::max<int64_t>(static_cast<int64_t>(days) + 1, 1);
    }
}

int64_t weekSessions(const FoldSummary& fold, const Today& today)
{
    int64_t sessions = 0;
    uint32_t begin = 0;
    for (const uint32_t end : fold.fileDayEnds) {
        const auto first = fold.fileDays.begin() + begin;
        const auto last = fold.fileDays.begin() + std::min<size_t>(end, fold.fileDays.size());
        const auto it = std::lower_bound(first, last, today.number - 6);
        sessions += it != last && *it <= today.number ? 1 : 0;
        begin = end;
    }
    return sessions;
}

void deriveStreaks(const FoldSummary& fold, const Today& today, Stats& s)
{
    std::vector<int64_t> numbers;
    numbers.reserve(fold.activeDays.size());
    for (const std::string& key : fold.activeDays)
        numbers.push_back(TimeKit::dayNumber(key));
    std::sort(numbers.begin(), numbers.end());
    int64_t run = 0;
    for (size_t i = 0; i < numbers.size(); ++i) {
        run = i > 0 && numbers[i] == numbers[i - 1] + 1 ? run + 1 : 1;
        s.streakLongest = std::max(s.streakLongest, run);
    }
    // Calendar days, counted back from today (or from yesterday while today is not yet active); stepping by
    // day numbers keeps daylight-saving changes from breaking or stretching the run.
    int64_t day = s.codedToday ? today.number : today.number - 1;
    while (std::binary_search(numbers.begin(), numbers.end(), day)) {
        ++s.streakCurrent;
        --day;
    }
}

void deriveModels(const FoldSummary& fold, Stats& s)
{
    // Each model costs what its messages cost when they were read, as the total does: the models add up to it,
    // hour-long cache writes included.
    for (const auto& [id, acc] : fold.models)
        s.models.push_back(ModelStat{id, Pricing::prettyModel(id), acc.messages, acc.input, acc.output, acc.cacheRead,
                                     acc.cacheWrite, acc.cost});
    std::stable_sort(s.models.begin(), s.models.end(),
                     [](const ModelStat& a, const ModelStat& b) { return a.cost > b.cost; });
    if (!s.models.empty())
        s.topModel = s.models.front().name;
}

} // namespace

Stats deriveStats(const FoldSummary& fold, double now)
{
    Today today;
    today.key = TimeKit::dateKey(now);
    today.number = TimeKit::dayNumber(today.key);
    Stats s;
    s.logFiles = fold.logFiles;
    s.sessions = fold.logFiles;
    s.prompts = fold.prompts;
    s.assistantMessages = fold.assistantMessages;
    s.tokensIn = fold.tokensIn;
    s.tokensOut = fold.tokensOut;
    s.cacheRead = fold.cacheRead;
    s.cacheWrite = fold.cacheWrite;
    s.linesAdded = fold.linesAdded;
    s.linesRemoved = fold.linesRemoved;
    s.cost = fold.cost;
    s.byHour = fold.byHour;
    s.filesEdited = fold.filesEdited;
    s.activeDays = static_cast<int64_t>(fold.activeDays.size());
    s.weekSessions = weekSessions(fold, today);
    deriveDays(fold, today, s);
    deriveStreaks(fold, today, s);
    deriveModels(fold, s);
    const auto lines = static_cast<double>(s.linesAdded + s.linesRemoved);
    s.crackedScore = Score::crackedScore(lines, s.tokensOut, static_cast<double>(s.sessions),
                                         static_cast<double>(s.streakLongest), static_cast<double>(s.activeDays));
    s.percentile = Score::percentile(s.crackedScore);
    s.badges = Score::badgesFor(lines, s.streakLongest, s.byHour, s.cost, s.tokensOut,
                                static_cast<int64_t>(s.models.size()), s.sessions);
    return s;
}

} // namespace StatsEngine
