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

ParsedLog sampleLog()
{
    ParsedLog log;
    log.base.editedFiles = {"/src/a.ts"};
    log.responseModels = {"claude-sonnet-4-5"};
    log.responseDays = {"2025-06-15"};
    log.responses = {LoggedResponse{42, 0, 0, 10, 20, 30, 40, 25}, LoggedResponse{0, 0, -1, 1, 2, 3, 4}};
    return log;
}

FoldSnapshot sampleSnapshot()
{
    FoldSnapshot snapshot{{7, 9}, {}};
    snapshot.fold.cost = 1.25;
    snapshot.fold.fileDays = {20253, 20254, 20254};
    snapshot.fold.fileDayEnds = {2, 3};
    return snapshot;
}

void execute(const std::string& path, const char* sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
}

class ParseCacheTest : public ::testing::Test
{
protected:
    TempDir dir;
    std::string path = dir.path() + "/parse-cache.db";
    const ParsedLog log = sampleLog();

    const LogNote note{StatsEngine::LogKind::Claude, FileStamp{100.25, 12}, 77, true};

    std::map<std::string, StoredLog> stored()
    {
        std::map<std::string, StoredLog> out;
        auto cache = ParseCache::open(path);
        EXPECT_TRUE(cache);
        if (cache)
            cache->forEachLog([&](std::string p, StoredLog s) { out.emplace(std::move(p), std::move(s)); });
        return out;
    }

    bool write(std::vector<std::string> files)
    {
        ParseCache::Changes changes;
        for (const std::string& file : files)
            changes.written.push_back({file, note, &log});
        changes.snapshot = sampleSnapshot();
        auto cache = ParseCache::open(path);
        return cache && cache->save(changes);
    }
};

} // namespace

// Whole damaged or foreign files are covered through the binary (BusyCacheTest).
TEST_F(ParseCacheTest, ADamagedRecordIsDroppedAlone)
{
    // Paths are bytes: one that is not UTF-8 is kept like any other.
    ASSERT_TRUE(write({"/a.jsonl", "/b\xff.jsonl"}));
    // A record whose bytes were changed is dropped alone.
    execute(path, "UPDATE logs SET record = substr(record, 1, 20) WHERE path = CAST('/a.jsonl' AS BLOB)");
    const auto logs = stored();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs.at("/b\xff.jsonl"), (StoredLog{note, log}));
    EXPECT_EQ(ParseCache::open(path)->snapshot(), sampleSnapshot());
}

TEST_F(ParseCacheTest, OnlyTheOwnerMayReadItOrItsFolder)
{
    const mode_t old = umask(0);
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string savedValue = saved ? saved : "";
    setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
    const std::string folder = DataDirectory::path();
    saved ? setenv("XDG_DATA_HOME", savedValue.c_str(), 1) : unsetenv("XDG_DATA_HOME");
    const auto held = ParseCache::open(path); // keeps the write-ahead log in place
    const bool written = write({"/a.jsonl"});
    umask(old);
    ASSERT_TRUE(written);
    for (const std::string& file : {path, path + "-wal", folder}) {
        struct stat st
        {
        };
        ASSERT_EQ(stat(file.c_str(), &st), 0) << file;
        EXPECT_EQ(st.st_mode & 0777, S_ISDIR(st.st_mode) ? 0700u : 0600u) << file;
    }
    EXPECT_FALSE(ParseCache::open(dir.path() + "/no/such/folder/cache.db")) << "no cache where none can be made";
}

TEST(RecordCodecTest, RecordsAndSnapshotsDecodeOnlyWholeOrderedAndForTheirOwnPath)
{
    const LogNote note{StatsEngine::LogKind::Codex, FileStamp{5, 6}, 0x1234567890abcdefULL, true};
    const std::string bytes = RecordCodec::encode("/a.jsonl", note, sampleLog());
    EXPECT_EQ(RecordCodec::decodeLog("/a.jsonl", bytes), (StoredLog{note, sampleLog()}));
    EXPECT_FALSE(RecordCodec::decodeLog("/b.jsonl", bytes)) << "another file's record";
    for (size_t at = 4; at < bytes.size(); at += 7) {
        std::string flipped = bytes;
        flipped[at] = static_cast<char>(flipped[at] ^ 0x20);
        EXPECT_FALSE(RecordCodec::decodeLog("/a.jsonl", flipped)) << at;
    }

    FoldSnapshot snapshot = sampleSnapshot();
    EXPECT_EQ(RecordCodec::decodeSnapshot(RecordCodec::encode(snapshot)), snapshot);
    snapshot.fold.fileDayEnds = {2, 4};
    EXPECT_FALSE(RecordCodec::decodeSnapshot(RecordCodec::encode(snapshot))) << "past the end";
    snapshot = sampleSnapshot();
    snapshot.fold.fileDays = {20254, 20253, 20254};
    EXPECT_FALSE(RecordCodec::decodeSnapshot(RecordCodec::encode(snapshot))) << "unordered";
}
