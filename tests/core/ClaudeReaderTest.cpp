#include "core/ClaudeReader.h"

#include "core/Pricing.h"
#include "core/TimeKit.h"
#include "tests/core/TranscriptLines.h"
#include "tests/support/ZoneGuard.h"

#include <cmath>
#include <gtest/gtest.h>
#include <tuple>

using namespace TranscriptLines;

namespace {

FileContribution parse(std::string_view text)
{
    ZoneGuard utc("UTC");
    ParseScratch scratch;
    return StatsEngine::parseClaudeBytes(text, scratch);
}

// A sonnet response of 10 tokens in with the given ids and output.
std::string copy(std::string_view id, std::string_view request, double out = 5, double in = 10)
{
    return reply("2025-03-14T10:00:00Z", "claude-sonnet-4-5", in, out, id, request);
}

} // namespace

TEST(ClaudeReaderTest, EveryLineCountsAloneAndOnlyTypedUserTextIsAPrompt)
{
    static constexpr char withNul[] = "{\"type\":\"last-prompt\"}\0garbage\n";
    const std::string text = "{\"type\":\"last-prompt\"}\n\n{not json\n[1,2,3]\n\"just a string\"\r\n" +
                             std::string(withNul, sizeof withNul - 1) + std::string(100000, '[') +
                             "\n{\"type\":\"last-prompt\",\"bad\":\"\xff\xfe\"}\n"
                             "{\"type\":\"last-prompt\",\"timestamp\":12345}\r\n{\"type\":\"last-prompt\"}";
    EXPECT_EQ(parse(text + "\n\n").prompts, 3);
    EXPECT_TRUE(parse(text).activeDays.empty());

    const std::pair<const char*, int> prompts[] = {
        {R"({"type":"user","message":{"content":""}})", 1},
        {R"({"type":"user","isMeta":true,"message":{"content":"hi"}})", 0},
        {R"({"type":"user","isSidechain":true,"message":{"content":"hi"}})", 0},
        {R"({"type":"user","message":{"content":[{"type":"tool_result"},{"type":"tool_result"}]}})", 0},
        {R"({"type":"user","message":{"content":[{"type":"tool_result"},7]}})", 1},
    };
    for (const auto& [line, count] : prompts)
        EXPECT_EQ(parse(line).prompts, count) << line;
}

TEST(ClaudeReaderTest, UsageIsPricedAndBookedToItsDayAndHostileCountsCountAsNothing)
{
    const auto c = parse(
        reply("2025-03-14T10:00:00Z", "claude-sonnet-4-5", 100, 50, "", "", 1000, 200) +
        R"({"type":"assistant","timestamp":"2025-03-14T10:00:00Z","message":{"model":"<synthetic>","usage":{"input_tokens":5}}})"
        "\n"
        R"({"type":"assistant","timestamp":"2025-03-15T11:00:00.500Z","message":{"model":"m","usage":"none"}})"
        "\n"
        R"({"type":"assistant","isSidechain":true,"message":{"model":"","usage":{"input_tokens":"9","output_tokens":2.5}}})");
    const double sonnetCost = Pricing::costOf(Rate{3, 15}, 100, 50, 1000, 200);
    EXPECT_EQ(c.models.at("claude-sonnet-4-5"), (ModelAcc{1, 100, 50, 1000, 200, sonnetCost}));
    EXPECT_EQ(c.models.at(""), (ModelAcc{1, 0, 2.5, 0, 0, Pricing::costOf(Pricing::baseFor(""), 0, 2.5, 0, 0)}))
        << "numbers are taken as they come, strings as 0";
    EXPECT_EQ(c.assistantMessages, 2) << "synthetic and usage-less lines are no responses";
    EXPECT_DOUBLE_EQ(c.cost, Pricing::costOf(Rate{3, 15}, 100, 52.5, 1000, 200));
    const DayBucket& day = c.perDay.at("2025-03-14");
    EXPECT_EQ(std::tuple(day.cost, day.tokens, day.input, day.output, day.cacheRead, day.cacheWrite),
              std::tuple(sonnetCost, 150.0, 100.0, 50.0, 1000.0, 200.0))
        << "the untimed response adds to no day";
    EXPECT_EQ(day.models, (std::set<std::string>{"claude-sonnet-4-5"}));
    EXPECT_EQ(day.sessions, 1) << "the session starts on the first active day";
    EXPECT_EQ(c.activeDays, (std::set<std::string>{"2025-03-14", "2025-03-15"}));
    EXPECT_EQ(c.maxTs, *TimeKit::epoch("2025-03-15T11:00:00.500Z"));

    const auto hostile = parse(R"({"type":"assistant","message":{"model":"m","usage":{"input_tokens":-5,)"
                               R"("output_tokens":1e308,"cache_read_input_tokens":1000000000001,)"
                               R"("cache_creation_input_tokens":1000000000000}}})"
                               "\n" +
                               copy("", "", 4, 3) + reply("", "m", 0, -1e308));
    EXPECT_EQ(std::tuple(hostile.tokensIn, hostile.tokensOut, hostile.cacheRead), std::tuple(3.0, 4.0, 0.0));
    EXPECT_EQ(hostile.cacheWrite, 1e12) << "10^12 itself is still a count";
    EXPECT_EQ(hostile.assistantMessages, 3);
    EXPECT_TRUE(std::isfinite(hostile.cost));
}

TEST(ClaudeReaderTest, ARepeatedResponseCountsOnceWithTheLargestOutputOnTheFirstDay)
{
    // One response written as one line per content block: same id, request and input side.
    const auto c = parse(reply("2025-03-14T23:59:59Z", "claude-haiku-4-5", 10, 5, "msg_1", "req_1") +
                         reply("2025-03-15T00:00:01Z", "claude-opus-4-6", 10, 40, "msg_1", "req_1") +
                         reply("2025-03-15T00:00:02Z", "claude-sonnet-4-5", 10, 40, "msg_1", "req_1"));
    EXPECT_EQ(std::tuple(c.assistantMessages, c.tokensIn, c.tokensOut), std::tuple(int64_t{1}, 10.0, 40.0));
    ASSERT_EQ(c.models.size(), 1u);
    EXPECT_EQ(c.models.begin()->first, "claude-opus-4-6") << "earliest copy wins a tie";
    EXPECT_EQ(c.perDay.at("2025-03-14").tokens, 50);
    EXPECT_EQ(c.perDay.count("2025-03-15"), 0u);
    EXPECT_EQ(c.activeDays.size(), 2u) << "every copy's timestamp still counts";

    EXPECT_EQ(parse(copy("msg_1", "req_1") + copy("msg_1", "req_2")).assistantMessages, 2) << "another request";
    EXPECT_EQ(parse(copy("", "req_1") + copy("", "req_1")).assistantMessages, 2) << "no id: counted one by one";
    // Without a request id, a different input side is a different response.
    const auto gateway = parse(copy("msg_x", "") + copy("msg_x", "", 7) + copy("msg_x", "", 5, 11));
    EXPECT_EQ(std::pair(gateway.assistantMessages, gateway.tokensOut), std::pair(int64_t{2}, 12.0));
}

TEST(ClaudeReaderTest, PatchesCountPlusAndMinusLinesAndWholeFileWritesTheirPieces)
{
    const auto c = parse(
        R"({"timestamp":"2025-03-14T10:00:00Z","toolUseResult":{"filePath":"/a.ts","structuredPatch":[{"lines":["+x","+y","-z"]},{"lines":[" ctx","-w","",5]},{"nolines":1},"hunk"]}})"
        "\n"
        R"({"toolUseResult":{"filePath":"/a.ts","structuredPatch":[{"lines":["+again"]}]}})");
    EXPECT_EQ(std::pair(c.linesAdded, c.linesRemoved), std::pair(int64_t{3}, int64_t{2}));
    EXPECT_EQ(c.editedFiles, (std::set<std::string>{"/a.ts"}));
    EXPECT_EQ(c.perDay.at("2025-03-14").linesAdded, 2) << "the line without a timestamp adds to no day";
    const std::pair<const char*, int64_t> writes[] = {{R"({"filePath":"/f","content":"a\nb\nc\n"})", 4},
                                                      {R"({"filePath":"/f","content":""})", 1},
                                                      {R"({"filePath":"/f","content":"a","structuredPatch":[]})", 0},
                                                      {R"({"content":"a\nb"})", 0}};
    for (const auto& [result, added] : writes)
        EXPECT_EQ(parse(std::string(R"({"toolUseResult":)") + result + "}").linesAdded, added) << result;
}

TEST(ClaudeReaderTest, OneHourCacheWritesCostTwiceTheInputRate)
{
    // Sonnet: $3 per million in; a million written, of which the split says how much for an hour.
    const auto costOf = [](std::string_view split) {
        std::string line = reply("2025-03-14T10:00:00Z", "claude-sonnet-4-5", 0, 0, "m1", "r1", 0, 1e6);
        line.insert(line.rfind("}}}"), R"(,"cache_creation":)" + std::string(split));
        const FileContribution c = parse(line);
        EXPECT_EQ(c.cacheWrite, 1e6) << "token counts do not change: " << split;
        return c.cost;
    };
    EXPECT_DOUBLE_EQ(costOf(R"({"ephemeral_1h_input_tokens":400000,"ephemeral_5m_input_tokens":600000})"),
                     0.6 * 3.75 + 0.4 * 6);
    EXPECT_DOUBLE_EQ(costOf(R"({"ephemeral_1h_input_tokens":5000000})"), 6) << "at most the writes";
    for (const char* counted_as_none : {R"({"ephemeral_1h_input_tokens":true})", R"({"ephemeral_1h_input_tokens":-5})",
                                        R"({"ephemeral_1h_input_tokens":2e12})", R"({})", R"(400000)", "null"})
        EXPECT_DOUBLE_EQ(costOf(counted_as_none), 3.75) << counted_as_none;
}
