#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace {

Invocation parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "korvel");
    return CommandLine::parse(args);
}

} // namespace

TEST(CommandLineTest, FlagsArePickedByPrecedenceNotPosition)
{
    EXPECT_EQ(parse({"--stats", "--bench"}).command, Command::Bench);
    EXPECT_EQ(parse({"--codex", "--stats"}).command, Command::Stats);
    EXPECT_EQ(parse({"--codex", "--card"}).command, Command::Card);
    EXPECT_EQ(parse({"--sync-dry-run", "--codex"}).command, Command::Codex);
    EXPECT_EQ(parse({"--sync-dry-run"}).command, Command::SyncDryRun);
    EXPECT_EQ(parse({"--notchcorner", "--notchview"}).command, Command::NotchView);
    EXPECT_EQ(parse({"--sprites", "--notchcorner"}).command, Command::Sprites);
    EXPECT_EQ(parse({"--stats", "--help"}).command, Command::Help);
    EXPECT_EQ(parse({"--version", "--bench"}).command, Command::Version);
    EXPECT_EQ(parse({"--version", "--help"}).command, Command::Help);
}

TEST(CommandLineTest, AnythingElseStartsTheApplication)
{
    EXPECT_EQ(parse({}).command, Command::Application);
    EXPECT_EQ(parse({"--helpme"}).command, Command::Application);
    EXPECT_EQ(parse({"-h"}).command, Command::Application);
    EXPECT_EQ(parse({"--STATS"}).command, Command::Application);
    EXPECT_EQ(parse({"--stats-dir", "/x"}).command, Command::Application);
    EXPECT_EQ(parse({"--stats=1"}).command, Command::Application);
}

TEST(CommandLineTest, TheProgramPathTakesPartInTheComparison)
{
    EXPECT_EQ(CommandLine::parse({"--codex"}).command, Command::Codex);
}

TEST(CommandLineTest, StatsDirectoryIsTheArgumentAfterTheFirstOption)
{
    EXPECT_EQ(parse({"--stats", "--stats-dir", "/a", "--stats-dir", "/b"}).argument, "/a");
    EXPECT_EQ(parse({"--stats-dir", "rel/dir", "--stats"}).argument, "rel/dir");
    EXPECT_FALSE(parse({"--stats", "--stats-dir"}).argument.has_value());
    EXPECT_FALSE(parse({"--stats"}).argument.has_value());
}

TEST(CommandLineTest, RenderPathsFollowTheirFlagOrDefault)
{
    EXPECT_EQ(parse({"--card", "/out.png"}).argument, "/out.png");
    EXPECT_EQ(parse({"--card"}).argument, "/tmp/korvel-card.png");
    EXPECT_EQ(parse({"--card", "--codex"}).argument, "--codex");
    EXPECT_EQ(parse({"--sprites"}).argument, "/tmp/korvel-sprites.png");
    EXPECT_EQ(parse({"--notchview"}).argument, "/tmp/korvel-notchview.png");
    EXPECT_EQ(parse({"--notchcorner", "x.png"}).argument, "x.png");
    EXPECT_FALSE(parse({"--codex", "x"}).argument.has_value());
}
