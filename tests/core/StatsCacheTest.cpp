#include "core/StatsCache.h"

#include "core/AtomicFile.h"
#include "core/Score.h"
#include "tests/support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

Stats emptyStats()
{
    Stats s;
    s.percentile = 99;
    s.badges = Score::badgesFor(0, 0, s.byHour, 0, 0, 0, 0);
    return s;
}

Stats fullStats()
{
    Stats s = emptyStats();
    s.since = "2025-01-01";
    s.daysSpan = 60;
    s.cost = 0.1 + 0.2;
    s.codedToday = true;
    s.byHour[7] = 3;
    s.models.push_back({"claude-opus-4-6", "Opus 4.6", 4, 1, 2, 3, 4, 5.5});
    s.topModel = "Opus 4.6";
    s.badges[0].earned = true;
    return s;
}

std::string replaced(std::string text, std::string_view what, std::string_view by)
{
    const auto pos = text.find(what);
    EXPECT_NE(pos, std::string::npos) << what;
    return pos == std::string::npos ? text : text.replace(pos, what.size(), by);
}

} // namespace

TEST(StatsCacheTest, RecordsRoundTripDecodingRefusesWrongTypesAndAFailedSaveLeavesTheOldRecord)
{
    EXPECT_EQ(StatsCache::decode(*StatsCache::encode(emptyStats())), emptyStats());
    const std::string json = *StatsCache::encode(fullStats());
    EXPECT_EQ(StatsCache::decode(json), fullStats());
    const std::pair<const char*, const char*> refused[] = {
        {R"("codedToday":true)", R"("codedToday":1)"}, {R"("daysSpan":60)", R"("daysSpan":60.5)"},
        {R"("byHour":[0,)", R"("byHour":[)"},          {R"("name":"Opus 4.6",)", ""},
        {R"("since":"2025-01-01")", R"("since":5)"},
    };
    for (const auto& [what, by] : refused)
        EXPECT_FALSE(StatsCache::decode(replaced(json, what, by))) << by;
    EXPECT_FALSE(StatsCache::decode(replaced(json, R"("since":"2025-01-01")", R"("since":null)")).value().since);
    EXPECT_EQ(StatsCache::decode(replaced(json, "{", R"({"futureKey":[1,{"a":2}],)")), fullStats());

    TempDir dir;
    const std::string path = dir.path() + "/stats-cache.json";
    ASSERT_TRUE(StatsCache::save(fullStats(), path));
    ASSERT_TRUE(StatsCache::save(emptyStats(), path));
    Stats broken = fullStats();
    broken.cost = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(StatsCache::save(broken, path));
    EXPECT_EQ(StatsCache::load(path), emptyStats());

    AtomicFile::write(path, "{\"since\":");
    EXPECT_FALSE(StatsCache::load(path).has_value());
    EXPECT_FALSE(StatsCache::load(dir.path() + "/none.json").has_value());
}

TEST(StatsCacheTest, AnOversizedCacheIsDamagedAndNotRead)
{
    TempDir dir;
    const std::string path = dir.path() + "/stats-cache.json";
    ASSERT_TRUE(StatsCache::save(fullStats(), path));
    ASSERT_TRUE(StatsCache::load(path));
    // Still a valid record, behind more white space than any record has: refused unread.
    const std::string record = *AtomicFile::read(path);
    ASSERT_TRUE(AtomicFile::write(path, record + std::string((size_t{1} << 20) - record.size() + 1, ' ')));
    EXPECT_FALSE(StatsCache::load(path));

    // A gigabyte, sparse so that making it costs nothing: loading it costs no memory either.
    const int fd = open(path.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t{1} << 30), 0);
    close(fd);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    EXPECT_FALSE(StatsCache::load(path));
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 16 * 1024) << "KiB of peak memory for a 1 GB cache";
}
