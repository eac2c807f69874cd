#include "core/LogListing.h"

#include "tests/support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class LogListingTest : public ::testing::Test
{
protected:
    TempDir dir;
    std::string claude = dir.mkdir("claude");
    std::string codex = dir.mkdir("codex");
    std::string archive = dir.mkdir("archive");
    LogListing listing;
    double now = 1000;

    LogListing::Delta refresh(bool watch = true)
    {
        LogLocations where;
        where.claudeRoot = claude;
        where.codexSessions = codex;
        where.codexArchive = archive;
        return listing.refresh(where, watch, now += 1);
    }

    std::vector<std::string> paths() const
    {
        std::vector<std::string> out;
        for (const auto& [path, listed] : listing.files())
            out.push_back(path.substr(dir.path().size()));
        return out;
    }
};

} // namespace

TEST_F(LogListingTest, FileEventsKeepTheListingCurrentWithoutListingAgain)
{
    dir.write("claude/p/a.jsonl", "{}\n");
    dir.write("codex/2025/rollout-1.jsonl", "{}\n");
    dir.write("codex/2025/other.jsonl", "{}\n");
    EXPECT_TRUE(refresh().everything);

    std::ofstream(claude + "/p/a.jsonl", std::ios::app) << "{}\n";
    EXPECT_EQ(refresh().paths, std::vector<std::string>{claude + "/p/a.jsonl"}) << "only the grown log";

    // A new folder with a log in it, a log renamed away, a hidden one that does not count.
    dir.write("claude/q/r/b.jsonl", "{}\n");
    ASSERT_EQ(rename((claude + "/p/a.jsonl").c_str(), (claude + "/p/a.txt").c_str()), 0);
    dir.write("claude/p/.hidden.jsonl", "{}\n");
    refresh();
    EXPECT_EQ(paths(), (std::vector<std::string>{"/claude/q/r/b.jsonl", "/codex/2025/rollout-1.jsonl"}));
    // A log in the folder created above is seen too: the new folder is watched.
    dir.write("claude/q/r/c.jsonl", "{}\n");
    EXPECT_EQ(refresh().paths, std::vector<std::string>{claude + "/q/r/c.jsonl"});
    std::filesystem::remove_all(claude + "/q");
    refresh();
    EXPECT_EQ(paths(), std::vector<std::string>{"/codex/2025/rollout-1.jsonl"});
}

TEST_F(LogListingTest, MissingRootsUnwatchedRefreshesAndOldListingsAreListedAgain)
{
    std::filesystem::remove_all(codex);
    refresh();
    dir.write("codex/rollout-2.jsonl", "{}\n");
    EXPECT_TRUE(refresh().everything) << "a missing root is picked up when it appears";
    EXPECT_EQ(paths(), std::vector<std::string>{"/codex/rollout-2.jsonl"});
    EXPECT_TRUE(refresh(false).everything) << "unwatched, every refresh lists everything";
    refresh();
    now += LogListing::kFullListingEvery;
    EXPECT_TRUE(refresh().everything) << "and so does a refresh long after the last listing";
}

TEST_F(LogListingTest, CompressedAndArchivedRolloutsAreListedAndFollowed)
{
    dir.write("codex/2025/rollout-1.jsonl.zst", "");
    dir.write("codex/2025/rollout-2.json.zst", "");
    dir.write("codex/2025/.rollout-3.jsonl.zst", "");
    dir.write("archive/rollout-4.jsonl", "");
    refresh();
    EXPECT_EQ(paths(), (std::vector<std::string>{"/archive/rollout-4.jsonl", "/codex/2025/rollout-1.jsonl.zst"}));
    // Codex archiving a rollout: it leaves the live folder and appears in the archive.
    ASSERT_EQ(rename((codex + "/2025/rollout-1.jsonl.zst").c_str(), (archive + "/rollout-1.jsonl.zst").c_str()), 0);
    EXPECT_FALSE(refresh().everything) << "the archive is watched like the live folder";
    EXPECT_EQ(paths(), (std::vector<std::string>{"/archive/rollout-1.jsonl.zst", "/archive/rollout-4.jsonl"}));
    EXPECT_TRUE(listing.archived(archive + "/rollout-4.jsonl"));
    EXPECT_FALSE(listing.archived(codex + "/2025/rollout-1.jsonl.zst"));
}
