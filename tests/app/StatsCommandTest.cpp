#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

#include <ctime>
#include <gtest/gtest.h>

namespace {

ProgramResult korvel(const TempDir& home, const std::vector<std::string>& args, const char* zone = "UTC")
{
    return runProgram(KORVEL_BINARY, args,
                      {"HOME=" + home.path(), std::string("TZ=") + zone, "XDG_DATA_HOME=" + home.path() + "/data"});
}

// The report without its first line, the build time, which differs from run to run.
std::string figures(const std::string& out)
{
    EXPECT_EQ(out.rfind("elapsedMs ", 0), 0u) << out;
    const auto lf = out.find('\n');
    return lf == std::string::npos ? out : out.substr(lf + 1);
}

std::string edit(const std::string& ts, int added, int removed)
{
    std::string lines;
    for (int i = 0; i < added + removed; ++i)
        lines += std::string(i ? "," : "") + (i < added ? "\"+a\"" : "\"-r\"");
    return R"({"type":"user","timestamp":")" + ts + R"(","toolUseResult":{"filePath":"/p/f)" + std::to_string(added) +
           R"(","structuredPatch":[{"lines":[)" + lines + "]}]}}\n";
}

std::string prompt(const std::string& ts)
{
    return R"({"type":"user","timestamp":")" + ts +
           R"(","message":{"role":"user","content":"go"}})"
           "\n";
}

std::string reply(const std::string& ts, int output)
{
    return R"({"type":"assistant","timestamp":")" + ts +
           R"(","requestId":"r1","message":{"id":"m1","model":"claude-opus-4-6","usage":{"input_tokens":1000,"output_tokens":)" +
           std::to_string(output) + "}}}\n";
}

std::string isoAgo(double seconds)
{
    const std::time_t t = std::time(nullptr) - static_cast<std::time_t>(seconds);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&t));
    return buf;
}

class StatsCommandTest : public ::testing::Test
{
protected:
    TempDir home;

    void pastTree()
    {
        home.write(".claude/projects/app/s1.jsonl",
                   prompt("2025-04-01T22:30:00Z") + edit("2025-04-01T22:31:00Z", 3, 1) +
                       reply("2025-04-01T22:32:00Z", 200) + reply("2025-04-01T22:32:00Z", 400));
        home.write(".claude/projects/app/s2.jsonl",
                   prompt("2025-04-02T23:30:00Z") + edit("2025-04-03T08:00:00Z", 2, 0));
        home.write(".claude/projects/.hidden/s3.jsonl", prompt("2025-04-05T10:00:00Z"));
        home.write(".claude/projects/app/notes.txt", prompt("2025-04-05T10:00:00Z"));
    }
};

} // namespace

TEST_F(StatsCommandTest, NoLogsPrintTheEmptyReport)
{
    const auto run = korvel(home, {"--stats"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(figures(run.out), "score 0\n"
                                "cost 0.0\n"
                                "linesAdded 0 linesRemoved 0 total 0\n"
                                "sessions 0\n"
                                "streakLongest 0 current 0 activeDays 0\n"
                                "tokensOut 0.0\n"
                                "topModel -\n"
                                "percentile 99\n"
                                "since - until - daysSpan 0\n"
                                "prompts 0\n"
                                "todayLines 0 todayCost 0.0 codedToday false\n"
                                "todayTokens 0.0 weekTokens 0.0\n"
                                "badges \n");
}

TEST_F(StatsCommandTest, FullReportInThreeZones)
{
    pastTree();
    // The fixture's figures that depend on the zone: score, active days (also the longest run), percentile, first day.
    const auto report = [](int score, int days, int percentile, const std::string& since) {
        return "score " + std::to_string(score) +
               "\n"
               "cost 0.015\n"
               "linesAdded 5 linesRemoved 1 total 6\n"
               "sessions 2\n"
               "streakLongest " +
               std::to_string(days) + " current 0 activeDays " + std::to_string(days) +
               "\n"
               "tokensOut 400.0\n"
               "topModel Opus 4.6\n"
               "percentile " +
               std::to_string(percentile) + "\nsince " + since +
               " until 2025-04-03 daysSpan 2\n"
               "prompts 2\n"
               "todayLines 0 todayCost 0.0 codedToday false\n"
               "todayTokens 0.0 weekTokens 0.0\n"
               "badges First Blood\n";
    };
    EXPECT_EQ(figures(korvel(home, {"--stats"}, "UTC").out), report(10, 3, 88, "2025-04-01"));
    // East of Greenwich the first evening falls on the next morning: one active day fewer.
    EXPECT_EQ(figures(korvel(home, {"--stats"}, "Asia/Tokyo").out), report(9, 2, 89, "2025-04-02"));
    EXPECT_EQ(figures(korvel(home, {"--stats"}, "America/Los_Angeles").out), report(10, 3, 88, "2025-04-01"));
}

TEST_F(StatsCommandTest, WarmCacheAndChangedTreesGiveFreshFigures)
{
    pastTree();
    const std::string cold = figures(korvel(home, {"--stats"}).out);
    EXPECT_EQ(figures(korvel(home, {"--stats"}).out), cold);
    home.write(".claude/projects/app/s2.jsonl", prompt("2025-04-02T23:30:00Z") + edit("2025-04-03T08:00:00Z", 2, 0) +
                                                    edit("2025-04-03T09:00:00Z", 4, 0));
    EXPECT_NE(figures(korvel(home, {"--stats"}).out).find("linesAdded 9 linesRemoved 1 total 10\n"), std::string::npos);
    std::remove((home.path() + "/.claude/projects/app/s1.jsonl").c_str());
    const std::string afterDelete = figures(korvel(home, {"--stats"}).out);
    EXPECT_NE(afterDelete.find("sessions 1\n"), std::string::npos) << afterDelete;
    EXPECT_NE(afterDelete.find("topModel -\n"), std::string::npos) << afterDelete;
}

TEST_F(StatsCommandTest, TodayFiguresFollowTheClock)
{
    home.write(".claude/projects/app/now.jsonl", edit(isoAgo(60), 4, 0) + reply(isoAgo(60), 100));
    home.write(".claude/projects/app/week.jsonl", edit(isoAgo(3 * 86400), 2, 0));
    const std::string out = figures(korvel(home, {"--stats"}).out);
    EXPECT_NE(out.find("todayLines 4 todayCost 0.0075 codedToday true\n"), std::string::npos) << out;
    EXPECT_NE(out.find("todayTokens 1100.0 weekTokens 1100.0\n"), std::string::npos) << out;
}

TEST_F(StatsCommandTest, StatsDirectoryReplacesOnlyTheClaudeFolder)
{
    pastTree();
    home.write("other/x/one.jsonl", edit("2025-05-01T10:00:00Z", 7, 0));
    home.write(".codex/sessions/rollout-1.jsonl",
               R"({"timestamp":"2025-05-02T10:00:00Z","payload":{"type":"message","role":"user"}})"
               "\n");
    const std::string other = figures(korvel(home, {"--stats-dir", home.path() + "/other", "--stats"}).out);
    EXPECT_NE(other.find("linesAdded 7 linesRemoved 0 total 7\nsessions 2\n"), std::string::npos) << other;
    const std::string missing = figures(korvel(home, {"--stats", "--stats-dir", home.path() + "/none"}).out);
    EXPECT_NE(missing.find("sessions 1\n"), std::string::npos) << "Codex rollouts still count";
    const std::string trailing = figures(korvel(home, {"--stats", "--stats-dir"}).out);
    EXPECT_NE(trailing.find("sessions 3\n"), std::string::npos) << "no directory after the option: defaults";
}

TEST_F(StatsCommandTest, BenchPrintsTwoLinesAndWinsOverStats)
{
    pastTree();
    const auto run = korvel(home, {"--stats", "--bench"});
    EXPECT_EQ(figures(run.out), "score 10 cost 0.015 lines 6 sessions 2\n");
}
