#include "core/ClaudeReader.h"

#include "core/Pricing.h"
#include "core/TimeKit.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZoneGuard.h"

#include <cmath>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

TEST_F(ClaudeReaderTest, CountsEveryLineWithOrWithoutFinalLineFeed)
{
    const std::string lines = R"({"type":"last-prompt"})"
                              "\n\n"
                              R"({"type":"last-prompt"})"
                              "\r\n"
                              R"({"type":"last-prompt"})";
    EXPECT_EQ(parse(lines).prompts, 3);
    EXPECT_EQ(parse(lines + "\n\n").prompts, 3);
}

TEST_F(ClaudeReaderTest, PromptsAreTypedUserTextOnly)
{
    const auto prompts = [](std::string_view line) { return parse(line).prompts; };
    EXPECT_EQ(prompts(R"({"type":"user","message":{"content":"hi"}})"), 1);
    EXPECT_EQ(prompts(R"({"type":"user","message":{"content":""}})"), 1);
    EXPECT_EQ(prompts(R"({"type":"user","isMeta":true,"message":{"content":"hi"}})"), 0);
    EXPECT_EQ(prompts(R"({"type":"user","isSidechain":true,"message":{"content":"hi"}})"), 0);
    EXPECT_EQ(prompts(R"({"type":"user","isMeta":"yes","message":{"content":"hi"}})"), 1);
    EXPECT_EQ(prompts(R"({"type":"user","message":{"content":[{"type":"tool_result"},{"type":"tool_result"}]}})"), 0);
    EXPECT_EQ(prompts(R"({"type":"user","message":{"content":[{"type":"tool_result"},{"type":"text"}]}})"), 1);
    EXPECT_EQ(prompts(R"({"type":"user","message":{"content":[{"type":"tool_result"},7]}})"), 1);
    EXPECT_EQ(prompts(R"({"type":"user","message":{"content":[{"type":"tool_result"},{"type":3}]}})"), 1);
    EXPECT_EQ(prompts(R"({"type":"user","message":{"content":[]}})"), 0);
    EXPECT_EQ(prompts(R"({"type":"user","message":{"content":null}})"), 0);
    EXPECT_EQ(prompts(R"({"type":"user","message":"hi"})"), 0);
    EXPECT_EQ(prompts(R"({"type":"user"})"), 0);
    EXPECT_EQ(prompts(R"({"type":"summary","message":{"content":"hi"}})"), 0);
}

TEST_F(ClaudeReaderTest, AssistantUsageIsPricedAndBookedToItsDay)
{
    const auto c = parse(
        R"({"type":"assistant","timestamp":"2025-03-14T10:00:00Z","message":{"model":"claude-sonnet-4-5","usage":{"input_tokens":100,"output_tokens":50,"cache_read_input_tokens":1000,"cache_creation_input_tokens":200}}})");
    ASSERT_EQ(c.models.count("claude-sonnet-4-5"), 1u);
    EXPECT_EQ(c.models.at("claude-sonnet-4-5"), (ModelAcc{1, 100, 50, 1000, 200}));
    EXPECT_EQ(c.assistantMessages, 1);
    const double cost = 100 * (3 / 1e6) + 50 * (15 / 1e6) + 1000 * (3 * 0.1 / 1e6) + 200 * (3 * 1.25 / 1e6);
    EXPECT_EQ(c.cost, cost);
    EXPECT_EQ(c.tokensIn, 100);
    EXPECT_EQ(c.cacheRead, 1000);
    EXPECT_EQ(c.cacheWrite, 200);
    EXPECT_EQ(c.perDay.at("2025-03-14"), (DayBucket{0, cost, 150}));
}

TEST_F(ClaudeReaderTest, SyntheticAndMalformedAssistantLinesCountOnlyTheirTime)
{
    const auto c = parse(
        R"({"type":"assistant","timestamp":"2025-03-14T10:00:00Z","message":{"model":"<synthetic>","usage":{"input_tokens":5}}})"
        "\n"
        R"({"type":"assistant","timestamp":"2025-03-15T11:00:00Z","message":{"model":"m","usage":"none"}})"
        "\n"
        R"({"type":"assistant","timestamp":"2025-03-16T12:00:00Z","message":{"model":7,"usage":{}}})");
    EXPECT_EQ(c.assistantMessages, 0);
    EXPECT_TRUE(c.models.empty());
    EXPECT_EQ(c.cost, 0);
    EXPECT_EQ(c.activeDays, (std::set<std::string>{"2025-03-14", "2025-03-15", "2025-03-16"}));
    EXPECT_EQ(c.byHour[10] + c.byHour[11] + c.byHour[12], 3);
    EXPECT_EQ(c.minTs, *TimeKit::epoch("2025-03-14T10:00:00Z"));
    EXPECT_EQ(c.maxTs, *TimeKit::epoch("2025-03-16T12:00:00Z"));
    EXPECT_TRUE(c.perDay.empty());
}

TEST_F(ClaudeReaderTest, OddModelsAndNumbersAreTakenAsTheyCome)
{
    const auto c = parse(
        R"({"type":"assistant","isSidechain":true,"message":{"model":"","usage":{"input_tokens":"9","output_tokens":2.5}}})");
    ASSERT_EQ(c.models.count(""), 1u);
    EXPECT_EQ(c.models.at("").input, 0);
    EXPECT_EQ(c.models.at("").output, 2.5);
    EXPECT_EQ(c.assistantMessages, 1);
    EXPECT_TRUE(c.perDay.empty()) << "a line without a timestamp books to no day";
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

TEST_F(ClaudeReaderTest, RepeatedResponseLinesCountOnce)
{
    // One response written as three lines (one per content block) with the same id, request and usage.
    const std::string three =
        assistant("msg_1", "req_1", 10, 5) + assistant("msg_1", "req_1", 10, 5) + assistant("msg_1", "req_1", 10, 5);
    const auto c = parse(three);
    EXPECT_EQ(c.assistantMessages, 1);
    EXPECT_EQ(c.models.at("claude-sonnet-4-5").messages, 1);
    EXPECT_EQ(c.tokensIn, 10);
    EXPECT_EQ(c.tokensOut, 5);
    EXPECT_EQ(c.cost, Pricing::costOf({3, 15}, 10, 5, 0, 0));
    EXPECT_EQ(c.perDay.at("2025-03-14").tokens, 15);

    // Different requests with the same message id are different responses.
    EXPECT_EQ(parse(assistant("msg_1", "req_1", 10, 5) + assistant("msg_1", "req_2", 10, 5)).assistantMessages, 2);
    // Lines without a string id count one by one.
    EXPECT_EQ(parse(assistant("", "req_1", 10, 5) + assistant("", "req_1", 10, 5)).assistantMessages, 2);
}

TEST_F(ClaudeReaderTest, RepeatedResponseKeepsTheLargestOutputAndTheFirstDay)
{
    const auto c = parse(assistant("msg_1", "req_1", 10, 5, "claude-haiku-4-5", "2025-03-14T23:59:59Z") +
                         assistant("msg_1", "req_1", 10, 40, "claude-opus-4-6", "2025-03-15T00:00:01Z") +
                         assistant("msg_1", "req_1", 10, 40, "claude-sonnet-4-5", "2025-03-15T00:00:02Z"));
    EXPECT_EQ(c.assistantMessages, 1);
    EXPECT_EQ(c.tokensOut, 40);
    ASSERT_EQ(c.models.size(), 1u);
    EXPECT_EQ(c.models.begin()->first, "claude-opus-4-6") << "earliest copy wins a tie";
    EXPECT_EQ(c.perDay.at("2025-03-14").tokens, 50);
    EXPECT_EQ(c.perDay.count("2025-03-15"), 0u);
    EXPECT_EQ(c.activeDays.size(), 2u) << "every copy's timestamp still counts";
}

TEST_F(ClaudeReaderTest, WithoutRequestIdTheInputCountsSeparateResponses)
{
    // A gateway reusing one message id: different input sides are different responses, equal ones are copies.
    const auto c = parse(assistant("msg_x", "", 10, 5) + assistant("msg_x", "", 10, 7) + assistant("msg_x", "", 11, 5));
    EXPECT_EQ(c.assistantMessages, 2);
    EXPECT_EQ(c.tokensOut, 12);
    EXPECT_EQ(c.tokensIn, 21);
}

TEST_F(ClaudeReaderTest, StructuredPatchesCountPlusAndMinusLines)
{
    const auto c = parse(
        R"({"timestamp":"2025-03-14T10:00:00Z","toolUseResult":{"filePath":"/a.ts","structuredPatch":[{"lines":["+x","+y","-z"]},{"lines":[" ctx","-w","",5]},{"nolines":1},"hunk"]}})"
        "\n"
        R"({"toolUseResult":{"filePath":"/a.ts","structuredPatch":[{"lines":["+again"]}]}})");
    EXPECT_EQ(c.linesAdded, 3);
    EXPECT_EQ(c.linesRemoved, 2);
    EXPECT_EQ(c.editedFiles, (std::set<std::string>{"/a.ts"}));
    EXPECT_EQ(c.perDay.at("2025-03-14").linesAdded, 2) << "the line without a timestamp adds to no day";
}

TEST_F(ClaudeReaderTest, WholeFileWritesCountTheirPieces)
{
    const auto lines = [](std::string_view result) {
        return parse(std::string(R"({"toolUseResult":)") + std::string(result) + "}").linesAdded;
    };
    EXPECT_EQ(lines(R"({"filePath":"/f","content":"a\nb\nc\n"})"), 4);
    EXPECT_EQ(lines(R"({"filePath":"/f","content":""})"), 1);
    EXPECT_EQ(lines(R"({"filePath":"/f","content":"a\nb","structuredPatch":[]})"), 0);
    EXPECT_EQ(lines(R"({"filePath":"/f","content":"a\nb","structuredPatch":null})"), 0);
    EXPECT_EQ(lines(R"({"content":"a\nb"})"), 0);
    EXPECT_EQ(lines(R"({"filePath":3,"content":"a\nb"})"), 0);
    EXPECT_EQ(lines(R"("text")"), 0);
    EXPECT_TRUE(parse(R"({"toolUseResult":{"filePath":"/f","structuredPatch":[]}})").editedFiles.empty());
}

TEST(ClaudeLinesFromResultTest, FollowsTheShapeOfTheResult)
{
    using StatsEngine::linesFromResult;
    EXPECT_EQ(linesFromResult(R"({"structuredPatch":[{"lines":["+a","-b","+c"]}]})"), (LineCounts{2, 1}));
    EXPECT_EQ(linesFromResult(R"({"structuredPatch":[],"content":"x"})"), (LineCounts{0, 0}));
    EXPECT_EQ(linesFromResult(R"({"filePath":"f","content":"x\ny"})"), (LineCounts{2, 0}));
    EXPECT_EQ(linesFromResult(R"({"filePath":"f","content":"x","structuredPatch":{}})"), (LineCounts{0, 0}));
    EXPECT_EQ(linesFromResult("not json"), (LineCounts{0, 0}));
}

TEST_F(ClaudeReaderTest, BadLinesAreSkippedAlone)
{
    std::string text = R"({"type":"last-prompt"})"
                       "\n{not json\n"
                       "[1,2,3]\n"
                       "\"just a string\"\n"
                       R"({"type":"last-prompt","bad":")"
                       "\xff\xfe"
                       R"("})"
                       "\n";
    static constexpr char withNul[] = "{\"type\":\"last-prompt\"}\0garbage\n";
    text += std::string(withNul, sizeof withNul - 1);
    text += std::string(100000, '[') + "\n";
    text += R"({"type":"last-prompt","timestamp":12345})"
            "\n";
    const auto c = parse(text);
    EXPECT_EQ(c.prompts, 2);
    EXPECT_TRUE(c.activeDays.empty());
}

TEST_F(ClaudeReaderTest, TimestampsFillDaysHoursAndRange)
{
    const auto c = parse(R"({"timestamp":"2025-03-14T09:00:00Z"})"
                         "\n"
                         R"({"timestamp":"2025-03-13T09:30:00.500Z"})"
                         "\n"
                         R"({"timestamp":"2025-03-14 09:00:00"})");
    EXPECT_EQ(c.activeDays, (std::set<std::string>{"2025-03-13", "2025-03-14"}));
    EXPECT_EQ(c.byHour[9], 2);
    EXPECT_EQ(c.minTs, *TimeKit::epoch("2025-03-13T09:30:00.500Z"));
    EXPECT_EQ(c.maxTs, *TimeKit::epoch("2025-03-14T09:00:00Z"));
}

TEST_F(ClaudeReaderTest, FilesThatCannotBeReadGiveTheEmptyContribution)
{
    TempDir dir;
    EXPECT_EQ(StatsEngine::parseClaudeFile(dir.path() + "/missing.jsonl"), FileContribution{});
    EXPECT_EQ(StatsEngine::parseClaudeFile(dir.mkdir("folder.jsonl")), FileContribution{});
    const std::string fifo = dir.path() + "/pipe.jsonl";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(StatsEngine::parseClaudeFile(fifo), FileContribution{}) << "a FIFO must not block the reader";
    const std::string file = dir.write("ok.jsonl", R"({"type":"last-prompt"})");
    EXPECT_EQ(StatsEngine::parseClaudeFile(file).prompts, 1);
}

TEST_F(ClaudeReaderTest, ScratchIsReusedAcrossFilesOfDifferentSizes)
{
    TempDir dir;
    ParseScratch scratch;
    const std::string big = dir.write("big.jsonl", std::string(1 << 20, ' ') + R"({"type":"last-prompt"})");
    const std::string small = dir.write("small.jsonl", "{\"type\":\"last-prompt\"}\n{\"type\":\"last-prompt\"}");
    EXPECT_EQ(StatsEngine::parseClaudeFile(big, scratch).prompts, 1);
    EXPECT_EQ(StatsEngine::parseClaudeFile(small, scratch).prompts, 2);
    EXPECT_EQ(StatsEngine::parseClaudeFile(big, scratch).prompts, 1);
}

TEST_F(ClaudeReaderTest, LinesOfManyMegabytesAreRead)
{
    std::string content;
    for (int i = 0; i < 200000; ++i)
        content += "line of a large file\\n";
    const auto c = parse(R"({"type":"last-prompt"})"
                         "\n"
                         R"({"toolUseResult":{"filePath":"/big.txt","content":")" +
                         content + "\"}}\n" + R"({"type":"last-prompt"})");
    EXPECT_EQ(c.linesAdded, 200001);
    EXPECT_EQ(c.prompts, 2);
}
