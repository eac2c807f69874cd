#include "core/ClaudeReader.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::vector<std::string> sorted(std::vector<std::string> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

} // namespace

TEST(FindLogFilesTest, ListsJsonlEntriesAtAnyDepthSkippingHiddenOnes)
{
    TempDir dir;
    const std::string root = dir.mkdir("projects");
    for (const char* file : {"p1/a.jsonl", "p1/deep/er/b.jsonl", "p1/c.json", "p1/d.jsonl.bak", "p1/.e.jsonl",
                             ".hidden/f.jsonl", "p2/folder.jsonl/g.jsonl"})
        dir.write(std::string("projects/") + file, "");
    EXPECT_EQ(sorted(StatsEngine::findLogFiles(root)),
              (std::vector<std::string>{root + "/p1/a.jsonl", root + "/p1/deep/er/b.jsonl", root + "/p2/folder.jsonl",
                                        root + "/p2/folder.jsonl/g.jsonl"}));
    for (const std::string& nothing :
         {dir.path() + "/nope", dir.mkdir("empty"), dir.write("file.jsonl", ""), std::string()})
        EXPECT_TRUE(StatsEngine::findLogFiles(nothing).empty()) << nothing;

    char* cwd = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    const auto relative = StatsEngine::findLogFiles("projects/p1/deep");
    ASSERT_EQ(chdir(cwd), 0);
    free(cwd);
    EXPECT_EQ(relative, (std::vector<std::string>{root + "/p1/deep/er/b.jsonl"})) << "relative roots are made absolute";
}

TEST(FindLogFilesTest, LinkedFoldersAreNotFollowed)
{
    TempDir dir;
    const std::string root = dir.mkdir("projects");
    dir.write("elsewhere/x.jsonl", "");
    dir.write("projects/p/a.jsonl", "");
    ASSERT_EQ(symlink(root.c_str(), (root + "/p/loop").c_str()), 0);
    ASSERT_EQ(symlink((dir.path() + "/elsewhere").c_str(), (root + "/linked").c_str()), 0);
    ASSERT_EQ(symlink((dir.path() + "/elsewhere/x.jsonl").c_str(), (root + "/link.jsonl").c_str()), 0);
    EXPECT_EQ(sorted(StatsEngine::findLogFiles(root)),
              (std::vector<std::string>{root + "/link.jsonl", root + "/p/a.jsonl"}));
}

TEST(FindLogFilesTest, UnreadableFoldersArePassedOver)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every folder";
    TempDir dir;
    const std::string root = dir.mkdir("projects");
    dir.write("projects/open/a.jsonl", "");
    dir.write("projects/closed/b.jsonl", "");
    chmod((root + "/closed").c_str(), 0);
    EXPECT_EQ(StatsEngine::findLogFiles(root), (std::vector<std::string>{root + "/open/a.jsonl"}));
}
