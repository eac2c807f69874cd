#include "core/CodexParser.h"

#include "core/Pricing.h"
#include "tests/support/ZoneGuard.h"

#include <gtest/gtest.h>
#include <tuple>

namespace {

FileContribution parse(std::string_view text)
{
    ZoneGuard utc("UTC");
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

} // namespace

TEST(CodexParserTest, LastUsableTokenTotalsGoToTheLastModel)
{
    const auto c = parse(model("gpt-5") + tokens(1000, 800, 50));
    EXPECT_EQ(c.models.at("gpt-5"), (ModelAcc{0, 200, 50, 800, 0, c.cost})) << "cached input is taken out of the input";
    EXPECT_DOUBLE_EQ(c.cost, Pricing::costOf(Rate{1.25, 10}, 200, 50, 800, 0));
    const DayBucket& day = c.perDay.at("2025-05-01");
    EXPECT_EQ(std::tuple(day.cost, day.tokens, day.input, day.output, day.cacheRead, day.sessions),
              std::tuple(c.cost, 250.0, 200.0, 50.0, 800.0, int64_t{1}));
    EXPECT_EQ(day.models, (std::set<std::string>{"gpt-5"}));

    EXPECT_EQ(parse(tokens(1000, 0, 1) + tokens(3000, 0, 2)).tokensIn, 3000) << "totals are overwritten";
    EXPECT_EQ(parse(tokens(10, 0, 1)).models.count("gpt-5-codex"), 1u) << "default model";
    const auto switched = parse(model("gpt-5") + tokens(10, 0, 1) + model("gpt-5.5") + model(""));
    EXPECT_EQ(switched.models.count("gpt-5.5") + switched.models.size(), 2u);
    EXPECT_EQ(parse(tokens(100, 300, 1)).tokensIn, 0) << "input below cached is raised to 0";

    const auto unusable = parse(
        tokens(100, 0, 5) +
        R"({"payload":{"type":"token_count","info":null}})"
        "\n"
        R"({"payload":{"type":"token_count","info":{"total_token_usage":[]}}})"
        "\n"
        R"({"payload":{"type":"token_count","info":{"total_token_usage":{"input_tokens":"7","output_tokens":3}}}})");
    EXPECT_EQ(std::pair(unusable.tokensIn, unusable.tokensOut), std::pair(0.0, 3.0)) << "a string is taken as 0";
    const auto hostile = parse(R"({"payload":{"type":"token_count","info":{"total_token_usage":)"
                               R"({"input_tokens":1e308,"cached_input_tokens":-1e308,"output_tokens":2e12}}}})");
    EXPECT_EQ(std::tuple(hostile.tokensIn, hostile.cacheRead, hostile.tokensOut, hostile.cost),
              std::tuple(0.0, 0.0, 0.0, 0.0))
        << "counts that no response can have count as 0";
}

TEST(CodexParserTest, MessagesAndPatchesAreCounted)
{
    const auto c = parse(
        message("user") + message("assistant") + message("assistant") + message("system") +
        R"({"payload":{"type":"custom_tool_call","name":"apply_patch","input":"*** Begin Patch\n*** Update File: a\n@@ x\n-old\n+new\n+new2\n ctx\n*** End Patch"}})"
        "\n"
        R"({"payload":{"type":"function_call","name":"apply_patch","arguments":"+a\n+b"}})"
        "\n"
        R"({"payload":{"type":"custom_tool_call","name":"shell","input":"+a"}})"
        "\n" +
        tokens(10, 0, 1));
    EXPECT_EQ(std::tuple(c.prompts, c.assistantMessages, c.linesAdded, c.linesRemoved), std::tuple(1, 2, 2, 1));
    EXPECT_EQ(c.models.at("gpt-5-codex").messages, 2) << "assistant messages are credited to the model";
    EXPECT_TRUE(c.editedFiles.empty());
    EXPECT_EQ(c.perDay.at("2025-05-01").linesAdded, 2);
    EXPECT_EQ(CodexParser::linesFromPatch("\n\n+\n-\n***x\n@\n+*** added\r\n"), (LineCounts{2, 1}));
}

TEST(CodexParserTest, EverythingIsBookedToTheDayOfTheLastTimestampedLineAndBadLinesAreSkipped)
{
    const std::string text = message("user", "2025-05-01T23:00:00Z") +
                             R"({"payload":{"type":"custom_tool_call","name":"apply_patch","input":"+a"}})"
                             "\n" +
                             tokens(100, 0, 10, "2025-05-02T01:00:00Z") + message("user", "2025-05-01T23:30:00Z") +
                             message("user", "bad time");
    const auto c = parse(text);
    EXPECT_EQ(c.activeDays, (std::set<std::string>{"2025-05-01", "2025-05-02"}));
    EXPECT_EQ(std::pair(c.byHour[23], c.byHour[1]), std::pair(int64_t{2}, int64_t{1}));
    ASSERT_EQ(c.perDay.size(), 1u) << "file order decides, not the latest time";
    const DayBucket& day = c.perDay.at("2025-05-01");
    EXPECT_EQ(std::tuple(day.linesAdded, day.cost, day.tokens, day.prompts, day.sessions),
              std::tuple(int64_t{1}, c.cost, 110.0, int64_t{3}, int64_t{1}))
        << "prompts too; the session starts on the first active day";
    const auto untimed = parse(message("user", "never") + tokens(100, 0, 10, "never"));
    EXPECT_TRUE(untimed.activeDays.empty() && untimed.perDay.empty() && !untimed.minTs);
    EXPECT_EQ(untimed.tokensIn, 100) << "without timestamps the totals stay";

    std::string crlf;
    for (const char ch : text + "\n\n")
        crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    EXPECT_EQ(parse(crlf), c);
    EXPECT_EQ(parse(text + "{oops\n" + std::string("{\"a\":1}\0\n", 9)), c) << "bad JSON lines are skipped alone";
    EXPECT_EQ(parse(text + "{\"x\":\"\xc3\x28\"}\n"), FileContribution{}) << "invalid UTF-8 loses the whole file";
}
