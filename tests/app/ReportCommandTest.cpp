#include "tests/app/KorvelRun.h"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <simdjson.h>
#include <tuple>

namespace {

using simdjson::dom::element;
using simdjson::dom::object;

// The figures every report must add up to, as --stats --json names them and as the reports' rows do.
struct Sums
{
    int64_t linesAdded = 0, linesRemoved = 0, prompts = 0;
    double input = 0, output = 0, cacheRead = 0, cacheWrite = 0, cost = 0;
};

double number(element e)
{
    double d = 0;
    if (e.get_double().get(d) == simdjson::SUCCESS)
        return d;
    int64_t i = 0;
    EXPECT_EQ(e.get_int64().get(i), simdjson::SUCCESS) << "a number";
    return static_cast<double>(i);
}

int64_t integer(element e)
{
    int64_t i = 0;
    EXPECT_EQ(e.get_int64().get(i), simdjson::SUCCESS) << "an integer, not " << simdjson::to_string(e);
    return i;
}

Sums rowSums(element row)
{
    return {integer(row["linesAdded"]),      integer(row["linesRemoved"]), integer(row["prompts"]),
            number(row["inputTokens"]),      number(row["outputTokens"]),  number(row["cacheReadTokens"]),
            number(row["cacheWriteTokens"]), number(row["cost"])};
}

void add(Sums& into, const Sums& s)
{
    into.linesAdded += s.linesAdded;
    into.linesRemoved += s.linesRemoved;
    into.prompts += s.prompts;
    into.input += s.input;
    into.output += s.output;
    into.cacheRead += s.cacheRead;
    into.cacheWrite += s.cacheWrite;
    into.cost += s.cost;
}

void expectEqual(const Sums& got, const Sums& want, const std::string& what)
{
    EXPECT_EQ(std::tuple(got.linesAdded, got.linesRemoved, got.prompts),
              std::tuple(want.linesAdded, want.linesRemoved, want.prompts))
        << what;
    EXPECT_EQ(std::tuple(got.input, got.output, got.cacheRead, got.cacheWrite),
              std::tuple(want.input, want.output, want.cacheRead, want.cacheWrite))
        << what;
    EXPECT_NEAR(got.cost, want.cost, 1e-9 * std::max(1.0, want.cost)) << what;
}

std::string promptAt(const std::string& ts, const std::string& cwd)
{
    return R"({"type":"user","timestamp":")" + ts + R"(","cwd":")" + cwd + R"(","message":{"content":"go"}})" + "\n";
}

std::string rolloutText(const std::string& ts)
{
    return R"({"timestamp":")" + ts + R"(","type":"session_meta","payload":{"cwd":"/work/cli","model":"gpt-5"}})" +
           "\n" + R"({"timestamp":")" + ts + R"(","payload":{"type":"message","role":"user"}})" + "\n" +
           R"({"timestamp":")" + ts +
           R"(","payload":{"type":"custom_tool_call","name":"apply_patch","input":"+a\n-b"}})" + "\n" +
           R"({"timestamp":")" + ts +
           R"(","payload":{"type":"token_count","info":{"total_token_usage":{"input_tokens":5000,)"
           R"("cached_input_tokens":1000,"output_tokens":700}}}})" +
           "\n";
}

class ReportCommandTest : public ::testing::Test
{
protected:
    TempDir home;
    simdjson::dom::parser parser;

    void SetUp() override
    {
        // s2 resumes s1: it starts with a copy of s1's response, which counts once, in s1.
        home.write(".claude/projects/-work-app/s1.jsonl", promptAt("2025-04-01T22:30:00Z", "/work/app") +
                                                              edit("2025-04-01T22:31:00Z", 3, 1) +
                                                              reply("2025-04-01T22:32:00Z", 200, "shared"));
        home.write(".claude/projects/-work-app/s2.jsonl",
                   reply("2025-04-01T22:32:00Z", 200, "shared") + promptAt("2025-04-02T23:30:00Z", "/work/app") +
                       reply("2025-04-03T08:00:00Z", 50, "own") + edit("2025-04-03T08:01:00Z", 2, 4));
        home.write(".claude/projects/-work-old/s3.jsonl",
                   R"({"type":"user","timestamp":"2025-03-30T12:00:00Z","message":{"content":"go"}})"
                   "\n" +
                       reply("2025-03-30T12:01:00Z", 9, "old"));
        home.write(".codex/sessions/2025/04/02/rollout-a.jsonl", rolloutText("2025-04-02T10:00:00Z"));
    }

    element json(const ProgramResult& run)
    {
        EXPECT_EQ(run.status, 0) << run.err;
        element doc;
        EXPECT_EQ(parser.parse(run.out).get(doc), simdjson::SUCCESS) << run.out;
        return doc;
    }

    Sums statsSums(const std::string& zone)
    {
        const element s = json(korvel(home, {"--stats", "--json"}, zone));
        return {integer(s["linesAdded"]), integer(s["linesRemoved"]), integer(s["prompts"]),   number(s["tokensIn"]),
                number(s["tokensOut"]),   number(s["cacheRead"]),     number(s["cacheWrite"]), number(s["cost"])};
    }

    // Every report adds up to the statistics, and its totals to its rows.
    void expectReportsAddUp(const std::string& zone, const std::string& state)
    {
        const Sums want = statsSums(zone);
        for (const std::string name : {"daily", "monthly", "projects", "models", "sessions"}) {
            const element doc = json(korvel(home, {"--" + name, "--json", "--limit", "0"}, zone));
            Sums got;
            for (const element row : doc[name].get_array())
                add(got, rowSums(row));
            const std::string what = name + " in " + zone + ", " + state;
            expectEqual(got, want, what);
            expectEqual(rowSums(doc["totals"]), got, what + ": totals");
        }
    }
};

} // namespace

TEST_F(ReportCommandTest, EveryReportAddsUpToTheStatisticsColdWarmAfterChangesAndInThreeZones)
{
    for (const std::string zone : {"UTC", "Asia/Kolkata", "America/Los_Angeles"}) {
        std::filesystem::remove_all(home.path() + "/data");
        expectReportsAddUp(zone, "cold");
        expectReportsAddUp(zone, "warm");
    }
    home.write(".claude/projects/-work-app/s2.jsonl",
               reply("2025-04-01T22:32:00Z", 200, "shared") + promptAt("2025-04-02T23:30:00Z", "/work/app") +
                   reply("2025-04-03T08:00:00Z", 50, "own") + edit("2025-04-03T08:01:00Z", 2, 4) +
                   edit("2025-04-04T09:00:00Z", 7));
    expectReportsAddUp("UTC", "after a transcript grew");
    std::filesystem::remove(home.path() + "/.claude/projects/-work-app/s1.jsonl");
    expectReportsAddUp("UTC", "after a transcript was deleted");
    EXPECT_EQ(statsSums("UTC").linesAdded, 3 + 2 + 7 + 1) << "the deleted transcript keeps counting";
}

TEST_F(ReportCommandTest, RowsCarryTheirKeysAndFollowTheirOrder)
{
    const element daily = json(korvel(home, {"--daily", "--json", "--since", "2025-04-01", "--until", "2025-04-02"}));
    EXPECT_EQ(std::string(daily["version"].get_string().value()), KORVEL_VERSION);
    std::vector<std::string> days;
    for (const element row : daily["daily"].get_array())
        days.emplace_back(row["date"].get_string().value());
    EXPECT_EQ(days, (std::vector<std::string>{"2025-04-01", "2025-04-02"})) << "inclusive local days, oldest first";

    const element projects = json(korvel(home, {"--projects", "--json"}));
    std::vector<std::string> names;
    for (const element row : projects["projects"].get_array())
        names.emplace_back(row["project"].get_string().value());
    EXPECT_EQ(names, (std::vector<std::string>{"/work/app", "/work/cli", "-work-old"}))
        << "most lines first; a transcript without a working directory is named after its folder";
    EXPECT_EQ(std::string(projects["projects"].at(0)["lastDay"].get_string().value()), "2025-04-03");

    const element sessions = json(korvel(home, {"--sessions", "--json", "--limit", "2"}));
    const auto list = sessions["sessions"].get_array();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_TRUE(std::string(list.at(0)["session"].get_string().value()).ends_with("s2.jsonl")) << "newest first";
    EXPECT_EQ(std::string(list.at(0)["end"].get_string().value()), "2025-04-03T08:01:00.000Z");
    EXPECT_EQ(std::string(list.at(1)["agent"].get_string().value()), "codex");
    EXPECT_EQ(integer(list.at(1)["linesRemoved"]), 1);

    const element models = json(korvel(home, {"--models", "--json"}));
    EXPECT_EQ(std::string(models["models"].at(0)["model"].get_string().value()), "claude-opus-4-6")
        << "most cost first";
    EXPECT_EQ(integer(models["models"].at(0)["messages"]), 3) << "the repeated response counts once";

    const ProgramResult table = korvel(home, {"--daily"});
    EXPECT_NE(table.out.find("2025-04-03"), std::string::npos) << table.out;
    EXPECT_EQ(table.out.find('\033'), std::string::npos) << "no colour when standard output is no terminal";
}

TEST_F(ReportCommandTest, WrongOptionsExitWithTwoAndTheUsageAndAnEmptyHomeGivesEmptyRows)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--daily", "--since", "2025-02-30"},
                                                 {"--sessions", "--limit", "ten"},
                                                 {"--models", "--colour"},
                                                 {"--statusline", "--until"}}) {
        const ProgramResult run = korvel(home, args);
        EXPECT_EQ(run.status, 2) << args[1];
        EXPECT_TRUE(run.out.empty());
        EXPECT_NE(run.err.find("Usage: korvel --daily"), std::string::npos) << run.err;
    }
    TempDir empty;
    const element doc = json(korvel(empty, {"--projects", "--json"}));
    EXPECT_EQ(doc["projects"].get_array().size(), 0u);
    EXPECT_EQ(integer(doc["totals"]["sessions"]), 0);
    EXPECT_EQ(korvel(empty, {"--monthly"}).status, 0);
}

TEST_F(ReportCommandTest, TheStatusLineWarnsWhileTodayHasNotKeptTheStreakUnlessTheUserTurnedThatOff)
{
    TempDir streak;
    const std::time_t now = std::time(nullptr);
    streak.write(".claude/projects/p/s.jsonl", edit(iso(now - 2 * 86400), 5) + edit(iso(now - 86400), 1204));
    const element risk = json(korvel(streak, {"--statusline", "--json"}));
    EXPECT_EQ(std::string(risk["class"].get_string().value()), "at-risk");
    EXPECT_EQ(std::string(risk["text"].get_string().value()), "+0 today \u00b7 $0.00 \u00b7 2d streak at risk");

    streak.write("config/Korvel/Korvel.conf", "[General]\nkorvel.streakProtection=false\n");
    EXPECT_EQ(korvel(streak, {"--statusline"}).out, "+0 today \u00b7 $0.00 \u00b7 2d streak\n");

    streak.write(".claude/projects/p/t.jsonl", edit(iso(now), 1204));
    EXPECT_EQ(korvel(streak, {"--statusline"}).out, "+1,204 today \u00b7 $0.00 \u00b7 3d streak\n");
}
