// A new process after a few changes reads only what changed and what shares responses or a rollout with it, and
// ends with exactly the figures of a build that reads everything.

#include "tests/core/BuildHome.h"
#include "tests/core/TranscriptLines.h"
#include "tests/support/Zstd.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

using namespace TranscriptLines;

namespace {

std::string rolloutText(int added)
{
    const std::string ts = at("2025-06-14");
    return R"({"timestamp":")" + ts +
           R"(","payload":{"type":"custom_tool_call","name":"apply_patch","input":"+a\n+b"}})" + "\n" +
           R"({"timestamp":")" + ts +
           R"(","payload":{"type":"token_count","info":{"total_token_usage":{"input_tokens":)" +
           std::to_string(1000 * added) + R"(,"cached_input_tokens":0,"output_tokens":50}}}})" + "\n";
}

class LedgerStateTest : public BuildHome
{
protected:
    std::string shared = reply(at("2025-06-13"), "claude-opus-4-6", 100, 10, "m1", "r1");
    std::string a, b;

    void SetUp() override
    {
        a = transcript("p/a", edit(at("2025-06-13"), 3) + shared);
        // b resumes a: it starts with a copy of a's response, which counts in a.
        b = transcript("p/b", shared + reply(at("2025-06-14"), "claude-opus-4-6", 200, 20, "m2", "r2"));
        for (int i = 0; i < 6; ++i)
            transcript("q/s" + std::to_string(i), edit(at("2025-06-1" + std::to_string(i)), i + 1) +
                                                      reply(at("2025-06-14"), "claude-sonnet-4-5", 50, 5,
                                                            "n" + std::to_string(i), "x" + std::to_string(i)));
        rollout("sessions/2025/06/14/rollout-1.jsonl", rolloutText(1));
        fresh();
    }

    // A new process's build, checked against one that reads every record (of a copy of the cache: deleted logs
    // count only there); the records it read.
    size_t newProcessReads(const std::string& what)
    {
        LogLocations copy = where;
        copy.parseCachePath = dir.path() + "/copy-" + std::to_string(++m_copies) + ".db";
        std::filesystem::copy_file(where.parseCachePath, copy.parseCachePath);
        StatsBuilder builder;
        const Stats stats = builder.build(where, now);
        // A builder that saves now and then never takes the shortcut.
        StatsBuilder whole(StatsBuilder::Options{.saveInterval = 60});
        EXPECT_EQ(stats, whole.build(copy, now)) << what;
        EXPECT_GT(whole.lastReport().recordsRead, 8u) << what << ": the reference read every record";
        EXPECT_EQ(*builder.fold(), *whole.fold()) << what << ": every day's figures";
        EXPECT_EQ(fresh(), stats) << what << ": and the next process, from the snapshot";
        return builder.lastReport().recordsRead;
    }

    void append(const std::string& path, const std::string& lines)
    {
        dir.write(path.substr(dir.path().size() + 1), readAll(path) + lines);
    }

private:
    static std::string readAll(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    int m_copies = 0;
};

} // namespace

TEST_F(LedgerStateTest, ANewProcessReadsWhatChangedAndWhatSharesResponsesWithIt)
{
    append(dir.path() + "/claude/projects/q/s2.jsonl", edit(at("2025-06-15"), 9));
    EXPECT_EQ(newProcessReads("one transcript grew"), 1u);

    append(b, reply(at("2025-06-15"), "claude-opus-4-6", 300, 30, "m3", "r3"));
    EXPECT_EQ(newProcessReads("the resumed transcript grew"), 2u) << "and the one it shares a response with";

    std::filesystem::remove(a);
    EXPECT_EQ(newProcessReads("the first transcript was deleted"), 2u) << "it keeps counting; b still defers to it";

    transcript("p/c", shared + edit(at("2025-06-15"), 1));
    EXPECT_EQ(newProcessReads("a new transcript repeats a kept response"), 2u) << "the two that hold it";

    transcript("r/d", reply(at("2025-06-15"), "claude-sonnet-4-5", 50, 5, "n4", "x4"));
    EXPECT_GT(newProcessReads("a new transcript repeats a response held elsewhere"), 8u) << "every record is read";
}

TEST_F(LedgerStateTest, ACopyOfARolloutIsWeighedAgainstItsRivals)
{
    const std::string plain = dir.path() + "/codex/sessions/2025/06/14/rollout-1.jsonl";
    rollout("sessions/2025/06/14/rollout-1.jsonl.zst", zstdCompress(rolloutText(1)));
    EXPECT_EQ(newProcessReads("a compressed copy appeared"), 1u) << "the plain one, its rival";

    std::filesystem::remove(plain);
    EXPECT_EQ(newProcessReads("the plain one was deleted"), 2u);

    rollout("archived_sessions/rollout-1.jsonl", rolloutText(3));
    EXPECT_EQ(newProcessReads("an archived copy with other figures"), 2u);
}
