#pragma once

#include "core/FileContribution.h"
#include "core/Stats.h"

#include <map>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

/// Running totals of one build: contributions are folded in one by one, then the record is derived.
/// Holds views into the contributions, which must outlive it.
class StatsTotals
{
public:
    /// now (epoch seconds) fixes today and the seven-day window.
    explicit StatsTotals(double now);

    void add(const FileContribution& c);

    /// The record over everything added; fileCount is the number of log files listed.
    Stats derive(int64_t fileCount) const;

private:
    struct DayTotals
    {
        int64_t linesAdded = 0;
        double cost = 0;
        double tokens = 0;
    };

    int64_t dayNumberOf(std::string_view key);
    bool inWeek(int64_t dayNumber) const { return dayNumber >= m_todayNumber - 6 && dayNumber <= m_todayNumber; }
    void deriveDays(Stats& s) const;
    void deriveStreaks(Stats& s) const;
    void deriveModels(Stats& s) const;

    std::string m_today;
    int64_t m_todayNumber = 0;
    std::unordered_map<std::string_view, int64_t> m_activeDays;
    int64_t m_weekSessions = 0;
    std::map<std::string, ModelAcc> m_models;
    std::array<int64_t, 24> m_byHour{};
    int64_t m_prompts = 0;
    int64_t m_assistantMessages = 0;
    double m_tokensIn = 0;
    double m_tokensOut = 0;
    double m_cacheRead = 0;
    double m_cacheWrite = 0;
    int64_t m_linesAdded = 0;
    int64_t m_linesRemoved = 0;
    double m_cost = 0;
    std::unordered_set<std::string_view> m_editedFiles;
    std::optional<double> m_firstTs;
    std::optional<double> m_lastTs;
    // Ordered by day so that the week's sums are added in one fixed order.
    std::map<std::string_view, DayTotals> m_perDay;
};
