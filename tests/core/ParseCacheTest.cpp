#include "core/ParseCache.h"

#include "core/AtomicFile.h"
#include "core/DataDirectory.h"
#include "core/RecordCodec.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

ParsedLog sampleLog(int64_t prompts)
{
    ParsedLog log;
    log.base.prompts = prompts;
    log.base.activeDays = {"2025-06-15"};
    log.base.editedFiles = {"/src/a.ts"};
    log.base.minTs = 1.5;
    log.base.maxTs = 2.5;
    log.responseModels = {"claude-sonnet-4-5"};
    log.responseDays = {"2025-06-15"};
    log.responses = {LoggedResponse{42, 0, 0, 10, 20, 30, 40}, LoggedResponse{0, 0, -1, 1, 2, 3, 4}};
    return log;
}

FoldSnapshot sampleSnapshot()
{
    FoldSnapshot snapshot;
    snapshot.fingerprint = {7, 9};
    snapshot.fold.prompts = 3;
    snapshot.fold.cost = 1.25;
    snapshot.fold.activeDays = {"2025-06-14", "2025-06-15"};
    snapshot.fold.fileDays = {20253, 20254, 20254};
    snapshot.fold.fileDayEnds = {2, 3};
    return snapshot;
}

class ParseCacheTest : public ::testing::Test
{
protected:
    TempDir dir;
    std::string path = dir.path() + "/parse-cache.db";
    const std::string zone = "TZ=UTC";

    std::map<std::string, StoredLog> stored(ParseCache& cache)
    {
        std::map<std::string, StoredLog> out;
        cache.forEachLog([&](std::string p, StoredLog s) { out.emplace(std::move(p), std::move(s)); });
        return out;
    }

    bool write(ParseCache& cache, const std::string& file, const ParsedLog& log,
               std::optional<FoldSnapshot> snapshot = std::nullopt)
    {
        ParseCache::Changes changes;
        changes.written.push_back({file, StatsEngine::LogKind::Claude, FileStamp{100.25, 12}, &log});
        changes.snapshot = std::move(snapshot);
        return cache.save(changes);
    }
};

} // namespace

TEST_F(ParseCacheTest, RecordsAndTheSnapshotSurviveReopening)
{
    const ParsedLog log = sampleLog(3);
    {
        auto cache = ParseCache::open(path, zone);
        ASSERT_TRUE(cache);
        EXPECT_FALSE(cache->snapshot());
        ASSERT_TRUE(write(*cache, "/logs/a b/é.jsonl", log, sampleSnapshot()));
        // Paths are bytes: one that is not UTF-8 is kept like any other.
        ASSERT_TRUE(write(*cache, "/logs/bad\xff.jsonl", log, sampleSnapshot()));
    }
    auto cache = ParseCache::open(path, zone);
    ASSERT_TRUE(cache);
    const auto logs = stored(*cache);
    ASSERT_EQ(logs.size(), 2u);
    EXPECT_EQ(logs.at("/logs/a b/é.jsonl"), (StoredLog{StatsEngine::LogKind::Claude, {100.25, 12}, log}));
    EXPECT_EQ(logs.count("/logs/bad\xff.jsonl"), 1u);
    EXPECT_EQ(cache->snapshot(), sampleSnapshot());

    ParseCache::Changes removal;
    removal.removed = {"/logs/bad\xff.jsonl"};
    ASSERT_TRUE(cache->save(removal));
    EXPECT_EQ(stored(*cache).size(), 1u);
    EXPECT_FALSE(cache->snapshot()) << "a save without a snapshot drops the stored one";
}

TEST_F(ParseCacheTest, DamagedOrForeignFilesAreReplacedByAnEmptyCache)
{
    const auto reopened = [&] {
        auto cache = ParseCache::open(path, zone);
        EXPECT_TRUE(cache);
        return cache ? stored(*cache).size() : 99u;
    };
    AtomicFile::write(path, "garbage that is no database at all, long enough to have a header page");
    EXPECT_EQ(reopened(), 0u);

    // Someone else's database.
    std::filesystem::remove(path);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE logs(path BLOB PRIMARY KEY, record BLOB); INSERT INTO logs VALUES ('x', 'y');",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(reopened(), 0u);

    // A record whose bytes were changed is dropped alone.
    {
        auto cache = ParseCache::open(path, zone);
        const ParsedLog log = sampleLog(1);
        ASSERT_TRUE(write(*cache, "/a.jsonl", log));
        ASSERT_TRUE(write(*cache, "/b.jsonl", log));
    }
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "UPDATE logs SET record = substr(record, 1, 20) WHERE path = CAST('/a.jsonl' AS BLOB)", nullptr,
                 nullptr, nullptr);
    sqlite3_close(db);
    auto cache = ParseCache::open(path, zone);
    const auto logs = stored(*cache);
    EXPECT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs.count("/b.jsonl"), 1u);
}

TEST_F(ParseCacheTest, ACacheMadeInAnotherZoneStartsOver)
{
    {
        auto cache = ParseCache::open(path, "TZ=Asia/Tokyo");
        const ParsedLog log = sampleLog(1);
        ASSERT_TRUE(write(*cache, "/a.jsonl", log, sampleSnapshot()));
    }
    auto same = ParseCache::open(path, "TZ=Asia/Tokyo");
    EXPECT_EQ(stored(*same).size(), 1u);
    same.reset();
    auto elsewhere = ParseCache::open(path, "TZ=America/Denver");
    EXPECT_TRUE(stored(*elsewhere).empty());
    EXPECT_FALSE(elsewhere->snapshot());
}

TEST_F(ParseCacheTest, OnlyTheOwnerMayReadItOrItsFolder)
{
    const mode_t old = umask(0);
    auto cache = ParseCache::open(path, zone);
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string savedValue = saved ? saved : "";
    setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
    const std::string folder = DataDirectory::path();
    saved ? setenv("XDG_DATA_HOME", savedValue.c_str(), 1) : unsetenv("XDG_DATA_HOME");
    umask(old);
    ASSERT_TRUE(cache);
    const ParsedLog log = sampleLog(1);
    ASSERT_TRUE(write(*cache, "/a.jsonl", log));
    for (const std::string& file : {path, path + "-wal", folder}) {
        struct stat st
        {
        };
        ASSERT_EQ(stat(file.c_str(), &st), 0) << file;
        EXPECT_EQ(st.st_mode & 0777, S_ISDIR(st.st_mode) ? 0700u : 0600u) << file;
    }
    EXPECT_FALSE(ParseCache::open(dir.path() + "/no/such/folder/cache.db", zone)) << "no cache where none can be made";
}

TEST(RecordCodecTest, RecordsDecodeOnlyWholeAndForTheirOwnPath)
{
    const std::string bytes =
        RecordCodec::encode("/a.jsonl", StatsEngine::LogKind::Codex, FileStamp{5, 6}, sampleLog(2));
    const auto decoded = RecordCodec::decodeLog("/a.jsonl", bytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, (StoredLog{StatsEngine::LogKind::Codex, {5, 6}, sampleLog(2)}));
    EXPECT_FALSE(RecordCodec::decodeLog("/b.jsonl", bytes)) << "another file's record";
    for (size_t cut : {size_t{0}, size_t{4}, bytes.size() / 2, bytes.size() - 1})
        EXPECT_FALSE(RecordCodec::decodeLog("/a.jsonl", bytes.substr(0, cut))) << cut;
    for (size_t at = 4; at < bytes.size(); at += 7) {
        std::string flipped = bytes;
        flipped[at] = static_cast<char>(flipped[at] ^ 0x20);
        EXPECT_FALSE(RecordCodec::decodeLog("/a.jsonl", flipped)) << at;
    }
}

TEST(RecordCodecTest, SnapshotsRoundTripAndRefuseUnorderedDays)
{
    FoldSnapshot snapshot = sampleSnapshot();
    EXPECT_EQ(RecordCodec::decodeSnapshot(RecordCodec::encode(snapshot)), snapshot);
    snapshot.fold.fileDayEnds = {2, 4};
    EXPECT_FALSE(RecordCodec::decodeSnapshot(RecordCodec::encode(snapshot))) << "past the end";
    snapshot.fold.fileDays = {20254, 20253, 20254};
    snapshot.fold.fileDayEnds = {2, 3};
    EXPECT_FALSE(RecordCodec::decodeSnapshot(RecordCodec::encode(snapshot))) << "unordered";
}
