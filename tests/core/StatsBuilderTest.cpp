#include "core/StatsBuilder.h"

#include "core/AtomicFile.h"
#include "core/TimeKit.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZoneGuard.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

std::string edit(std::string_view ts, int added, std::string_view file = "/src/a.ts")
{
    std::string lines;
    for (int i = 0; i < added; ++i)
        lines += std::string(i ? "," : "") + "\"+x\"";
    return R"({"type":"user","timestamp":")" + std::string(ts) + R"(","toolUseResult":{"filePath":")" +
           std::string(file) + R"(","structuredPatch":[{"lines":[)" + lines + "]}]}}\n";
}

// A response line; with an id, it carries a message id and request id as Claude Code writes them.
std::string reply(std::string_view ts, std::string_view model, double in, double out, double read = 0, double write = 0,
                  std::string_view id = "")
{
    const std::string request = id.empty() ? "" : R"(,"requestId":"req_)" + std::string(id) + "\"";
    const std::string message = id.empty() ? "" : R"("id":"msg_)" + std::string(id) + "\",";
    return R"({"type":"assistant","timestamp":")" + std::string(ts) + "\"" + request + R"(,"message":{)" + message +
           R"("model":")" + std::string(model) + R"(","usage":{"input_tokens":)" + std::to_string(in) +
           R"(,"output_tokens":)" + std::to_string(out) + R"(,"cache_read_input_tokens":)" + std::to_string(read) +
           R"(,"cache_creation_input_tokens":)" + std::to_string(write) + "}}}\n";
}

std::string response(std::string_view id, std::string_view ts, double in, double out)
{
    return reply(ts, "claude-sonnet-4-5", in, out, 0, 0, id);
}

std::string at(std::string_view day, std::string_view time = "12:00:00")
{
    return std::string(day) + "T" + std::string(time) + "Z";
}

class StatsBuilderTest : public ::testing::Test
{
protected:
    ZoneGuard zone{"UTC"};
    TempDir dir;
    LogLocations where{dir.path() + "/claude", dir.path() + "/codex", dir.path() + "/parse-cache.db"};
    double now = *TimeKit::epoch("2025-06-15T12:00:00Z");
    StatsBuilder builder;

    std::string transcript(std::string_view name, std::string_view content)
    {
        return dir.write("claude/" + std::string(name) + ".jsonl", content);
    }

    Stats build() { return builder.build(where, now); }
    Stats buildFresh() { return StatsBuilder().build(where, now); }

    size_t storedLogs() const
    {
        size_t rows = 0;
        ParseCache::open(where.parseCachePath, TimeKit::refreshZone())->forEachLog([&](std::string, StoredLog) {
            ++rows;
        });
        return rows;
    }
};

} // namespace

TEST_F(StatsBuilderTest, NoLogsGiveTheEmptyFigures)
{
    const Stats s = build();
    EXPECT_EQ(s.logFiles + s.sessions + s.daysSpan + s.streakLongest + s.crackedScore, 0);
    EXPECT_FALSE(s.since || s.until || s.topModel || s.codedToday);
    EXPECT_EQ(s.percentile, 99);
    ASSERT_EQ(s.badges.size(), 10u);
    EXPECT_TRUE(std::none_of(s.badges.begin(), s.badges.end(), [](const Badge& b) { return b.earned; }));
}

TEST_F(StatsBuilderTest, DaysSpanIsElapsedTimeRounded)
{
    transcript("t", edit("2025-06-01T08:00:00Z", 1) + edit("2025-06-01T19:00:00Z", 1));
    EXPECT_EQ(buildFresh().daysSpan, 1);
    transcript("t", edit("2025-06-01T08:00:00Z", 1) + edit("2025-06-01T21:00:00Z", 1));
    const Stats s = buildFresh();
    EXPECT_EQ(s.daysSpan, 2);
    EXPECT_EQ(s.since, "2025-06-01");
    EXPECT_EQ(s.until, "2025-06-01");
}

TEST_F(StatsBuilderTest, StreaksCountConsecutiveActiveDays)
{
    const auto streaks = [&](std::initializer_list<const char*> days) {
        std::string content;
        for (const char* day : days)
            content += edit(at(day), 1);
        transcript("t", content);
        const Stats s = buildFresh();
        return std::vector<int64_t>{s.streakCurrent, s.streakLongest};
    };
    EXPECT_EQ(streaks({"2025-06-13", "2025-06-14", "2025-06-15"}), (std::vector<int64_t>{3, 3}));
    EXPECT_EQ(streaks({"2025-06-13", "2025-06-14"}), (std::vector<int64_t>{2, 2}));
    EXPECT_EQ(streaks({"2025-06-13"}), (std::vector<int64_t>{0, 1}));
    EXPECT_EQ(streaks({"2025-06-01", "2025-06-02", "2025-06-03", "2025-06-05", "2025-06-06"}),
              (std::vector<int64_t>{0, 3}));
}

TEST_F(StatsBuilderTest, CurrentStreakCountsCalendarDaysAcrossClockChanges)
{
    ZoneGuard newYork("America/New_York");
    // Just after midnight on the first day of summer time; 24 hours earlier was still two days back.
    now = *TimeKit::epoch("2025-03-10T00:30:00-04:00");
    transcript("t", edit("2025-03-09T12:00:00-04:00", 1) + edit("2025-03-10T00:10:00-04:00", 1));
    EXPECT_EQ(build().streakCurrent, 2);

    // Autumn: the day that lasts 25 hours is counted once.
    now = *TimeKit::epoch("2025-11-03T23:30:00-05:00");
    transcript("t", edit("2025-11-01T12:00:00-04:00", 1) + edit("2025-11-02T00:30:00-04:00", 1) +
                        edit("2025-11-03T23:00:00-05:00", 1));
    const Stats s = build();
    EXPECT_EQ(s.streakCurrent, 3);
    EXPECT_LE(s.streakCurrent, s.streakLongest);
}

TEST_F(StatsBuilderTest, TodayAndTheWeekAreSevenCalendarDays)
{
    transcript("today", edit(at("2025-06-15"), 5) + reply(at("2025-06-15"), "claude-sonnet-4-5", 100, 50));
    transcript("six-ago", edit(at("2025-06-09"), 7));
    transcript("seven-ago", edit(at("2025-06-08"), 11) + reply(at("2025-06-08"), "claude-sonnet-4-5", 1000, 0));
    const Stats s = build();
    EXPECT_EQ(s.todayLinesAdded, 5);
    EXPECT_EQ(s.todayTokens, 150);
    EXPECT_EQ(s.todayCost, 100 * 3e-6 + 50 * 15e-6);
    EXPECT_TRUE(s.codedToday);
    EXPECT_EQ(s.weekLinesAdded, 12);
    EXPECT_EQ(s.weekTokens, 150);
    EXPECT_EQ(s.weekSessions, 2);
    EXPECT_EQ(s.sessions, 3);
    EXPECT_EQ(s.linesAdded, 23);
}

TEST_F(StatsBuilderTest, ModelsAreSummedPricedAndSortedByCostAndBothRootsCount)
{
    transcript("a", reply(at("2025-06-15"), "claude-sonnet-4-5", 1e6, 1e6, 1e6, 1e6) + edit(at("2025-06-15"), 1, "/x"));
    transcript("b", reply(at("2025-06-15"), "claude-haiku-4-5", 10, 10) +
                        reply(at("2025-06-15"), "claude-opus-4-6", 1e6, 1e6) + edit(at("2025-06-15"), 1, "/y"));
    transcript("c", reply(at("2025-06-15"), "claude-haiku-4-5", 10, 10) + edit(at("2025-06-15"), 1, "/x"));
    dir.write("codex/2025/rollout-1.jsonl",
              R"({"timestamp":"2025-06-14T10:00:00Z","payload":{"type":"message","role":"user"}})"
              "\n");
    const Stats s = build();
    ASSERT_EQ(s.models.size(), 3u);
    EXPECT_EQ(s.models[0].model, "claude-opus-4-6");
    EXPECT_EQ(s.models[1].model, "claude-sonnet-4-5");
    EXPECT_NEAR(s.models[1].cost, 22.05, 1e-12);
    EXPECT_EQ(s.models[2].messages, 2);
    EXPECT_EQ(s.models[2].tokensIn, 20);
    EXPECT_EQ(s.topModel, "Opus 4.6");
    EXPECT_TRUE(s.badges[8].earned) << "three models";
    EXPECT_EQ(s.filesEdited, 2);
    EXPECT_EQ(s.logFiles, 4);
    EXPECT_EQ(s.prompts, 1);
    EXPECT_EQ(s.activeDays, 2);
}

TEST_F(StatsBuilderTest, TheCacheFollowsTheTreeAndIsWrittenOnlyWhenSomethingChanged)
{
    const std::string a = transcript("a", edit(at("2025-06-15"), 2));
    transcript("b", edit(at("2025-06-15"), 3));
    EXPECT_EQ(build().linesAdded, 5);
    EXPECT_EQ(builder.lastReport().parsed, 2u);
    const auto modified = [&] {
        struct stat st
        {
        };
        EXPECT_EQ(stat(where.parseCachePath.c_str(), &st), 0);
        return st.st_mtim.tv_nsec;
    };
    const auto first = modified();

    StatsBuilder fresh;
    EXPECT_EQ(fresh.build(where, now).linesAdded, 5);
    EXPECT_EQ(fresh.lastReport().parsed, 0u) << "a new builder reads nothing of an unchanged tree";
    EXPECT_EQ(modified(), first) << "and writes nothing";

    ASSERT_EQ(unlink(a.c_str()), 0);
    EXPECT_EQ(build().linesAdded, 3);
    EXPECT_EQ(storedLogs(), 1u) << "the deleted file's record is gone";
}

TEST_F(StatsBuilderTest, AFileThatCannotBeReadIsNotCachedAndIsTriedAgain)
{
    transcript("b", edit(at("2025-06-15"), 3));
    ASSERT_EQ(mkfifo((dir.path() + "/claude/pipe.jsonl").c_str(), 0600), 0) << "must not block the build";
    // A log that vanished between listing and reading, or cannot be opened, stands for any failed read.
    const std::string link = dir.path() + "/claude/a.jsonl";
    ASSERT_EQ(symlink((dir.path() + "/later.jsonl").c_str(), link.c_str()), 0);
    for (const char* when : {"first", "again, though nothing changed"}) {
        EXPECT_EQ(build().linesAdded, 3) << when;
        EXPECT_EQ(builder.lastReport().unreadable, std::vector<std::string>{link}) << when;
    }
    EXPECT_EQ(storedLogs(), 2u) << "the unreadable one is not cached as empty";
    dir.write("later.jsonl", edit(at("2025-06-15"), 1));
    EXPECT_EQ(build().linesAdded, 4);
}

TEST_F(StatsBuilderTest, BrokenCachesOldCacheFilesAndStaleTemporariesAreReplaced)
{
    transcript("a", edit(at("2025-06-15"), 2));
    const std::string old = dir.path() + "/parse-cache.json";
    AtomicFile::write(old, R"({"version":1,"entries":{}})");
    const std::string stale = dir.write("parse-cache.json.Ab3dE9", "left by a killed build");
    AtomicFile::write(where.parseCachePath, "garbage");
    EXPECT_EQ(buildFresh().linesAdded, 2);
    EXPECT_EQ(buildFresh().linesAdded, 2);
    EXPECT_FALSE(std::filesystem::exists(old)) << "the cache of an earlier Korvel is not kept";
    EXPECT_FALSE(std::filesystem::exists(stale));
    AtomicFile::write(where.parseCachePath, std::string(8192, '\x07'));
    EXPECT_EQ(buildFresh().linesAdded, 2);
}

TEST_F(StatsBuilderTest, TornGrownAndTouchedFilesAreParsedAgain)
{
    const std::string whole = edit(at("2025-06-15"), 3);
    const std::string a = transcript("a", edit(at("2025-06-15"), 1) + whole.substr(0, whole.size() / 2));
    EXPECT_EQ(build().linesAdded, 1) << "the half-written line is skipped";
    transcript("a", edit(at("2025-06-15"), 1) + whole);
    EXPECT_EQ(build().linesAdded, 4) << "the grown file is parsed again";
    const struct timespec times[2] = {{1'600'000'000, 0}, {1'600'000'000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, a.c_str(), times, 0), 0);
    EXPECT_EQ(build().linesAdded, 4);
    EXPECT_EQ(builder.lastReport().parsed, 1u);
}

TEST_F(StatsBuilderTest, ADifferentZoneMakesEveryDayAgain)
{
    transcript("a", edit("2025-06-14T23:30:00Z", 2));
    EXPECT_EQ(build().until, "2025-06-14");
    ZoneGuard tokyo("Asia/Tokyo");
    const Stats s = build();
    EXPECT_EQ(s.until, "2025-06-15");
    EXPECT_EQ(s.todayLinesAdded, 2) << "the same builder follows the zone";
    EXPECT_EQ(buildFresh(), s);
}

TEST_F(StatsBuilderTest, AResponseRepeatedInAResumedTranscriptCountsOnce)
{
    // The resumed session starts with copies of the first one's lines, then goes on; prompts and edits are not
    // responses and count wherever they are.
    const std::string earlier =
        response("1", at("2025-06-14"), 100, 10) + edit(at("2025-06-14"), 2) + response("2", at("2025-06-14"), 200, 20);
    const std::string first = transcript("p/a-session", earlier);
    transcript("p/b-resumed", earlier + response("3", at("2025-06-15"), 400, 40));
    const auto expectOnce = [&](const Stats& s, int64_t linesAdded) {
        EXPECT_EQ(s.tokensIn, 700);
        EXPECT_EQ(s.tokensOut, 70);
        EXPECT_EQ(s.assistantMessages, 3);
        EXPECT_EQ(s.models.at(0).messages, 3);
        EXPECT_EQ(s.linesAdded, linesAdded);
        EXPECT_EQ(s.weekTokens, 770);
    };
    expectOnce(build(), 4);
    expectOnce(build(), 4);
    expectOnce(buildFresh(), 4);

    // With the first holder gone, the copies count in the next transcript that holds them.
    ASSERT_EQ(unlink(first.c_str()), 0);
    expectOnce(build(), 2);
    expectOnce(buildFresh(), 2);
    // Rewritten without one of them: that one moves over, the other stays.
    transcript("p/a-session", response("1", at("2025-06-14"), 100, 10));
    expectOnce(build(), 2);
    EXPECT_EQ(buildFresh(), build());
}

TEST_F(StatsBuilderTest, ARunningBuilderReadsOnlyWhatChangedAndMatchesAFreshBuild)
{
    StatsBuilder running(StatsBuilder::Options{.watch = true, .saveInterval = 60, .releaseAfter = 300});
    const std::string a = transcript("p/a", response("1", at("2025-06-15"), 10, 1) + edit(at("2025-06-15"), 1));
    transcript("p/b", response("1", at("2025-06-15"), 10, 1) + response("2", at("2025-06-15"), 20, 2));
    EXPECT_EQ(running.build(where, now), buildFresh());

    transcript("p/a", response("1", at("2025-06-15"), 10, 1) + edit(at("2025-06-15"), 1) + edit(at("2025-06-15"), 4));
    now += 5;
    const Stats grown = running.build(where, now);
    EXPECT_EQ(running.lastReport().parsed, 1u) << "only the grown file is read";
    EXPECT_EQ(grown.linesAdded, 5);
    now += 5;
    EXPECT_EQ(running.build(where, now), grown);
    EXPECT_EQ(running.lastReport().parsed, 0u);

    // Quiet for five minutes: the fold of every file is let go; the next change reads it back from the cache.
    now += 301;
    running.build(where, now);
    ASSERT_EQ(unlink(a.c_str()), 0);
    now += 5;
    const Stats afterRelease = running.build(where, now);
    EXPECT_EQ(afterRelease.tokensIn, 30) << "the response repeated in the deleted file now counts in the other";
    running.flush();
    EXPECT_EQ(afterRelease, buildFresh());
}
