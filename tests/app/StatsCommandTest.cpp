#include "tests/app/KorvelRun.h"
#include "tests/support/Zstd.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

// The report without its first line, the build time, which differs from run to run.
std::string figures(const ProgramResult& run)
{
    EXPECT_EQ(run.out.rfind("elapsedMs ", 0), 0u) << run.out << run.err;
    return run.out.substr(std::min(run.out.size(), run.out.find('\n') + 1));
}

std::string prompt(const std::string& ts)
{
    return R"({"type":"user","timestamp":")" + ts + R"(","message":{"role":"user","content":"go"}})" + "\n";
}

class StatsCommandTest : public ::testing::Test
{
protected:
    TempDir home;

    void SetUp() override
    {
        home.write(".claude/projects/app/s1.jsonl",
                   prompt("2025-04-01T22:30:00Z") + edit("2025-04-01T22:31:00Z", 3, 1) +
                       reply("2025-04-01T22:32:00Z", 200) + reply("2025-04-01T22:32:00Z", 400));
        home.write(".claude/projects/app/s2.jsonl", prompt("2025-04-02T23:30:00Z") + edit("2025-04-03T08:00:00Z", 2));
        home.write(".claude/projects/.hidden/s3.jsonl", prompt("2025-04-05T10:00:00Z"));
        home.write(".claude/projects/app/notes.txt", prompt("2025-04-05T10:00:00Z"));
    }
};

} // namespace

TEST_F(StatsCommandTest, FullReportInThreeZones)
{
    // The figures that depend on the zone: score, active days (also the longest run), percentile, first day.
    const auto report = [](int score, int days, int percentile, const std::string& since) {
        const std::string d = std::to_string(days);
        return "score " + std::to_string(score) + "\ncost 0.015\nlinesAdded 5 linesRemoved 1 total 6\nsessions 2\n" +
               "streakLongest " + d + " current 0 activeDays " + d + "\ntokensOut 400.0\ntopModel Opus 4.6\n" +
               "percentile " + std::to_string(percentile) + "\nsince " + since + " until 2025-04-03 daysSpan 2\n" +
               "prompts 2\ntodayLines 0 todayCost 0.0 codedToday false\ntodayTokens 0.0 weekTokens 0.0\n" +
               "badges First Blood\n";
    };
    EXPECT_EQ(figures(korvel(home, {"--stats"}, "UTC")), report(10, 3, 88, "2025-04-01"));
    // East of Greenwich the first evening falls on the next morning: one active day fewer.
    EXPECT_EQ(figures(korvel(home, {"--stats"}, "Asia/Tokyo")), report(9, 2, 89, "2025-04-02"));
    EXPECT_EQ(figures(korvel(home, {"--stats"}, "America/Los_Angeles")), report(10, 3, 88, "2025-04-01"));
    EXPECT_EQ(figures(korvel(home, {"--stats", "--bench"})), "score 10 cost 0.015 lines 6 sessions 2\n");
}

TEST_F(StatsCommandTest, WarmChangedAndOtherTreesGiveFreshFigures)
{
    const std::string cold = figures(korvel(home, {"--stats"}));
    EXPECT_EQ(figures(korvel(home, {"--stats"})), cold) << "from the warm cache";
    home.write(".claude/projects/app/s2.jsonl",
               prompt("2025-04-02T23:30:00Z") + edit("2025-04-03T08:00:00Z", 2) + edit("2025-04-03T09:00:00Z", 4));
    std::remove((home.path() + "/.claude/projects/app/s1.jsonl").c_str());
    const std::string changed = figures(korvel(home, {"--stats"}));
    EXPECT_NE(changed.find("linesAdded 9 linesRemoved 1 total 10\nsessions 2\n"), std::string::npos)
        << "the deleted transcript keeps counting: " << changed;
    EXPECT_NE(changed.find("topModel Opus 4.6\n"), std::string::npos) << changed;
    EXPECT_EQ(figures(korvel(home, {"--stats"})), changed) << "warm";
    home.write("config/Korvel/Korvel.conf", "[General]\nkorvel.forgetDeletedLogs=true\n");
    const std::string onDisk = figures(korvel(home, {"--stats"}));
    EXPECT_NE(onDisk.find("linesAdded 6 linesRemoved 0 total 6\nsessions 1\n"), std::string::npos)
        << "deleted logs let go: " << onDisk;
    std::remove((home.path() + "/config/Korvel/Korvel.conf").c_str());
    const std::string moved =
        figures(korvel(home, {"--stats"}, "UTC", {"CLAUDE_CONFIG_DIR=" + home.path() + "/agent-home"}));
    EXPECT_NE(moved.find("linesAdded 0 linesRemoved 0 total 0\nsessions 0\n"), std::string::npos)
        << "CLAUDE_CONFIG_DIR moves the transcripts: " << moved;

    const std::time_t now = std::time(nullptr);
    home.write("other/app/now.jsonl", edit(iso(now - 60), 4) + reply(iso(now - 60), 100));
    home.write("other/app/week.jsonl", edit(iso(now - 3 * 86400), 2));
    const std::string other = figures(korvel(home, {"--stats-dir", home.path() + "/other", "--stats"}));
    EXPECT_NE(other.find("linesAdded 6 linesRemoved 0 total 6\nsessions 2\n"), std::string::npos) << other;
    EXPECT_NE(other.find("todayLines 4 todayCost 0.0075 codedToday true\ntodayTokens 1100.0 weekTokens 1100.0\n"),
              std::string::npos)
        << other;
}

TEST(CodexCommandTest, ReportsRolloutsInLocalDaysAndZerosWithoutThem)
{
    const auto rollout = [](const std::string& model, const std::string& day, int input, int cached, int output) {
        const std::string at = R"({"timestamp":")" + day + R"(T22:30:00.000Z",)";
        return at + R"("type":"turn_context","payload":{"model":")" + model + "\"}}\n" + at +
               R"("type":"response_item","payload":{"type":"message","role":"user","content":[]}})" + "\n" + at +
               R"("type":"response_item","payload":{"type":"custom_tool_call","name":"apply_patch",)" +
               R"("input":"*** Begin Patch\n+a\n-b\n+c\n*** End Patch"}})" + "\n" + at +
               R"("type":"event_msg","payload":{"type":"token_count","info":{"total_token_usage":{"input_tokens":)" +
               std::to_string(input) + R"(,"cached_input_tokens":)" + std::to_string(cached) + R"(,"output_tokens":)" +
               std::to_string(output) + "}}}}\n";
    };
    TempDir home;
    EXPECT_EQ(korvel(home, {"--codex"}).out, "codex sessions 0\ncodex tokensIn 0.0 tokensOut 0.0 cacheRead 0.0\n"
                                             "codex cost 0.0\ncodex linesAdded 0 linesRemoved 0\n"
                                             "codex prompts 0 assistantMessages 0\ncodex models \n"
                                             "codex activeDays []\n");
    std::string crlf;
    for (const char c : rollout("gpt-5.5-codex", "2025-05-02", 3000, 0, 100))
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    home.write(".codex/sessions/2025/05/01/rollout-a.jsonl", rollout("gpt-5", "2025-05-01", 1000, 800, 50));
    home.write(".codex/sessions/2025/05/02/rollout-b.jsonl", crlf);
    home.write(".codex/sessions/2025/05/03/rollout-c.jsonl", "\xff\xfe not utf-8\n");
    for (const char* ignored : {"2025/05/03/rollout-d.json", "2025/05/03/notes.jsonl", ".trash/rollout-e.jsonl"})
        home.write(std::string(".codex/sessions/") + ignored, rollout("gpt-5", "2025-05-09", 1, 1, 1));

    const auto run = korvel(home, {"x", "--codex", "y"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "codex sessions 3\ncodex tokensIn 3200.0 tokensOut 150.0 cacheRead 800.0\n"
                       "codex cost 0.005600000000000001\ncodex linesAdded 4 linesRemoved 2\n"
                       "codex prompts 2 assistantMessages 0\ncodex models gpt-5=GPT-5, gpt-5.5-codex=GPT-5.5 Codex\n"
                       "codex activeDays [\"2025-05-01\", \"2025-05-02\"]\n");
    // Day keys are local days: 22:30 UTC is the next day east of Greenwich.
    EXPECT_NE(korvel(home, {"--codex"}, "Asia/Tokyo").out.find("activeDays [\"2025-05-02\", \"2025-05-03\"]\n"),
              std::string::npos);
    // Compressed and archived, the same rollouts give the same report; a deleted one is gone from it.
    const std::string a = home.path() + "/.codex/sessions/2025/05/01/rollout-a.jsonl";
    home.write(".codex/archived_sessions/rollout-a.jsonl.zst",
               zstdCompress(rollout("gpt-5", "2025-05-01", 1000, 800, 50)));
    home.write(".codex/sessions/2025/05/02/rollout-b.jsonl.zst", zstdCompress(crlf));
    EXPECT_EQ(korvel(home, {"--codex"}).out, run.out) << "copies count once";
    std::remove(a.c_str());
    std::remove((home.path() + "/.codex/sessions/2025/05/02/rollout-b.jsonl").c_str());
    EXPECT_EQ(korvel(home, {"--codex"}).out, run.out) << "compressed and archived";
    EXPECT_EQ(korvel(home, {"--codex"}, "UTC", {"CODEX_HOME=" + home.path() + "/elsewhere"})
                  .out.rfind("codex sessions 0\n", 0),
              0u)
        << "CODEX_HOME moves the rollouts";
}

TEST(HelpCommandTest, HelpAndVersionPrintAndLeaveWithoutADisplayWhereOtherArgumentsStartTheApplication)
{
    const ProgramResult help = runProgram(KORVEL_BINARY, {"--help"}, {});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: korvel [COMMAND]\n", 0), 0u) << help.out;
    for (const char* flag : {"--stats-dir DIR", "--card [PATH]", "--codex", "--sync-dry-run", "--version", "--debug"})
        EXPECT_NE(help.out.find(flag), std::string::npos) << flag;
    const ProgramResult version = runProgram(KORVEL_BINARY, {"--stats", "--version"}, {});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "korvel " KORVEL_VERSION "\n");
    // Without a display the application cannot start, and says so instead of aborting.
    const ProgramResult app = runProgram(KORVEL_BINARY, {"--verbose"}, {});
    EXPECT_EQ(app.status, 1);
    EXPECT_NE(app.err.find("no display found"), std::string::npos) << app.err;
}

TEST(ReportTextTest, ModelNamesFromTheLogsCannotSteerTheTerminal)
{
    // A title sequence, a clear-screen sequence, a line feed, a NUL and a C1 control, as JSON escapes in the logs.
    const std::string hostile = R"(claude-\u001b]0;pwned\u0007\u001b[2J\n\u0000\u009b-x)";
    TempDir home;
    home.write(".claude/projects/app/s.jsonl",
               R"({"type":"assistant","timestamp":"2025-04-01T10:00:00Z","message":{"id":"m1","model":")" + hostile +
                   R"(","usage":{"input_tokens":1000,"output_tokens":10}}})" + "\n");
    home.write(".codex/sessions/rollout-1.jsonl",
               R"({"timestamp":"2025-04-01T10:00:00Z","payload":{"type":"turn_context","model":")" + hostile +
                   R"("}})" + "\n" +
                   R"({"timestamp":"2025-04-01T10:00:00Z","payload":{"type":"token_count","info":{"total_token_usage":)"
                   R"({"input_tokens":10,"cached_input_tokens":0,"output_tokens":1}}}})" +
                   "\n");
    const auto onlyLineEnds = [](const std::string& out) {
        for (const char c : out)
            if (static_cast<unsigned char>(c) < 0x20 && c != '\n')
                return false;
        return true;
    };
    for (const char* command : {"--stats", "--codex"}) {
        const ProgramResult run = korvel(home, {command});
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_TRUE(onlyLineEnds(run.out)) << command << ": " << run.out;
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), command == std::string("--stats") ? 14 : 7)
            << command << ": " << run.out;
        EXPECT_NE(run.out.find("claude-\xEF\xBF\xBD]0;pwned"), std::string::npos) << command << ": " << run.out;
    }
}
