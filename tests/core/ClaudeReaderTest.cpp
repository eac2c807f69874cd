#include "core/ClaudeReader.h"

#include "core/Pricing.h"
#include "core/TimeKit.h"
#include "tests/support/ZoneGuard.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

FileContribution parse(std::string_view text)
{
    ParseScratch scratch;
    return StatsEngine::parseClaudeBytes(text, scratch);
}

std::string assistant(std::string_view id, std::string_view requestId, double in, double out,
                      std::string_view model = "claude-sonnet-4-5", std::string_view ts = "2025-03-14T10:00:00Z")
{
    std::string line = R"({"type":"assistant","timestamp":")" + std::string(ts) + "\"";
    if (!requestId.empty())
        line += R"(,"requestId":")" + std::string(requestId) + "\"";
    line += R"(,"message":{)";
    if (!id.empty())
        line += R"("id":")" + std::string(id) + "\",";
    line += R"("model":")" + std::string(model) + R"(","usage":{"input_tokens":)" + std::to_string(in) +
            R"(,"output_tokens":)" + std::to_string(out) + "}}}\n";
    return line;
}

class ClaudeReaderTest : public ::testing::Test
{
protected:
    ZoneGuard zone{"UTC"};
};

} // namespace

TEST_F(ClaudeReaderTest, EveryLineCountsAloneWhateverItsEndingAndBadOnesAreSkipped)
{
    static constexpr char withNul[] = "{\"type\":\"last-prompt\"}\0garbage\n";
    const std::string text = "{\"type\":\"last-prompt\"}\n\n{not json\n[1,2,3]\n\"just a string\"\r\n" +
                             std::string(withNul, sizeof withNul - 1) + std::string(100000, '[') +
                             "\n{\"type\":\"last-prompt\",\"bad\":\"\xff\xfe\"}\n"
                             "{\"type\":\"last-prompt\",\"timestamp\":12345}\r\n{\"type\":\"last-prompt\"}";
    EXPECT_EQ(parse(text).prompts, 3);
    EXPECT_EQ(parse(text + "\n\n").prompts, 3);
    EXPECT_TRUE(parse(text).activeDays.empty());
}

TEST_F(ClaudeReaderTest, PromptsAreTypedUserTextOnly)
{
    const std::pair<const char*, int> cases[] = {
        {R"({"type":"user","message":{"content":""}})", 1},
        {R"({"type":"user","isMeta":true,"message":{"content":"hi"}})", 0},
        {R"({"type":"user","isSidechain":true,"message":{"content":"hi"}})", 0},
        {R"({"type":"user","message":{"content":[{"type":"tool_result"},{"type":"tool_result"}]}})", 0},
        {R"({"type":"user","message":{"content":[{"type":"tool_result"},7]}})", 1},
        {R"({"type":"user","message":"hi"})", 0},
        {R"({"type":"summary","message":{"content":"hi"}})", 0},
    };
    for (const auto& [line, prompts] : cases)
        EXPECT_EQ(parse(line).prompts, prompts) << line;
}

TEST_F(ClaudeReaderTest, AssistantUsageIsPricedAndBookedToItsDay)
{
    const auto c = parse(
        R"({"type":"assistant","timestamp":"2025-03-14T10:00:00Z","message":{"model":"claude-sonnet-4-5","usage":{"input_tokens":100,"output_tokens":50,"cache_read_input_tokens":1000,"cache_creation_input_tokens":200}}})");
    EXPECT_EQ(c.models.at("claude-sonnet-4-5"), (ModelAcc{1, 100, 50, 1000, 200}));
    EXPECT_EQ(c.assistantMessages, 1);
    const double cost = 100 * (3 / 1e6) + 50 * (15 / 1e6) + 1000 * (3 * 0.1 / 1e6) + 200 * (3 * 1.25 / 1e6);
    EXPECT_EQ(c.cost, cost);
    EXPECT_EQ(c.perDay.at("2025-03-14"), (DayBucket{0, cost, 150}));
}

TEST_F(ClaudeReaderTest, SyntheticMalformedAndUntimedLinesCountOnlyWhatTheyHold)
{
    const auto c = parse(
        R"({"type":"assistant","timestamp":"2025-03-14T10:00:00Z","message":{"model":"<synthetic>","usage":{"input_tokens":5}}})"
        "\n"
        R"({"type":"assistant","timestamp":"2025-03-15T11:00:00.500Z","message":{"model":"m","usage":"none"}})"
        "\n"
        R"({"type":"assistant","timestamp":"2025-03-14 09:00:00","message":{"model":7,"usage":{}}})"
        "\n"
        R"({"type":"assistant","isSidechain":true,"message":{"model":"","usage":{"input_tokens":"9","output_tokens":2.5}}})");
    EXPECT_EQ(c.assistantMessages, 1);
    EXPECT_EQ(c.models.at(""), (ModelAcc{1, 0, 2.5, 0, 0})) << "numbers are taken as they come, strings as 0";
    EXPECT_EQ(c.activeDays, (std::set<std::string>{"2025-03-14", "2025-03-15"}));
    EXPECT_EQ(c.byHour[10] + c.byHour[11], 2);
    EXPECT_EQ(c.minTs, *TimeKit::epoch("2025-03-14T10:00:00Z"));
    EXPECT_EQ(c.maxTs, *TimeKit::epoch("2025-03-15T11:00:00.500Z"));
    EXPECT_TRUE(c.perDay.empty()) << "the only response has no timestamp";
}

TEST_F(ClaudeReaderTest, TokenCountsNoResponseCanHaveCountAsNothing)
{
    const auto c = parse(R"({"type":"assistant","message":{"model":"m","usage":{"input_tokens":-5,)"
                         R"("output_tokens":1e308,"cache_read_input_tokens":1000000000001,)"
                         R"("cache_creation_input_tokens":1000000000000}}})"
                         "\n" +
                         assistant("", "", 3, 4));
    EXPECT_EQ(c.tokensIn, 3);
    EXPECT_EQ(c.tokensOut, 4);
    EXPECT_EQ(c.cacheRead, 0);
    EXPECT_EQ(c.cacheWrite, 1e12) << "10^12 itself is still a count";
    EXPECT_EQ(c.assistantMessages, 2);
    EXPECT_TRUE(std::isfinite(c.cost));
}

TEST_F(ClaudeReaderTest, ARepeatedResponseCountsOnceWithTheLargestOutputOnTheFirstDay)
{
    // One response written as one line per content block: same id, request and input side.
    const auto c = parse(assistant("msg_1", "req_1", 10, 5, "claude-haiku-4-5", "2025-03-14T23:59:59Z") +
                         assistant("msg_1", "req_1", 10, 40, "claude-opus-4-6", "2025-03-15T00:00:01Z") +
                         assistant("msg_1", "req_1", 10, 40, "claude-sonnet-4-5", "2025-03-15T00:00:02Z"));
    EXPECT_EQ(c.assistantMessages, 1);
    EXPECT_EQ(c.tokensIn, 10);
    EXPECT_EQ(c.tokensOut, 40);
    EXPECT_EQ(c.cost, Pricing::costOf(Pricing::baseFor("claude-opus-4-6"), 10, 40, 0, 0));
    ASSERT_EQ(c.models.size(), 1u);
    EXPECT_EQ(c.models.begin()->first, "claude-opus-4-6") << "earliest copy wins a tie";
    EXPECT_EQ(c.perDay.at("2025-03-14").tokens, 50);
    EXPECT_EQ(c.perDay.count("2025-03-15"), 0u);
    EXPECT_EQ(c.activeDays.size(), 2u) << "every copy's timestamp still counts";

    EXPECT_EQ(parse(assistant("msg_1", "req_1", 10, 5) + assistant("msg_1", "req_2", 10, 5)).assistantMessages, 2)
        << "another request is another response";
    EXPECT_EQ(parse(assistant("", "req_1", 10, 5) + assistant("", "req_1", 10, 5)).assistantMessages, 2)
        << "lines without an id count one by one";
    // Without a request id, a different input side is a different response.
    const auto gateway =
        parse(assistant("msg_x", "", 10, 5) + assistant("msg_x", "", 10, 7) + assistant("msg_x", "", 11, 5));
    EXPECT_EQ(gateway.assistantMessages, 2);
    EXPECT_EQ(gateway.tokensOut, 12);
}

TEST_F(ClaudeReaderTest, PatchesCountPlusAndMinusLinesAndWholeFileWritesTheirPieces)
{
    const auto c = parse(
        R"({"timestamp":"2025-03-14T10:00:00Z","toolUseResult":{"filePath":"/a.ts","structuredPatch":[{"lines":["+x","+y","-z"]},{"lines":[" ctx","-w","",5]},{"nolines":1},"hunk"]}})"
        "\n"
        R"({"toolUseResult":{"filePath":"/a.ts","structuredPatch":[{"lines":["+again"]}]}})");
    EXPECT_EQ(c.linesAdded, 3);
    EXPECT_EQ(c.linesRemoved, 2);
    EXPECT_EQ(c.editedFiles, (std::set<std::string>{"/a.ts"}));
    EXPECT_EQ(c.perDay.at("2025-03-14").linesAdded, 2) << "the line without a timestamp adds to no day";

    const std::pair<const char*, int64_t> writes[] = {
        {R"({"filePath":"/f","content":"a\nb\nc\n"})", 4},
        {R"({"filePath":"/f","content":""})", 1},
        {R"({"filePath":"/f","content":"a\nb","structuredPatch":[]})", 0},
        {R"({"filePath":"/f","content":"a\nb","structuredPatch":{}})", 0},
        {R"({"content":"a\nb"})", 0},
        {R"("text")", 0},
    };
    for (const auto& [result, added] : writes)
        EXPECT_EQ(parse(std::string(R"({"toolUseResult":)") + result + "}").linesAdded, added) << result;
    EXPECT_TRUE(parse(R"({"toolUseResult":{"filePath":"/f","structuredPatch":[]}})").editedFiles.empty());
}
