#include "core/StatsLedger.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace {

ParsedLog withResponses(std::vector<LoggedResponse> responses, int64_t prompts = 0)
{
    ParsedLog log;
    log.base.prompts = prompts;
    log.responseModels = {"claude-opus-4-6", "claude-haiku-4-5"};
    log.responseDays = {"2025-06-14", "2025-06-15"};
    log.responses = std::move(responses);
    return log;
}

LoggedResponse r(uint64_t key, double output, uint32_t model = 0, int32_t day = 0)
{
    return LoggedResponse{key, model, day, 3 * output, output, 0.1 * output, 0.3 * output};
}

} // namespace

TEST(StatsLedgerTest, ARepeatedResponseCountsInTheFirstPathWithItsOwnResult)
{
    StatsLedger ledger;
    ledger.put("/p/b.jsonl", withResponses({r(1, 50), r(3, 7)}, 1));
    ledger.put("/p/a.jsonl", withResponses({r(1, 10), r(2, 5)}, 1));
    FoldSummary s = ledger.summary();
    EXPECT_EQ(s.tokensOut, 10 + 5 + 7) << "the copy in a.jsonl counts, with a.jsonl's output";
    EXPECT_EQ(std::pair(s.models.at("claude-opus-4-6").messages, s.prompts), std::pair(int64_t{3}, int64_t{2}));

    ledger.remove("/p/a.jsonl");
    EXPECT_EQ(ledger.summary().tokensOut, 50 + 7);
    // A response without a message id is never matched.
    ledger.put("/p/c.jsonl", withResponses({r(0, 100)}));
    ledger.put("/p/d.jsonl", withResponses({r(0, 100)}));
    EXPECT_EQ(ledger.summary().tokensOut, 257);
}

TEST(StatsLedgerTest, TheSummaryDoesNotDependOnTheOrderFilesCameAndWent)
{
    std::vector<std::pair<std::string, ParsedLog>> files;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> tokens(0, 1e7);
    for (int f = 0; f < 8; ++f) {
        std::vector<LoggedResponse> responses;
        for (int i = 0; i < 6; ++i)
            responses.push_back(r(random() % 20 + 1, tokens(random), static_cast<uint32_t>(i % 2), i % 2));
        files.emplace_back("/p/" + std::to_string(f), withResponses(std::move(responses), f));
    }
    StatsLedger inOrder;
    for (const auto& [path, log] : files)
        inOrder.put(path, log);

    StatsLedger shuffled;
    std::shuffle(files.begin(), files.end(), random);
    for (const auto& [path, log] : files)
        shuffled.put(path, withResponses({r(999, 1)}, 5)); // an older version of each file first
    for (const auto& [path, log] : files)
        shuffled.put(path, log);
    EXPECT_EQ(shuffled.summary(), inOrder.summary()) << "bit for bit, fractional sums included";

    for (const auto& [path, log] : files)
        shuffled.remove(path);
    EXPECT_EQ(shuffled.summary(), FoldSummary{}) << "nothing is left behind";
}
