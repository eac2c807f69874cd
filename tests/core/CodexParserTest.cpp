#include "core/CodexParser.h"

#include "core/Pricing.h"
#include "core/TimeKit.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZoneGuard.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

FileContribution parse(std::string_view text)
{
    ParseScratch scratch;
    return CodexParser::parseBytes(text, scratch);
}

std::string tokens(double input, double cached, double output, std::string_view ts = "2025-05-01T10:00:00Z")
{
    return R"({"timestamp":")" + std::string(ts) +
           R"(","type":"event_msg","payload":{"type":"token_count","info":{"total_token_usage":{"input_tokens":)" +
           std::to_string(input) + R"(,"cached_input_tokens":)" + std::to_string(cached) + R"(,"output_tokens":)" +
           std::to_string(output) + "}}}}\n";
}

std::string model(std::string_view name)
{
    return R"({"type":"turn_context","payload":{"type":"turn_context","model":")" + std::string(name) + "\"}}\n";
}

std::string message(std::string_view role, std::string_view ts = "2025-05-01T09:00:00Z")
{
    return R"({"timestamp":")" + std::string(ts) + R"(","payload":{"type":"message","role":")" + std::string(role) +
           "\"}}\n";
}

class CodexParserTest : public ::testing::Test
{
protected:
    ZoneGuard zone{"UTC"};
};

} // namespace

TEST_F(CodexParserTest, LastTokenTotalsGoToTheLastModel)
{
    const auto c = parse(model("gpt-5") + tokens(1000, 800, 50));
    EXPECT_EQ(c.tokensIn, 200);
    EXPECT_EQ(c.tokensOut, 50);
    EXPECT_EQ(c.cacheRead, 800);
    EXPECT_EQ(c.cacheWrite, 0);
    EXPECT_EQ(c.models.at("gpt-5"), (ModelAcc{0, 200, 50, 800, 0}));
    const double cost = 200 * (1.25 / 1e6) + 50 * (10 / 1e6) + 800 * (1.25 * 0.1 / 1e6);
    EXPECT_DOUBLE_EQ(c.cost, cost);
    EXPECT_EQ(c.perDay.at("2025-05-01"), (DayBucket{0, c.cost, 250}));

    EXPECT_EQ(parse(tokens(1000, 0, 1) + tokens(3000, 0, 2)).tokensIn, 3000) << "totals are overwritten";
    EXPECT_EQ(parse(tokens(10, 0, 1)).models.count("gpt-5-codex"), 1u) << "default model";
    const auto switched = parse(model("gpt-5") + tokens(10, 0, 1) + model("gpt-5.5") + model(""));
    EXPECT_EQ(switched.models.count("gpt-5.5"), 1u);
    EXPECT_EQ(switched.models.size(), 1u);
    EXPECT_EQ(parse(tokens(100, 300, 1)).tokensIn, 0) << "input below cached is raised to 0";
}

TEST_F(CodexParserTest, UnusableTokenEventsChangeNothing)
{
    const auto c = parse(
        tokens(100, 0, 5) +
        R"({"payload":{"type":"token_count","info":null}})"
        "\n"
        R"({"payload":{"type":"token_count","info":{"total_token_usage":[]}}})"
        "\n"
        R"({"payload":{"type":"token_count","info":{"total_token_usage":{"input_tokens":"7","output_tokens":3}}}})"
        "\n");
    EXPECT_EQ(c.tokensIn, 0) << "the last usable event counts, with a string taken as 0";
    EXPECT_EQ(c.tokensOut, 3);
    EXPECT_TRUE(parse(R"({"payload":{"type":"token_count","info":null}})").models.empty());

    const auto hostile = parse(R"({"payload":{"type":"token_count","info":{"total_token_usage":)"
                               R"({"input_tokens":1e308,"cached_input_tokens":-1e308,"output_tokens":2e12}}}})"
                               "\n");
    EXPECT_EQ(hostile.tokensIn, 0) << "counts that no response can have count as 0";
    EXPECT_EQ(hostile.cacheRead, 0);
    EXPECT_EQ(hostile.tokensOut, 0);
    EXPECT_EQ(hostile.cost, 0);
}

TEST_F(CodexParserTest, MessagesAndPatchesAreCounted)
{
    const std::string patch =
        R"({"payload":{"type":"custom_tool_call","name":"apply_patch","input":"*** Begin Patch\n*** Update File: a\n@@ x\n-old\n+new\n+new2\n ctx\n*** End Patch"}})"
        "\n";
    const auto c = parse(message("user") + message("assistant") + message("assistant") + message("system") + patch +
                         R"({"payload":{"type":"function_call","name":"apply_patch","arguments":"+a\n+b"}})"
                         "\n" +
                         R"({"payload":{"type":"custom_tool_call","name":"shell","input":"+a"}})"
                         "\n");
    EXPECT_EQ(c.prompts, 1);
    EXPECT_EQ(c.assistantMessages, 2);
    EXPECT_EQ(c.linesAdded, 2);
    EXPECT_EQ(c.linesRemoved, 1);
    EXPECT_TRUE(c.models.empty()) << "no token event, no model entry";
    EXPECT_TRUE(c.editedFiles.empty());
    EXPECT_EQ(c.perDay.at("2025-05-01").linesAdded, 2);
    EXPECT_EQ(parse(message("assistant") + message("assistant") + tokens(10, 0, 1)).models.at("gpt-5-codex").messages,
              2)
        << "assistant messages are credited to the model";
}

TEST_F(CodexParserTest, EverythingIsBookedToTheDayOfTheLastTimestampedLine)
{
    const auto c = parse(message("user", "2025-05-01T23:00:00Z") +
                         R"({"payload":{"type":"custom_tool_call","name":"apply_patch","input":"+a"}})"
                         "\n" +
                         tokens(100, 0, 10, "2025-05-02T01:00:00Z") + message("user", "2025-05-01T23:30:00Z") +
                         message("user", "bad time"));
    EXPECT_EQ(c.activeDays, (std::set<std::string>{"2025-05-01", "2025-05-02"}));
    EXPECT_EQ(c.byHour[23], 2);
    EXPECT_EQ(c.byHour[1], 1);
    ASSERT_EQ(c.perDay.size(), 1u) << "file order decides, not the latest time";
    EXPECT_EQ(c.perDay.at("2025-05-01"), (DayBucket{1, c.cost, 110}));
    EXPECT_EQ(c.maxTs, *TimeKit::epoch("2025-05-02T01:00:00Z"));

    const auto untimed = parse(message("user", "never") + tokens(100, 0, 10, "never"));
    EXPECT_TRUE(untimed.activeDays.empty() && untimed.perDay.empty() && !untimed.minTs);
    EXPECT_EQ(untimed.tokensIn, 100) << "without timestamps the totals stay";
}

TEST_F(CodexParserTest, CrLfIsReadLineByLineAndInvalidUtf8AnywhereLosesTheWholeFile)
{
    const std::string text = message("user") + message("assistant") + tokens(100, 0, 10);
    std::string crlf;
    for (const char ch : text)
        crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    EXPECT_EQ(parse(crlf + "\r\n\r\n"), parse(text));
    EXPECT_EQ(parse(text + "{\"x\":\"\xc3\x28\"}\n"), FileContribution{});
    EXPECT_EQ(parse(text + "{oops\n" + std::string("{\"a\":1}\0\n", 9)), parse(text))
        << "bad JSON lines are skipped alone";
}

TEST(CodexLinesFromPatchTest, SkipsHeadersAndCountsChanges)
{
    using CodexParser::linesFromPatch;
    EXPECT_EQ(linesFromPatch("*** Begin Patch\n*** Add File: x\n@@ hunk\n-a\n+b\n+c\n d\n*** End Patch"),
              (LineCounts{2, 1}));
    EXPECT_EQ(linesFromPatch(""), (LineCounts{0, 0}));
    EXPECT_EQ(linesFromPatch("\n\n+\n-\n***x\n@\n+*** added\r\n"), (LineCounts{2, 1}));
}

TEST(CodexFindRolloutsTest, KeepsRolloutJsonlFilesOutsideHiddenFolders)
{
    TempDir dir;
    for (const char* file : {"s/2025/05/01/rollout-1.jsonl", "s/rollout-2.jsonl", "s/rollout-1.json", "s/s.jsonl",
                             "s/rollout-3.JSONL", "s/.hidden/rollout-4.jsonl", "s/.rollout-5.jsonl"})
        dir.write(file, "");
    auto found = CodexParser::findRollouts(dir.path() + "/s/");
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{dir.path() + "/s/2025/05/01/rollout-1.jsonl",
                                               dir.path() + "/s/rollout-2.jsonl"}));
    EXPECT_TRUE(CodexParser::findRollouts(dir.path() + "/missing").empty());
}
