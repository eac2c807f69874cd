#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace {

ProgramResult korvel(const TempDir& home, const std::vector<std::string>& args, const char* zone = "UTC")
{
    return runProgram(KORVEL_BINARY, args,
                      {"HOME=" + home.path(), std::string("TZ=") + zone, "XDG_DATA_HOME=" + home.path() + "/data"});
}

std::string rollout(std::string_view model, std::string_view day, int input, int cached, int output)
{
    const std::string ts = std::string(day) + "T22:30:00.000Z";
    return R"({"timestamp":")" + ts + R"(","type":"turn_context","payload":{"model":")" + std::string(model) +
           "\"}}\n" + R"({"timestamp":")" + ts +
           R"(","type":"response_item","payload":{"type":"message","role":"user","content":[]}})"
           "\n" +
           R"({"timestamp":")" + ts +
           R"(","type":"response_item","payload":{"type":"custom_tool_call","name":"apply_patch","input":"*** Begin Patch\n+a\n-b\n+c\n*** End Patch"}})"
           "\n" +
           R"({"timestamp":")" + ts +
           R"(","type":"event_msg","payload":{"type":"token_count","info":{"total_token_usage":{"input_tokens":)" +
           std::to_string(input) + R"(,"cached_input_tokens":)" + std::to_string(cached) + R"(,"output_tokens":)" +
           std::to_string(output) + "}}}}\n";
}

std::string crlf(std::string_view text)
{
    std::string out;
    for (const char ch : text)
        out += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    return out;
}

} // namespace

TEST(CodexCommandTest, MissingAndEmptySessionFoldersPrintZeros)
{
    const std::string expected = "codex sessions 0\n"
                                 "codex tokensIn 0.0 tokensOut 0.0 cacheRead 0.0\n"
                                 "codex cost 0.0\n"
                                 "codex linesAdded 0 linesRemoved 0\n"
                                 "codex prompts 0 assistantMessages 0\n"
                                 "codex models \n"
                                 "codex activeDays []\n";
    TempDir home;
    auto run = korvel(home, {"--codex"});
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.status, 0);
    home.mkdir(".codex/sessions");
    EXPECT_EQ(korvel(home, {"--codex"}).out, expected);
}

TEST(CodexCommandTest, PrintsTheWholeReportOverAFixtureTree)
{
    TempDir home;
    home.write(".codex/sessions/2025/05/01/rollout-a.jsonl", rollout("gpt-5", "2025-05-01", 1000, 800, 50));
    home.write(".codex/sessions/2025/05/02/rollout-b.jsonl",
               crlf(rollout("gpt-5.5-codex", "2025-05-02", 3000, 0, 100)));
    home.write(".codex/sessions/2025/05/03/rollout-c.jsonl", "\xff\xfe not utf-8\n");
    home.write(".codex/sessions/2025/05/03/rollout-d.json", rollout("gpt-5", "2025-05-09", 1, 1, 1));
    home.write(".codex/sessions/2025/05/03/notes.jsonl", rollout("gpt-5", "2025-05-09", 1, 1, 1));
    home.write(".codex/sessions/.trash/rollout-e.jsonl", rollout("gpt-5", "2025-05-09", 1, 1, 1));
    home.write(".codex/other/rollout-f.jsonl", rollout("gpt-5", "2025-05-09", 1, 1, 1));

    const auto run = korvel(home, {"--codex"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "codex sessions 3\n"
                       "codex tokensIn 3200.0 tokensOut 150.0 cacheRead 800.0\n"
                       "codex cost 0.005600000000000001\n"
                       "codex linesAdded 4 linesRemoved 2\n"
                       "codex prompts 2 assistantMessages 0\n"
                       "codex models gpt-5=GPT-5, gpt-5.5-codex=GPT-5.5 Codex\n"
                       "codex activeDays [\"2025-05-01\", \"2025-05-02\"]\n");

    // Day keys are local days: 22:30 UTC is the next day east of Greenwich.
    const auto east = korvel(home, {"--codex"}, "Asia/Tokyo");
    EXPECT_NE(east.out.find("codex activeDays [\"2025-05-02\", \"2025-05-03\"]\n"), std::string::npos) << east.out;
}

TEST(CodexCommandTest, HigherFlagsWinAndUnknownArgumentsStartTheApplication)
{
    TempDir home;
    // Without a display the application cannot start, and says so instead of aborting.
    const auto app = korvel(home, {"--verbose"});
    EXPECT_EQ(app.status, 1);
    EXPECT_EQ(app.out, "");
    EXPECT_NE(app.err.find("no display found"), std::string::npos) << app.err;
    const auto codex = korvel(home, {"x", "--codex", "y"});
    EXPECT_EQ(codex.out.rfind("codex sessions 0\n", 0), 0u);
}
