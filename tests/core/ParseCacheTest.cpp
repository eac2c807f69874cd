#include "core/ParseCache.h"

#include "core/AtomicFile.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZoneGuard.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kPrompt[] = R"({"type":"last-prompt","timestamp":"2025-03-14T10:00:00Z"})"
                           "\n";

void setMtime(const std::string& path, time_t seconds)
{
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

class ParseCacheTest : public ::testing::Test
{
protected:
    TempDir dir;
    ParseScratch scratch;
    std::string cachePath = dir.path() + "/parse-cache.json";

    FileContribution get(const std::string& path, ParseCache& cache, bool& dirty,
                         StatsEngine::LogKind kind = StatsEngine::LogKind::Claude)
    {
        return StatsEngine::loadOrParse(path, kind, cache, dirty, scratch);
    }
};

} // namespace

TEST_F(ParseCacheTest, HitsNeedTheSameModificationTimeAndSize)
{
    const std::string log = dir.write("a.jsonl", kPrompt);
    ParseCache cache;
    bool dirty = false;
    EXPECT_EQ(get(log, cache, dirty).prompts, 1);
    EXPECT_TRUE(dirty);
    ASSERT_EQ(cache.entries.count(log), 1u);

    // A stored result is returned as long as the stamp matches, even if the bytes differ.
    cache.entries[log].contribution.prompts = 42;
    dirty = false;
    EXPECT_EQ(get(log, cache, dirty).prompts, 42);
    EXPECT_FALSE(dirty);

    setMtime(log, 1000000000);
    EXPECT_EQ(get(log, cache, dirty).prompts, 1) << "a touched file is parsed again";
    EXPECT_TRUE(dirty);
    EXPECT_EQ(cache.entries[log].mtime, 1000000000.0);

    dir.write("a.jsonl", std::string(kPrompt) + kPrompt);
    setMtime(log, 1000000000);
    dirty = false;
    EXPECT_EQ(get(log, cache, dirty).prompts, 2) << "a grown file is parsed again";
    EXPECT_TRUE(dirty);
}

TEST_F(ParseCacheTest, FilesWithoutAStampAreParsedButNotCached)
{
    ParseCache cache;
    bool dirty = false;
    EXPECT_EQ(get(dir.path() + "/vanished.jsonl", cache, dirty), FileContribution{});
    EXPECT_FALSE(dirty);
    EXPECT_TRUE(cache.entries.empty());
}

TEST_F(ParseCacheTest, UnreadableFilesAreCachedEmpty)
{
    const std::string folder = dir.mkdir("folder.jsonl");
    ParseCache cache;
    bool dirty = false;
    EXPECT_EQ(get(folder, cache, dirty), FileContribution{});
    EXPECT_TRUE(dirty);
    EXPECT_EQ(cache.entries.count(folder), 1u);
}

TEST_F(ParseCacheTest, EachKindUsesItsOwnReader)
{
    const std::string log = dir.write("rollout-x.jsonl", R"({"payload":{"type":"message","role":"user"}})");
    ParseCache cache;
    bool dirty = false;
    EXPECT_EQ(get(log, cache, dirty, StatsEngine::LogKind::Codex).prompts, 1);
    ParseCache other;
    EXPECT_EQ(get(log, other, dirty, StatsEngine::LogKind::Claude).prompts, 0);
}

TEST_F(ParseCacheTest, SaveAndLoadRoundTrip)
{
    ParseCache cache;
    bool dirty = false;
    get(dir.write("a.jsonl", kPrompt), cache, dirty);
    get(dir.write("b c/é.jsonl", kPrompt), cache, dirty);
    ASSERT_TRUE(ParseCache::save(cache, cachePath));
    const ParseCache loaded = ParseCache::load(cachePath);
    EXPECT_EQ(loaded.version, 1);
    EXPECT_EQ(loaded.entries, cache.entries);
}

TEST_F(ParseCacheTest, BrokenOrForeignCachesLoadEmpty)
{
    ParseCache cache;
    bool dirty = false;
    get(dir.write("a.jsonl", kPrompt), cache, dirty);
    const std::string good = *ParseCache::encode(cache);

    const std::string broken[] = {
        "",
        "garbage",
        good.substr(0, good.size() - 3),
        std::string(R"({"version":2,)") + good.substr(good.find("\"entries\"")),
        std::string(R"({"version":"1",)") + good.substr(good.find("\"entries\"")),
        R"({"version":1})",
        R"({"version":1,"entries":[]})",
        R"({"version":1,"entries":{"/x":{"mtime":1,"size":2}}})",
        R"({"version":1,"entries":{"/x":{"mtime":"1","size":2,"contribution":{}}}})",
    };
    for (const auto& text : broken) {
        AtomicFile::write(cachePath, text);
        const ParseCache loaded = ParseCache::load(cachePath);
        EXPECT_TRUE(loaded.entries.empty()) << text;
        EXPECT_EQ(loaded.version, 1);
    }
    AtomicFile::write(cachePath, good);
    EXPECT_EQ(ParseCache::load(cachePath).entries.size(), 1u);
    EXPECT_TRUE(ParseCache::load(dir.path() + "/missing.json").entries.empty());
}

TEST_F(ParseCacheTest, PruneDropsUnseenPaths)
{
    ParseCache cache;
    cache.entries["/a"] = {};
    cache.entries["/b"] = {};
    EXPECT_EQ(cache.prune({"/a", "/c"}), 1u);
    EXPECT_EQ(cache.entries.count("/a"), 1u);
    EXPECT_EQ(cache.prune({"/a"}), 0u);
}

TEST_F(ParseCacheTest, AFailedSaveLeavesTheOldFileWhole)
{
    ParseCache cache;
    cache.entries["/a"] = {};
    ASSERT_TRUE(ParseCache::save(cache, cachePath));
    const auto before = AtomicFile::read(cachePath);

    ParseCache unencodable;
    unencodable.entries["/b"].contribution.cost = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(ParseCache::save(unencodable, cachePath));
    EXPECT_EQ(AtomicFile::read(cachePath), before);

    if (geteuid() != 0) {
        chmod(dir.path().c_str(), 0500);
        EXPECT_FALSE(ParseCache::save(cache, cachePath));
        chmod(dir.path().c_str(), 0700);
        EXPECT_EQ(AtomicFile::read(cachePath), before);
    }
    ASSERT_FALSE(ParseCache::save(cache, dir.path() + "/no/such/folder/cache.json"));
    // No temporary files are left behind.
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST_F(ParseCacheTest, PathsThatAreNotUtf8AreLeftOutSoTheFileStaysValid)
{
    ParseCache cache;
    cache.entries["/ok"] = {};
    cache.entries["/bad\xff"] = {};
    ASSERT_TRUE(ParseCache::save(cache, cachePath));
    const ParseCache loaded = ParseCache::load(cachePath);
    EXPECT_EQ(loaded.entries.size(), 1u);
    EXPECT_EQ(loaded.entries.count("/ok"), 1u);
}

TEST_F(ParseCacheTest, UrlLivesInTheDataDirectory)
{
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_DATA_HOME", (dir.path() + "/data").c_str(), 1);
    const std::string url = ParseCache::url();
    if (saved.empty())
        unsetenv("XDG_DATA_HOME");
    else
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    EXPECT_EQ(url, dir.path() + "/data/Korvel/parse-cache.json");
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() + "/data/Korvel"));
}

TEST_F(ParseCacheTest, ACacheMadeInAnotherTimeZoneIsNotUsed)
{
    ParseCache cache;
    {
        ZoneGuard zone("Asia/Tokyo");
        cache = ParseCache::load(cachePath);
        cache.entries["/a"] = {};
        ASSERT_TRUE(ParseCache::save(cache, cachePath));
        EXPECT_EQ(ParseCache::load(cachePath).entries.size(), 1u);
    }
    {
        ZoneGuard zone("America/Denver");
        const ParseCache elsewhere = ParseCache::load(cachePath);
        EXPECT_TRUE(elsewhere.entries.empty());
        EXPECT_EQ(elsewhere.zone, "TZ=America/Denver");
    }
    // A cache written before zones were recorded is treated as another zone's.
    AtomicFile::write(cachePath, R"({"version":1,"entries":{"/a":)" + std::string("null}}"));
    EXPECT_TRUE(ParseCache::load(cachePath).entries.empty());
}
