#include "core/ClaudeReader.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(FindLogFilesTest, ListsJsonlEntriesAtAnyDepthSkippingHiddenOnesLinkedFoldersAndUnreadableOnes)
{
    TempDir dir;
    const std::string root = dir.mkdir("projects");
    for (const char* file : {"p1/a.jsonl", "p1/deep/er/b.jsonl", "p1/c.json", "p1/.e.jsonl", ".hidden/f.jsonl",
                             "p2/folder.jsonl/g.jsonl", "closed/h.jsonl"})
        dir.write(std::string("projects/") + file, "");
    dir.write("elsewhere/x.jsonl", "");
    ASSERT_EQ(symlink(root.c_str(), (root + "/p1/loop").c_str()), 0);
    ASSERT_EQ(symlink((dir.path() + "/elsewhere").c_str(), (root + "/linked").c_str()), 0);
    ASSERT_EQ(symlink((dir.path() + "/elsewhere/x.jsonl").c_str(), (root + "/link.jsonl").c_str()), 0);
    ASSERT_EQ(chmod((root + "/closed").c_str(), 0), 0);
    auto found = StatsEngine::findLogFiles(root);
    std::sort(found.begin(), found.end());
    std::vector<std::string> expected{root + "/link.jsonl", root + "/p1/a.jsonl", root + "/p1/deep/er/b.jsonl",
                                      root + "/p2/folder.jsonl", root + "/p2/folder.jsonl/g.jsonl"};
    if (geteuid() == 0) // root reads every folder
        expected.insert(expected.begin(), root + "/closed/h.jsonl");
    EXPECT_EQ(found, expected);
    for (const std::string& nothing : {dir.path() + "/nope", dir.write("file.jsonl", ""), std::string()})
        EXPECT_TRUE(StatsEngine::findLogFiles(nothing).empty()) << nothing;

    char* cwd = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    const auto relative = StatsEngine::findLogFiles("projects/p1/deep");
    ASSERT_EQ(chdir(cwd), 0);
    free(cwd);
    EXPECT_EQ(relative, (std::vector<std::string>{root + "/p1/deep/er/b.jsonl"})) << "relative roots are made absolute";
}
