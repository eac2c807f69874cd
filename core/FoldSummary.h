#pragma once

#include "core/FileContribution.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

/// Everything the statistics record is derived from, folded over all log files of a build. It is what a build
/// keeps between runs, so that a tree that did not change needs no folding at all, only a new derivation for the
/// current day. Plain value.
struct FoldSummary
{
    std::map<std::string, ModelAcc> models;
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
    /// Distinct files edited by the agents.
    int64_t filesEdited = 0;
    /// Log files that count: every rollout once whatever copies of it there are, and deleted logs that are kept.
    int64_t logFiles = 0;
    std::optional<double> firstTs;
    std::optional<double> lastTs;
    std::map<std::string, DayBucket> perDay;
    /// Local days with activity, as day keys, ascending.
    std::vector<std::string> activeDays;
    /// Per log file with activity, its active days as day numbers (ascending), one after the other; fileDayEnds
    /// holds where each file's run ends. They give the sessions of any seven-day window.
    std::vector<int64_t> fileDays;
    std::vector<uint32_t> fileDayEnds;

    bool operator==(const FoldSummary&) const = default;
};
