#include "core/StatsTotals.h"

#include "core/Pricing.h"
#include "core/Score.h"
#include "core/StatsBuilder.h"
#include "core/TimeKit.h"

#include <algorithm>
#include <cmath>

StatsTotals::StatsTotals(double now) : m_today(TimeKit::dateKey(now))
{
    m_todayNumber = StatsEngine::dayNumber(m_today);
}

int64_t StatsTotals::dayNumberOf(std::string_view key)
{
    const auto [it, inserted] = m_activeDays.try_emplace(key, 0);
    if (inserted)
        it->second = StatsEngine::dayNumber(key);
    return it->second;
}

void StatsTotals::add(const FileContribution& c)
{
    for (const auto& [id, acc] : c.models)
        m_models[id].add(acc);
    bool activeThisWeek = false;
    for (const auto& day : c.activeDays)
        activeThisWeek = inWeek(dayNumberOf(day)) || activeThisWeek;
    m_weekSessions += activeThisWeek ? 1 : 0;
    for (size_t h = 0; h < m_byHour.size(); ++h)
        m_byHour[h] += c.byHour[h];
    m_prompts += c.prompts;
    m_assistantMessages += c.assistantMessages;
    m_tokensIn += c.tokensIn;
    m_tokensOut += c.tokensOut;
    m_cacheRead += c.cacheRead;
    m_cacheWrite += c.cacheWrite;
    m_linesAdded += c.linesAdded;
    m_linesRemoved += c.linesRemoved;
    m_cost += c.cost;
    for (const auto& path : c.editedFiles)
        m_editedFiles.insert(path);
    if (c.minTs && (!m_firstTs || *c.minTs < *m_firstTs))
        m_firstTs = c.minTs;
    if (c.maxTs && (!m_lastTs || *c.maxTs > *m_lastTs))
        m_lastTs = c.maxTs;
    for (const auto& [day, bucket] : c.perDay) {
        DayTotals& totals = m_perDay[day];
        totals.linesAdded += bucket.linesAdded;
        totals.cost += bucket.cost;
        totals.tokens += bucket.tokens;
    }
}

Stats StatsTotals::derive(int64_t fileCount) const
{
    Stats s;
    s.logFiles = fileCount;
    s.sessions = fileCount;
    s.prompts = m_prompts;
    s.assistantMessages = m_assistantMessages;
    s.tokensIn = m_tokensIn;
    s.tokensOut = m_tokensOut;
    s.cacheRead = m_cacheRead;
    s.cacheWrite = m_cacheWrite;
    s.linesAdded = m_linesAdded;
    s.linesRemoved = m_linesRemoved;
    s.cost = m_cost;
    s.byHour = m_byHour;
    s.filesEdited = static_cast<int64_t>(m_editedFiles.size());
    s.activeDays = static_cast<int64_t>(m_activeDays.size());
    s.weekSessions = m_weekSessions;
    deriveDays(s);
    deriveStreaks(s);
    deriveModels(s);
    const auto lines = static_cast<double>(s.linesAdded + s.linesRemoved);
    s.crackedScore = Score::crackedScore(lines, s.tokensOut, static_cast<double>(s.sessions),
                                         static_cast<double>(s.streakLongest), static_cast<double>(s.activeDays));
    s.percentile = Score::percentile(s.crackedScore);
    s.badges = Score::badgesFor(lines, s.streakLongest, s.byHour, s.cost, s.tokensOut,
                                static_cast<int64_t>(s.models.size()), s.sessions);
    return s;
}

void StatsTotals::deriveDays(Stats& s) const
{
    if (const auto it = m_perDay.find(m_today); it != m_perDay.end()) {
        s.todayLinesAdded = it->second.linesAdded;
        s.todayCost = it->second.cost;
        s.todayTokens = it->second.tokens;
    }
    for (const auto& [day, totals] : m_perDay) {
        if (!inWeek(StatsEngine::dayNumber(day)))
            continue;
        s.weekLinesAdded += totals.linesAdded;
        s.weekCost += totals.cost;
        s.weekTokens += totals.tokens;
    }
    s.codedToday = m_activeDays.contains(m_today);
    if (m_firstTs && m_lastTs) {
        s.since = TimeKit::dateKey(*m_firstTs);
        s.until = TimeKit::dateKey(*m_lastTs);
        const double days = std::round((*m_lastTs - *m_firstTs) / 86400.0);
        s.daysSpan = std::max<int64_t>(static_cast<int64_t>(days) + 1, 1);
    }
}

void StatsTotals::deriveStreaks(Stats& s) const
{
    std::vector<int64_t> numbers;
    numbers.reserve(m_activeDays.size());
    for (const auto& [key, number] : m_activeDays)
        numbers.push_back(number);
    std::sort(numbers.begin(), numbers.end());
    int64_t run = 0;
    for (size_t i = 0; i < numbers.size(); ++i) {
        run = i > 0 && numbers[i] == numbers[i - 1] + 1 ? run + 1 : 1;
        s.streakLongest = std::max(s.streakLongest, run);
    }
    // Calendar days, counted back from today (or from yesterday while today is not yet active); stepping by
    // day numbers keeps daylight-saving changes from breaking or stretching the run.
    int64_t day = s.codedToday ? m_todayNumber : m_todayNumber - 1;
    while (std::binary_search(numbers.begin(), numbers.end(), day)) {
        ++s.streakCurrent;
        --day;
    }
}

void StatsTotals::deriveModels(Stats& s) const
{
    for (const auto& [id, acc] : m_models) {
        const Rate rate = Pricing::baseFor(id);
        s.models.push_back(ModelStat{id, Pricing::prettyModel(id), acc.messages, acc.input, acc.output, acc.cacheRead,
                                     acc.cacheWrite,
                                     Pricing::costOf(rate, acc.input, acc.output, acc.cacheRead, acc.cacheWrite)});
    }
    std::stable_sort(s.models.begin(), s.models.end(),
                     [](const ModelStat& a, const ModelStat& b) { return a.cost > b.cost; });
    if (!s.models.empty())
        s.topModel = s.models.front().name;
}
