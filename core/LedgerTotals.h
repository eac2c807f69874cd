#pragma once

#include "core/ExactSum.h"
#include "core/FileContribution.h"
#include "core/FoldSummary.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

/// The exact totals of a set of log files' contributions. Every part is a sum or a count of holders, so a
/// contribution can be taken out again without a trace, and two sets' totals can be added or taken from each
/// other: the totals of a tree equal, bit for bit, those of its parts added up in any order.
struct LedgerTotals
{
    struct Model
    {
        int64_t parts = 0;
        int64_t messages = 0;
        ExactSum input, output, cacheRead, cacheWrite, cost;

        bool operator==(const Model&) const = default;
    };
    struct Day
    {
        int64_t parts = 0;
        int64_t linesAdded = 0;
        int64_t linesRemoved = 0;
        int64_t prompts = 0;
        int64_t sessions = 0;
        ExactSum cost, tokens, input, output, cacheRead, cacheWrite;
        /// How many of the day's parts name each model.
        std::map<std::string, int64_t> models;

        bool operator==(const Day&) const = default;
    };

    std::map<std::string, Model> models;
    std::array<int64_t, 24> byHour{};
    int64_t prompts = 0;
    int64_t assistantMessages = 0;
    int64_t linesAdded = 0;
    int64_t linesRemoved = 0;
    ExactSum tokensIn, tokensOut, cacheRead, cacheWrite, cost;
    std::map<std::string, Day> perDay;
    /// Holders of each active day, edited file (by a hash of its path: only their number is wanted) and first and
    /// last timestamp.
    std::map<std::string, int64_t> activeDays;
    std::unordered_map<uint64_t, int64_t> editedFiles;
    std::map<double, int64_t> minTs, maxTs;

    /// Adds (sign +1) or takes out (-1) one contribution.
    void apply(const FileContribution& c, int sign);
    /// Adds (sign +1) or takes out (-1) the totals of another set of files.
    void merge(const LedgerTotals& other, int sign);

    /// The summary these totals give, for logFiles files (the per-file active days are the caller's).
    FoldSummary summary(int64_t logFiles) const;

    bool operator==(const LedgerTotals&) const = default;
};
