#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// One model's line of the statistics.
struct ModelStat
{
    std::string model;
    std::string name;
    int64_t messages = 0;
    double tokensIn = 0;
    double tokensOut = 0;
    double cacheRead = 0;
    double cacheWrite = 0;
    double cost = 0;

    bool operator==(const ModelStat&) const = default;
};

/// One badge, earned or not.
struct Badge
{
    std::string id;
    std::string emoji;
    std::string label;
    std::string desc;
    bool earned = false;

    bool operator==(const Badge&) const = default;
};

/// Every figure Korvel shows, built from all logs; shown, printed, cached and synced.
struct Stats
{
    std::optional<std::string> since;
    std::optional<std::string> until;
    int64_t daysSpan = 0;
    int64_t logFiles = 0;
    int64_t prompts = 0;
    int64_t assistantMessages = 0;
    double tokensIn = 0;
    double tokensOut = 0;
    double cacheRead = 0;
    double cacheWrite = 0;
    int64_t linesAdded = 0;
    int64_t linesRemoved = 0;
    int64_t filesEdited = 0;
    double cost = 0;
    int64_t sessions = 0;
    int64_t weekLinesAdded = 0;
    double weekCost = 0;
    int64_t weekSessions = 0;
    int64_t todayLinesAdded = 0;
    double todayCost = 0;
    bool codedToday = false;
    double weekTokens = 0;
    double todayTokens = 0;
    int64_t activeDays = 0;
    int64_t streakLongest = 0;
    int64_t streakCurrent = 0;
    std::array<int64_t, 24> byHour{};
    std::vector<ModelStat> models;
    std::optional<std::string> topModel;
    int64_t crackedScore = 0;
    int64_t percentile = 0;
    std::vector<Badge> badges;

    bool operator==(const Stats&) const = default;
};
