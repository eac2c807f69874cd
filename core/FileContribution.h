#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

/// Per-model message count and token sums of one log file.
struct ModelAcc
{
    int64_t messages = 0;
    double input = 0;
    double output = 0;
    double cacheRead = 0;
    double cacheWrite = 0;
    /// What the model's messages cost, priced when the file was read.
    double cost = 0;

    void add(const ModelAcc& other);
    bool operator==(const ModelAcc&) const = default;
};

/// What one log file contributed to one local day.
struct DayBucket
{
    int64_t linesAdded = 0;
    double cost = 0;
    /// Uncached input plus output tokens; cache tokens are not counted here.
    double tokens = 0;
    int64_t linesRemoved = 0;
    int64_t prompts = 0;
    /// Sessions that started on the day: 1 on a log's first active day.
    int64_t sessions = 0;
    double input = 0;
    double output = 0;
    double cacheRead = 0;
    double cacheWrite = 0;
    /// Ids of the models that answered on the day.
    std::set<std::string> models;

    bool operator==(const DayBucket&) const = default;
};

/// Everything one log file adds to the user's statistics; the unit of caching.
struct FileContribution
{
    std::map<std::string, ModelAcc> models;
    std::set<std::string> activeDays;
    /// Timestamped lines per local hour of day; the fixed size keeps every 0..23 read in range.
    std::array<int64_t, 24> byHour{};
    int64_t prompts = 0;
    int64_t assistantMessages = 0;
    double tokensIn = 0;
    double tokensOut = 0;
    double cacheRead = 0;
    double cacheWrite = 0;
    int64_t linesAdded = 0;
    int64_t linesRemoved = 0;
    double cost = 0;
    std::set<std::string> editedFiles;
    std::optional<double> minTs;
    std::optional<double> maxTs;
    std::map<std::string, DayBucket> perDay;
    /// The agent's working directory as the log gives it; empty when it gives none.
    std::string project;

    bool operator==(const FileContribution&) const = default;
};
