#include "core/ChunkedLineReader.h"

#include "tests/support/TempDir.h"

#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace {

struct Lines
{
    std::vector<std::string> lines;
    FileRead read;
};

ChunkedLineReader::Options options(bool utf8, std::function<void()> afterLongLine = {})
{
    ChunkedLineReader::Options out;
    out.requireUtf8 = utf8;
    out.afterLongLine = std::move(afterLongLine);
    return out;
}

Lines readAll(const std::string& path, size_t chunk, bool utf8 = false)
{
    ChunkedLineReader reader(chunk);
    Lines out;
    out.read = reader.read(
        path,
        [&](std::string_view line) {
            // The bytes after a line must be readable, for the in-place parser: touch the padding.
            volatile char sink = 0;
            for (size_t i = 0; i < ChunkedLineReader::kPadding; ++i)
                sink = sink + line.data()[line.size() + i];
            out.lines.emplace_back(line);
        },
        options(utf8));
    return out;
}

} // namespace

TEST(ChunkedLineReaderTest, LinesComeWholeWhateverTheChunkSize)
{
    TempDir dir;
    const std::string text = "{\"a\":1}\n\n{" + std::string(100, 'x') + "\r\n{\"b\":\"two\"}\nlast without feed";
    const std::string path = dir.write("log.jsonl", text);
    const std::vector<std::string> expected{"{\"a\":1}", "", "{" + std::string(100, 'x') + "\r", "{\"b\":\"two\"}",
                                            "last without feed"};
    for (size_t chunk : {size_t{1}, size_t{3}, size_t{16}, size_t{4096}}) {
        const Lines got = readAll(path, chunk);
        EXPECT_EQ(got.read.status, ReadStatus::Complete) << chunk;
        EXPECT_EQ(got.lines, expected) << chunk;
        EXPECT_EQ(got.read.stamp->size, static_cast<int64_t>(text.size()));
    }
}

TEST(ChunkedLineReaderTest, LongLinesThatCannotBeObjectsAreSkippedUnbuffered)
{
    TempDir dir;
    const std::string object = "{\"k\":\"" + std::string(200, 'v') + "\"}";
    const std::string withNul = "{\"k\":\"" + std::string(100, 'a') + '\0' + std::string(100, 'b') + "\"}";
    const std::string path = dir.write("log.jsonl", std::string(300, 'z') + "\n" + withNul + "\n" + object + "\n{}\n" +
                                                        std::string(50, ' '));
    const Lines got = readAll(path, 32);
    EXPECT_EQ(got.read.status, ReadStatus::Complete);
    EXPECT_EQ(got.lines, (std::vector<std::string>{object, "{}", std::string(50, ' ')}))
        << "long garbage and long lines with NUL bytes are dropped; a long object line grows the buffer";
}

TEST(ChunkedLineReaderTest, Utf8IsCheckedAcrossChunksAndSkippedLines)
{
    TempDir dir;
    // Two- and four-byte characters that any small chunk size splits somewhere.
    const std::string valid = dir.write("ok.jsonl", "{\"s\":\"déjà vu 😀\"}\n" + std::string(100, 'z') + "é\n");
    for (size_t chunk : {size_t{1}, size_t{2}, size_t{5}, size_t{7}})
        EXPECT_EQ(readAll(valid, chunk, true).read.status, ReadStatus::Complete) << chunk;

    const std::string badInLine = dir.write("bad1.jsonl", "{}\n{\"s\":\"\xff\"}\n{}\n");
    EXPECT_EQ(readAll(badInLine, 4, true).read.status, ReadStatus::InvalidUtf8);
    const std::string badInSkipped = dir.write("bad2.jsonl", std::string(100, 'z') + "\xc3" + "\n{}\n");
    EXPECT_EQ(readAll(badInSkipped, 16, true).read.status, ReadStatus::InvalidUtf8)
        << "a character cut by the line feed";
    EXPECT_EQ(readAll(badInSkipped, 16, false).read.status, ReadStatus::Complete) << "unless asked for";
}

TEST(ChunkedLineReaderTest, SpecialMissingAndChangingFiles)
{
    TempDir dir;
    EXPECT_EQ(readAll(dir.path() + "/missing.jsonl", 64).read.status, ReadStatus::Unreadable);
    const Lines folder = readAll(dir.mkdir("folder.jsonl"), 64);
    EXPECT_EQ(folder.read.status, ReadStatus::Complete) << "not a regular file: an empty log";
    EXPECT_TRUE(folder.lines.empty());

    // The file grows while it is read: what was read counts, but the read says so.
    const std::string path = dir.write("live.jsonl", "{}\n{}\n");
    ChunkedLineReader reader(2);
    bool appended = false;
    const FileRead read = reader.read(path, [&](std::string_view) {
        if (!appended)
            std::ofstream(path, std::ios::app) << "{\"more\":1}\n";
        appended = true;
    });
    EXPECT_EQ(read.status, ReadStatus::Changed);

    // Cut short after its first line: the read says so, so that nothing of it is kept beyond this build.
    const std::string cut = dir.write("cut.jsonl", "{\"a\":1}\n{\"b\":2}\n{\"c\":3}\n");
    std::vector<std::string> got;
    const FileRead cutRead = reader.read(cut, [&](std::string_view line) {
        if (got.empty()) {
            EXPECT_EQ(truncate(cut.c_str(), 8), 0);
        }
        got.emplace_back(line);
    });
    EXPECT_EQ(cutRead.status, ReadStatus::Changed);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.front(), "{\"a\":1}");
}

TEST(ChunkedLineReaderTest, ReadersSharingATurnBufferOneLongLineAtATime)
{
    TempDir dir;
    LongLineTurn turn;
    const std::string longLine = "{\"k\":\"" + std::string(200, 'v') + "\"}";
    const std::string first = dir.write("a.jsonl", "{}\n" + longLine + "\n{}\n");
    const std::string second = dir.write("b.jsonl", "{}\n" + longLine + "\n");
    std::atomic<bool> firstDone{false};
    std::atomic<bool> secondLong{false};
    std::atomic<bool> secondFinished{false};
    std::jthread other;
    ChunkedLineReader reader(32, &turn);
    const auto onLine = [&](std::string_view line) {
        if (line.size() < longLine.size() || other.joinable())
            return;
        // This reader holds a long line: another reader that reaches one of its own waits until this read is done.
        other = std::jthread([&] {
            ChunkedLineReader next(32, &turn);
            next.read(second, [&](std::string_view l) {
                if (l.size() == longLine.size()) {
                    EXPECT_TRUE(firstDone) << "the second long line came while the first was still held";
                    secondLong = true;
                }
            });
            secondFinished = true;
        });
        while (turn.waiting == 0 && !secondFinished)
            std::this_thread::yield();
        EXPECT_FALSE(secondLong);
    };
    bool settledOnShortLines = false;
    reader.read(
        dir.write("short.jsonl", "{}\n{}\n"), [](std::string_view) {},
        options(false, [&] { settledOnShortLines = true; }));
    EXPECT_FALSE(settledOnShortLines) << "nothing to give back after short lines";
    EXPECT_EQ(reader.read(first, onLine, options(false, [&] { firstDone = true; })).status, ReadStatus::Complete);
    other.join();
    EXPECT_TRUE(firstDone);
    EXPECT_TRUE(secondLong);
    EXPECT_EQ(turn.waiting, 0u);
}
