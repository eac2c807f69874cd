// The figures are the user's history with the agents: deleting, compressing, archiving or moving a log changes none.

#include "tests/core/BuildHome.h"
#include "tests/core/TranscriptLines.h"
#include "tests/support/Zstd.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace TranscriptLines;

namespace {

std::string rolloutText(std::string_view day, int added)
{
    const std::string ts = at(day);
    std::string patch = "*** Begin Patch\\n";
    for (int i = 0; i < added; ++i)
        patch += "+x\\n";
    return R"({"timestamp":")" + ts + R"(","payload":{"type":"message","role":"user"}})" + "\n" + R"({"timestamp":")" +
           ts + R"(","payload":{"type":"custom_tool_call","name":"apply_patch","input":")" + patch +
           R"(*** End Patch"}})" + "\n" + R"({"timestamp":")" + ts +
           R"(","payload":{"type":"token_count","info":{"total_token_usage":{"input_tokens":1000,)"
           R"("cached_input_tokens":200,"output_tokens":50}}}})" +
           "\n";
}

class LogHistoryTest : public BuildHome
{
protected:
    StatsBuilder running{StatsBuilder::Options{.watch = true, .saveInterval = 60, .releaseAfter = 300}};

    Stats runningBuild() { return running.build(where, now += 5); }
    static void remove(const std::string& path) { ASSERT_TRUE(std::filesystem::remove(path)) << path; }
};

} // namespace

TEST_F(LogHistoryTest, DeletedLogsKeepCountingUntilTheyAreLetGo)
{
    const std::string a =
        transcript("p/a", edit(at("2025-06-13"), 3) + reply(at("2025-06-13"), "claude-opus-4-6", 1e5, 1e4));
    transcript("p/b", edit(at("2025-06-14"), 2));
    const std::string r = rollout("sessions/2025/06/12/rollout-1.jsonl", rolloutText("2025-06-12", 4));
    const Stats before = fresh();
    ASSERT_EQ(std::pair(before.linesAdded, before.sessions), std::pair(int64_t{9}, int64_t{3}));
    EXPECT_EQ(runningBuild(), before);

    remove(a);
    remove(r);
    EXPECT_EQ(runningBuild(), before) << "the running application";
    EXPECT_EQ(fresh(), before) << "a new process";
    EXPECT_EQ(fresh(), before) << "and the next, from the snapshot";

    where.keepDeletedLogs = false;
    const Stats onDisk = fresh();
    EXPECT_EQ(std::tuple(onDisk.linesAdded, onDisk.sessions, onDisk.streakLongest), std::tuple(2, 1, 1));
    EXPECT_EQ(runningBuild(), onDisk);
    where.keepDeletedLogs = true;
    EXPECT_EQ(fresh(), onDisk) << "what was let go stays gone";
    remove(dir.path() + "/claude/projects/p/b.jsonl");
    EXPECT_EQ(fresh(), onDisk) << "what is deleted from then on is kept";
}

TEST_F(LogHistoryTest, AFileThatReappearsIsReadAgainAndReplacesWhatWasKept)
{
    const std::string a = transcript("a", edit(at("2025-06-14"), 3));
    EXPECT_EQ(fresh().linesAdded, 3);
    remove(a);
    EXPECT_EQ(fresh().linesAdded, 3);
    transcript("a", edit(at("2025-06-14"), 1));
    EXPECT_EQ(fresh().linesAdded, 1);
    EXPECT_EQ(runningBuild().linesAdded, 1);
}

TEST_F(LogHistoryTest, CompressingAndArchivingARolloutChangesNoFigure)
{
    const std::string text = rolloutText("2025-06-14", 4);
    const std::string plain = rollout("sessions/2025/06/14/rollout-7.jsonl", text);
    transcript("t", edit(at("2025-06-15"), 1));
    const Stats before = fresh();
    ASSERT_EQ(std::pair(before.linesAdded, before.sessions), std::pair(int64_t{5}, int64_t{2}));
    EXPECT_EQ(runningBuild(), before);

    const std::string compressed = rollout("sessions/2025/06/14/rollout-7.jsonl.zst", zstdCompress(text));
    EXPECT_EQ(fresh(), before) << "a plain and a compressed copy count once";
    EXPECT_EQ(runningBuild(), before);
    remove(plain);
    EXPECT_EQ(fresh(), before) << "compressed: the kept plain file is superseded, not added to";
    EXPECT_EQ(runningBuild(), before);
    const std::string archived = dir.mkdir("codex/archived_sessions") + "/rollout-7.jsonl.zst";
    std::filesystem::rename(compressed, archived);
    EXPECT_EQ(fresh(), before) << "archived";
    EXPECT_EQ(runningBuild(), before);
    rollout("archived_sessions/rollout-7.jsonl", text);
    EXPECT_EQ(fresh(), before) << "a copy in both forms in the archive";

    // While Codex appends to an old session the plain file is the one that counts.
    rollout("sessions/2025/06/14/rollout-7.jsonl", text + rolloutText("2025-06-15", 6));
    const Stats grown = fresh();
    EXPECT_EQ(std::pair(grown.linesAdded, grown.sessions), std::pair(int64_t{11}, int64_t{2}));
    EXPECT_EQ(runningBuild(), grown) << "also when a new process took the change first";
}

TEST_F(LogHistoryTest, KeptLogsBelongToTheRootTheyWereFoundUnder)
{
    const std::string a = transcript("a", edit(at("2025-06-14"), 3));
    rollout("sessions/rollout-1.jsonl", rolloutText("2025-06-14", 4));
    EXPECT_EQ(fresh().linesAdded, 7);
    remove(a);
    const LogLocations defaults = where;
    where.claudeRoot = dir.mkdir("elsewhere");
    dir.write("elsewhere/b.jsonl", edit(at("2025-06-14"), 10));
    EXPECT_EQ(fresh().linesAdded, 14) << "the other root's kept logs do not count; the rollouts do";
    EXPECT_EQ(runningBuild().linesAdded, 14);
    where = defaults;
    EXPECT_EQ(fresh().linesAdded, 7) << "and count again when their root is read again";
    EXPECT_EQ(runningBuild().linesAdded, 7);
}

TEST_F(LogHistoryTest, AThirtyDayCleanupOfASixtyDayHistoryKeepsEveryFigure)
{
    std::vector<std::string> files;
    for (int day = 0; day < 60; ++day) {
        if (day % 17 == 16)
            continue; // a few days off, so that there are several streaks
        const std::string key = TimeKit::dateKey(now - (59 - day) * 86400.0);
        files.push_back(transcript("p/" + key, edit(at(key), day + 1) + reply(at(key), "claude-sonnet-4-5", 1e4, 1e3)));
    }
    const Stats before = fresh();
    ASSERT_EQ(before.activeDays, 57);
    ASSERT_EQ(before.streakCurrent, 9);
    EXPECT_EQ(runningBuild(), before);
    for (const std::string& file : files)
        if (file < dir.path() + "/claude/projects/p/" + TimeKit::dateKey(now - 29 * 86400.0))
            remove(file);
    EXPECT_EQ(fresh(), before);
    EXPECT_EQ(runningBuild(), before);
}

TEST_F(LogHistoryTest, KeptLogsKeepTheDaysTheyWereReadWith)
{
    const std::string late = transcript("late", edit("2025-06-13T23:30:00Z", 2));
    transcript("also-late", edit("2025-06-14T23:30:00Z", 1));
    EXPECT_EQ(fresh().since, "2025-06-13");
    remove(late);
    ZoneGuard tokyo("Asia/Tokyo");
    const Stats s = fresh();
    // Read again in Tokyo the deleted log's evening would be the next day, and the two days one streak.
    EXPECT_EQ(std::pair(s.activeDays, s.streakLongest), std::pair(int64_t{2}, int64_t{1}))
        << "a deleted log cannot be read in the new zone; a log that is there is";
    EXPECT_EQ(s.linesAdded, 3);
    EXPECT_EQ(runningBuild(), s);
}

TEST_F(LogHistoryTest, ACompressedRolloutThatDoesNotDecompressCountsForNothing)
{
    rollout("sessions/rollout-good.jsonl.zst", zstdCompress(rolloutText("2025-06-14", 4)));
    const std::string frame = zstdCompress(rolloutText("2025-06-14", 9));
    // Other damage is covered through the binary, with its memory (HostileTreeTest).
    rollout("sessions/rollout-cut.jsonl.zst", frame.substr(0, frame.size() - 3));
    rollout("sessions/rollout-empty.jsonl.zst", "");
    const Stats s = runningBuild();
    EXPECT_EQ(std::pair(s.linesAdded, s.sessions), std::pair(int64_t{4}, int64_t{3}));
    EXPECT_EQ(running.lastReport().unreadable.size(), 2u);
    EXPECT_EQ(fresh(), s) << "a new process tries them again, with the same outcome";

    rollout("sessions/rollout-new.jsonl", rolloutText("2025-06-15", 1));
    EXPECT_EQ(runningBuild().linesAdded, 5);
    EXPECT_EQ(running.lastReport().parsed, 1u) << "the bad ones are not read again until they change";
    rollout("sessions/rollout-cut.jsonl.zst", frame);
    EXPECT_EQ(runningBuild().linesAdded, 14) << "once whole, it counts";
}
