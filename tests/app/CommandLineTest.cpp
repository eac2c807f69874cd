#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace {

Invocation parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "korvel");
    return CommandLine::parse(args);
}

} // namespace

TEST(CommandLineTest, FlagsArePickedByPrecedenceAnythingElseStartsTheApplication)
{
    const std::pair<std::vector<std::string>, Command> cases[] = {
        {{"--stats", "--bench"}, Command::Bench},
        {{"--codex", "--stats"}, Command::Stats},
        {{"--codex", "--card"}, Command::Card},
        {{"--sync-dry-run", "--codex"}, Command::Codex},
        {{"--notchcorner", "--notchview"}, Command::NotchView},
        {{"--sprites", "--notchcorner"}, Command::Sprites},
        {{"--stats", "--help"}, Command::Help},
        {{"--version", "--bench"}, Command::Version},
        {{"--version", "--help"}, Command::Help},
        {{}, Command::Application},
        {{"-h"}, Command::Application},
        {{"--STATS"}, Command::Application},
        {{"--stats=1"}, Command::Application},
        {{"--stats-dir", "/x"}, Command::Application},
    };
    for (const auto& [args, command] : cases)
        EXPECT_EQ(parse(args).command, command) << testing::PrintToString(args);
    EXPECT_EQ(CommandLine::parse({"--codex"}).command, Command::Codex) << "the program path takes part";
}

TEST(CommandLineTest, TheArgumentIsTheWordAfterTheFlagOrTheDefault)
{
    EXPECT_EQ(parse({"--stats", "--stats-dir", "/a", "--stats-dir", "/b"}).argument, "/a");
    EXPECT_FALSE(parse({"--stats", "--stats-dir"}).argument.has_value());
    EXPECT_EQ(parse({"--card", "--codex"}).argument, "--codex");
    EXPECT_EQ(parse({"--card"}).argument, "/tmp/korvel-card.png");
    EXPECT_EQ(parse({"--sprites"}).argument, "/tmp/korvel-sprites.png");
    EXPECT_FALSE(parse({"--codex", "x"}).argument.has_value());
}
