#include "core/AtomicFile.h"
#include "tests/core/BuildHome.h"
#include "tests/core/TranscriptLines.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace TranscriptLines;

namespace {

const std::string kToday = at("2025-06-15");

// A response Claude Code wrote with message and request ids, so that its copies are recognised.
std::string response(std::string_view id, std::string_view ts, double in, double out)
{
    return reply(ts, "claude-sonnet-4-5", in, out, "msg_" + std::string(id), "req_" + std::string(id));
}

class StatsBuilderTest : public BuildHome
{
protected:
    StatsBuilder builder;

    Stats build() { return builder.build(where, now); }
};

} // namespace

TEST_F(StatsBuilderTest, StreaksAndTheSpanFollowTheCalendar)
{
    EXPECT_EQ(build().streakLongest + build().logFiles, 0) << "no logs";
    const std::pair<std::vector<const char*>, std::pair<int64_t, int64_t>> cases[] = {
        {{"2025-06-13", "2025-06-14", "2025-06-15"}, {3, 3}},
        {{"2025-06-13"}, {0, 1}},
        {{"2025-06-01", "2025-06-02", "2025-06-03", "2025-06-05", "2025-06-14"}, {1, 3}},
    };
    for (const auto& [days, streaks] : cases) {
        std::string content;
        for (const char* day : days)
            content += edit(at(day), 1);
        transcript("t", content);
        const Stats s = fresh();
        EXPECT_EQ(std::pair(s.streakCurrent, s.streakLongest), streaks) << days.size();
    }
    // The span is elapsed time rounded to days: 13 hours make one, not zero.
    transcript("t", edit("2025-06-01T08:00:00Z", 1) + edit("2025-06-01T21:00:00Z", 1));
    EXPECT_EQ(fresh().daysSpan, 2);

    // Just after midnight on the first day of summer time, 24 hours earlier was still two days back.
    ZoneGuard newYork("America/New_York");
    now = *TimeKit::epoch("2025-03-10T00:30:00-04:00");
    transcript("t", edit("2025-03-09T12:00:00-04:00", 1) + edit("2025-03-10T00:10:00-04:00", 1));
    EXPECT_EQ(build().streakCurrent, 2);
}

TEST_F(StatsBuilderTest, TodayTheWeekAndTheModelsSumOverBothRoots)
{
    transcript("today", edit(kToday, 5) + reply(kToday, "claude-sonnet-4-5", 1e6, 1e6, "", "", 1e6, 1e6));
    transcript("six-ago", edit(at("2025-06-09"), 7, "/x") + reply(at("2025-06-09"), "claude-opus-4-6", 1e6, 1e6) +
                              reply(at("2025-06-09"), "claude-haiku-4-5", 10, 10));
    transcript("seven-ago", edit(at("2025-06-08"), 11) + reply(at("2025-06-08"), "claude-haiku-4-5", 10, 10));
    rollout("sessions/2025/rollout-1.jsonl",
            R"({"timestamp":"2025-06-14T10:00:00Z","payload":{"type":"message","role":"user"}})"
            "\n");
    const Stats s = build();
    EXPECT_EQ(std::pair(s.todayLinesAdded, s.todayTokens), std::pair(int64_t{5}, 2e6));
    EXPECT_NEAR(s.todayCost, 22.05, 1e-12) << "cache tokens priced from the input rate";
    EXPECT_EQ(std::tuple(s.weekLinesAdded, s.weekSessions, s.sessions, s.linesAdded), std::tuple(12, 3, 4, 23));
    ASSERT_EQ(s.models.size(), 3u);
    EXPECT_EQ(s.models[0].model, "claude-opus-4-6") << "sorted by cost";
    EXPECT_EQ(std::pair(s.models[2].messages, s.models[2].tokensIn), std::pair(int64_t{2}, 20.0));
    EXPECT_EQ(s.topModel, "Opus 4.6");
    EXPECT_EQ(std::tuple(s.filesEdited, s.logFiles, s.prompts, s.activeDays), std::tuple(2, 4, 1, 4));
}

TEST_F(StatsBuilderTest, TheCacheFollowsTheTreeAndIsWrittenOnlyWhenSomethingChanged)
{
    const std::string whole = edit(kToday, 3);
    const std::string a = transcript("a", edit(kToday, 1) + whole.substr(0, whole.size() / 2));
    transcript("b", edit(kToday, 3));
    EXPECT_EQ(build().linesAdded, 4) << "the half-written line is skipped";
    const auto modified = [&] { return std::filesystem::last_write_time(where.parseCachePath); };
    const auto first = modified();
    StatsBuilder fresh;
    EXPECT_EQ(fresh.build(where, now).linesAdded, 4);
    EXPECT_EQ(fresh.lastReport().parsed, 0u) << "a new builder reads nothing of an unchanged tree";
    EXPECT_EQ(modified(), first) << "and writes nothing";

    transcript("a", edit(kToday, 1) + whole);
    EXPECT_EQ(build().linesAdded, 7) << "the grown file is parsed again";
    const struct timespec times[2] = {{1'600'000'000, 0}, {1'600'000'000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, a.c_str(), times, 0), 0);
    EXPECT_EQ(build().linesAdded, 7);
    EXPECT_EQ(builder.lastReport().parsed, 1u) << "a touched file too";
    ASSERT_EQ(unlink(a.c_str()), 0);
    EXPECT_EQ(build().linesAdded, 7) << "a deleted log keeps counting";
    where.keepDeletedLogs = false;
    EXPECT_EQ(build().linesAdded, 3) << "unless deleted logs are let go";
}

TEST_F(StatsBuilderTest, AFileThatCannotBeReadIsNotCachedAndIsTriedAgain)
{
    transcript("b", edit(kToday, 3));
    ASSERT_EQ(mkfifo((dir.path() + "/claude/projects/pipe.jsonl").c_str(), 0600), 0) << "must not block the build";
    // A log that vanished between listing and reading, or cannot be opened, stands for any failed read.
    const std::string link = dir.path() + "/claude/projects/a.jsonl";
    ASSERT_EQ(symlink((dir.path() + "/later.jsonl").c_str(), link.c_str()), 0);
    for (const char* when : {"first", "again, though nothing changed"}) {
        EXPECT_EQ(build().linesAdded, 3) << when;
        EXPECT_EQ(builder.lastReport().unreadable, std::vector<std::string>{link}) << when;
    }
    dir.write("later.jsonl", edit(kToday, 1));
    EXPECT_EQ(build().linesAdded, 4);
}

TEST_F(StatsBuilderTest, BrokenCachesOldCacheFilesStaleTemporariesAndAnotherZoneStartOver)
{
    transcript("a", edit("2025-06-14T23:30:00Z", 2));
    const std::string old = dir.path() + "/parse-cache.json";
    AtomicFile::write(old, R"({"version":1,"entries":{}})");
    const std::string stale = dir.write("parse-cache.json.Ab3dE9", "left by a killed build");
    AtomicFile::write(where.parseCachePath, "garbage");
    EXPECT_EQ(fresh().linesAdded, 2);
    EXPECT_EQ(fresh().linesAdded, 2);
    EXPECT_FALSE(std::filesystem::exists(old)) << "the cache of an earlier Korvel is not kept";
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_EQ(build().until, "2025-06-14");

    ZoneGuard tokyo("Asia/Tokyo");
    const Stats s = build();
    EXPECT_EQ(s.todayLinesAdded, 2) << "the same builder follows the zone";
    EXPECT_EQ(fresh(), s);
}

TEST_F(StatsBuilderTest, AResponseRepeatedInAResumedTranscriptCountsOnce)
{
    // The resumed session starts with copies of the first one's lines; edits are not responses and count twice.
    const std::string earlier =
        response("1", at("2025-06-14"), 100, 10) + edit(at("2025-06-14"), 2) + response("2", at("2025-06-14"), 200, 20);
    const std::string first = transcript("p/a-session", earlier);
    transcript("p/b-resumed", earlier + response("3", kToday, 400, 40));
    const auto expectOnce = [&](const Stats& s, int64_t linesAdded, const char* when) {
        EXPECT_EQ(std::tuple(s.tokensIn, s.tokensOut, s.weekTokens), std::tuple(700.0, 70.0, 770.0)) << when;
        EXPECT_EQ(std::pair(s.assistantMessages, s.models.at(0).messages), std::pair(int64_t{3}, int64_t{3})) << when;
        EXPECT_EQ(s.linesAdded, linesAdded) << when;
    };
    expectOnce(build(), 4, "cold");
    expectOnce(fresh(), 4, "warm");
    ASSERT_EQ(unlink(first.c_str()), 0);
    expectOnce(build(), 4, "first holder deleted: it still holds them");
    // With deleted logs let go, the copies count in the next transcript that holds them.
    where.keepDeletedLogs = false;
    expectOnce(build(), 2, "first holder let go");
    // Rewritten without one of them: that one moves over, the other stays.
    transcript("p/a-session", response("1", at("2025-06-14"), 100, 10));
    expectOnce(build(), 2, "first holder rewritten");
    EXPECT_EQ(fresh(), build());
}

TEST_F(StatsBuilderTest, ARunningBuilderReadsOnlyWhatChangedAndMatchesAFreshBuild)
{
    StatsBuilder running(StatsBuilder::Options{.watch = true, .saveInterval = 60, .releaseAfter = 300});
    const std::string a = transcript("p/a", response("1", kToday, 10, 1) + edit(kToday, 1));
    transcript("p/b", response("1", kToday, 10, 1) + response("2", kToday, 20, 2));
    EXPECT_EQ(running.build(where, now), fresh());

    transcript("p/a", response("1", kToday, 10, 1) + edit(kToday, 1) + edit(kToday, 4));
    const Stats grown = running.build(where, now += 5);
    EXPECT_EQ(running.lastReport().parsed, 1u) << "only the grown file is read";
    EXPECT_EQ(grown.linesAdded, 5);
    EXPECT_EQ(running.build(where, now += 5), grown);
    EXPECT_EQ(running.lastReport().parsed, 0u);

    // Quiet for five minutes: the fold of every file is let go; the next change reads it back from the cache.
    running.build(where, now += 301);
    ASSERT_EQ(unlink(a.c_str()), 0);
    const Stats afterRelease = running.build(where, now += 5);
    EXPECT_EQ(afterRelease.tokensIn, 30) << "the response repeated in the deleted file now counts in the other";
    running.flush();
    EXPECT_EQ(afterRelease, fresh());
}
