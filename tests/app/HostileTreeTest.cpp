// The real `korvel --stats`, run as its own process on homes that a hostile or unlucky machine can hold. Each case
// compares the figures with those of a reference home that holds what the hostile parts should count as, and
// checks the exit status, the absence of a sanitizer report and the peak resident memory.

#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"
#include "tests/support/Zstd.h"

#include <array>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <optional>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <zstd.h>

namespace fs = std::filesystem;

namespace {

constexpr long kKiB = 1024;
constexpr long kMiB = 1024 * kKiB;
#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer keeps a shadow byte for every eight bytes in use.
constexpr long kShadowEighths = 9;
#else
constexpr long kShadowEighths = 8;
#endif

// Log lines in the shapes the two agents write. Counts are passed as JSON text, so that hostile numbers go in as
// written.

std::string prompt(const std::string& ts)
{
    return R"({"type":"user","timestamp":")" + ts +
           R"(","message":{"role":"user","content":"go"}})"
           "\n";
}

std::string edit(const std::string& ts, const std::string& file, int added, int removed)
{
    std::string lines;
    for (int i = 0; i < added + removed; ++i)
        lines += std::string(i ? "," : "") + (i < added ? "\"+a\"" : "\"-r\"");
    return R"({"type":"user","timestamp":")" + ts + R"(","toolUseResult":{"filePath":")" + file +
           R"(","structuredPatch":[{"lines":[)" + lines + "]}]}}\n";
}

// A whole-file write; content is the JSON text of the string's inside, escapes included.
std::string wholeWrite(const std::string& ts, const std::string& file, std::string_view content)
{
    std::string line =
        R"({"type":"user","timestamp":")" + ts + R"(","toolUseResult":{"filePath":")" + file + R"(","content":")";
    line.reserve(line.size() + content.size() + 8);
    line.append(content);
    line.append("\"}}\n");
    return line;
}

std::string reply(const std::string& ts, const std::string& id, const std::string& input, const std::string& output,
                  const std::string& cacheRead, const std::string& cacheWrite)
{
    return R"({"type":"assistant","timestamp":")" + ts + R"(","requestId":"req-)" + id + R"(","message":{"id":")" + id +
           R"(","model":"claude-opus-4-6","usage":{"input_tokens":)" + input + R"(,"output_tokens":)" + output +
           R"(,"cache_read_input_tokens":)" + cacheRead + R"(,"cache_creation_input_tokens":)" + cacheWrite + "}}}\n";
}

std::string rolloutLine(const std::string& ts, const std::string& payload)
{
    return R"({"timestamp":")" + ts + R"(","payload":)" + payload + "}\n";
}

std::string userMessage(const std::string& ts)
{
    return rolloutLine(ts, R"({"type":"message","role":"user"})");
}

std::string tokenCount(const std::string& ts, const std::string& input, const std::string& cached,
                       const std::string& output)
{
    return rolloutLine(ts, R"({"type":"token_count","model":"gpt-5","info":{"total_token_usage":{"input_tokens":)" +
                               input + R"(,"cached_input_tokens":)" + cached + R"(,"output_tokens":)" + output + "}}}");
}

const std::string kClaude = ".claude/projects";
const std::string kCodex = ".codex/sessions";

// What every home holds besides the case's own files, so that the figures compared are not all zeros.
void writeOrdinary(const TempDir& home)
{
    home.write(kClaude + "/app/ordinary.jsonl",
               prompt("2025-04-01T09:00:00Z") + edit("2025-04-01T09:01:00Z", "/src/a.cpp", 3, 1) +
                   reply("2025-04-01T09:02:00Z", "msg-0", "1000", "200", "5000", "300"));
    home.write(
        kCodex + "/2025/04/01/rollout-ordinary.jsonl",
        userMessage("2025-04-01T11:00:00Z") +
            rolloutLine("2025-04-01T11:01:00Z",
                        R"({"type":"custom_tool_call","name":"apply_patch","input":"*** Begin Patch\n+x\n-y\n"})") +
            tokenCount("2025-04-01T11:02:00Z", "2000", "500", "100"));
}

// Holes in a tmpfs file read as the shared zero page; on a disk file system the kernel would fill its page cache
// with gigabytes of zeros first, which takes many seconds.
std::string sparseParent()
{
    std::error_code ec;
    return fs::is_directory("/dev/shm", ec) && access("/dev/shm", W_OK) == 0 ? std::string("/dev/shm")
                                                                             : fs::temp_directory_path().string();
}

// Writes head, then a hole of holeBytes (read back as NUL bytes), then tail.
void writeWithHole(const std::string& path, std::string_view head, off_t holeBytes, std::string_view tail)
{
    fs::create_directories(fs::path(path).parent_path());
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path;
    const off_t end = static_cast<off_t>(head.size()) + holeBytes;
    EXPECT_EQ(write(fd, head.data(), head.size()), static_cast<ssize_t>(head.size()));
    EXPECT_EQ(pwrite(fd, tail.data(), tail.size(), end), static_cast<ssize_t>(tail.size()));
    close(fd);
}

// head, zeros NUL bytes and tail as one zstd frame at path, compressed as a stream: the frame is small, what it
// holds is not.
void writeCompressedZeros(const std::string& path, std::string_view head, size_t zeros, std::string_view tail)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream file(path, std::ios::binary);
    ZSTD_CCtx* context = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, 1);
    std::string out(ZSTD_CStreamOutSize(), '\0');
    const std::string block(size_t{1} << 20, '\0');
    const auto feed = [&](std::string_view bytes, ZSTD_EndDirective mode) {
        ZSTD_inBuffer in{bytes.data(), bytes.size(), 0};
        for (bool done = false; !done;) {
            ZSTD_outBuffer piece{out.data(), out.size(), 0};
            const size_t left = ZSTD_compressStream2(context, &piece, &in, mode);
            ASSERT_FALSE(ZSTD_isError(left));
            file.write(out.data(), static_cast<std::streamsize>(piece.pos));
            done = mode == ZSTD_e_end ? left == 0 : in.pos == in.size;
        }
    };
    feed(head, ZSTD_e_continue);
    for (size_t left = zeros; left > 0; left -= std::min(left, block.size()))
        feed(std::string_view(block).substr(0, std::min(left, block.size())), ZSTD_e_continue);
    feed(tail, ZSTD_e_end);
    ZSTD_freeCCtx(context);
}

// A frame whose header claims what its blocks are not: windowLog its window's log (10 to 41), contentSize the size
// it says it decompresses to (none: unknown, so that the whole window must be had), and one raw block of content.
std::string forgedFrame(int windowLog, std::optional<uint64_t> contentSize, std::string_view content)
{
    std::string frame = "\x28\xB5\x2F\xFD";
    frame += static_cast<char>(contentSize ? 0xC0 : 0x00); // an eight-byte content size or none; no checksum
    frame += static_cast<char>((windowLog - 10) << 3);
    for (int i = 0; contentSize && i < 8; ++i)
        frame += static_cast<char>(*contentSize >> (8 * i));
    const uint32_t header = static_cast<uint32_t>(content.size() << 3) | 1; // the last block, raw
    for (int i = 0; i < 3; ++i)
        frame += static_cast<char>(header >> (8 * i));
    return frame + std::string(content);
}

void makeSocket(const std::string& path)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    path.copy(address.sun_path, path.size());
    EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << path;
    close(fd);
}

// Cuts the file at path down to size the moment anyone first reads from it. Korvel's first read takes one chunk of
// a file gigabytes long, so the cut lands while korvel is still reading the file. Call done() before it goes.
struct CutOnFirstRead
{
    CutOnFirstRead(const std::string& path, off_t size)
        : inotify(inotify_init1(IN_CLOEXEC)), watch(inotify_add_watch(inotify, path.c_str(), IN_ACCESS)),
          helper([this, path, size] {
              alignas(inotify_event) char events[4096];
              if (read(inotify, events, sizeof events) > 0 &&
                  (reinterpret_cast<const inotify_event*>(events)->mask & IN_ACCESS))
                  cut = truncate(path.c_str(), size) == 0;
          })
    {
    }

    /// Whether the file was cut; removing the watch wakes the helper if nobody read the file.
    bool done()
    {
        inotify_rm_watch(inotify, watch);
        helper.join();
        close(inotify);
        return cut;
    }

    int inotify;
    int watch;
    bool cut = false;
    std::thread helper;
};

/// A finished run of korvel with its peak resident memory.
struct KorvelRun
{
    ProgramResult result;
    long peakKiB = 0;
};

class HostileTreeTest : public ::testing::Test
{
protected:
    /// Korvel's own peak on an empty home: code, libraries and, in the sanitizer build, the sanitizer's runtime.
    static long s_startupKiB;

    static void SetUpTestSuite()
    {
        TempDir empty;
        s_startupKiB = korvel(empty).peakKiB;
    }

    /// Runs `korvel --stats` on home; prefix is a command that runs it (setpriv as another user).
    static KorvelRun korvel(const TempDir& home, const std::vector<std::string>& prefix = {})
    {
        const TempDir scratch;
        const std::string report = scratch.path() + "/peak";
        std::vector<std::string> args{report};
        args.insert(args.end(), prefix.begin(), prefix.end());
        args.push_back(KORVEL_BINARY);
        args.push_back("--stats");
        // The sanitizer's default quarantine keeps 256 MB of freed blocks resident to catch late uses; 16 MB still
        // catches them for every ordinary block while letting a huge line's buffers go, so that memory can be
        // measured in the sanitizer build too.
        const auto environmentValue = [](const char* name) {
            const char* value = std::getenv(name);
            return std::string(value ? value : "");
        };
        std::string asan = environmentValue("ASAN_OPTIONS");
        asan += std::string(asan.empty() ? "" : ":") + "quarantine_size_mb=16";
        KorvelRun run;
        run.result = runProgram(KORVEL_PEAK_MEMORY, args,
                                {"HOME=" + home.path(), "XDG_DATA_HOME=" + home.path() + "/data", "TZ=Asia/Tokyo",
                                 "ASAN_OPTIONS=" + asan, "UBSAN_OPTIONS=" + environmentValue("UBSAN_OPTIONS"),
                                 "LSAN_OPTIONS=" + environmentValue("LSAN_OPTIONS")});
        std::ifstream(report) >> run.peakKiB;
        return run;
    }

    /// The report of a run without its timing line, after checking that the run ended well and stayed within
    /// memory: what korvel holds on an empty home, 64 MB for reading (a chunk per core, the parser, the cache), and
    /// twice the longest line (held whole, and the parser's copy of its strings), plus AddressSanitizer's shadow of
    /// that memory in the sanitizer build.
    static std::string figures(const KorvelRun& measured, long longestLine, const std::string& what)
    {
        const ProgramResult& run = measured.result;
        EXPECT_EQ(run.status, 0) << what << "\n" << run.err;
        EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << what << "\n" << run.err;
        EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << what << "\n" << run.err;
        const long limitKiB = s_startupKiB + 64 * kKiB + 2 * longestLine / kKiB * kShadowEighths / 8;
        EXPECT_GT(measured.peakKiB, 0) << what;
        EXPECT_LE(measured.peakKiB, limitKiB) << what;
        std::cout << "[ memory   ] " << what << ": peak " << measured.peakKiB / kKiB << " MiB (start-up "
                  << s_startupKiB / kKiB << " MiB, limit " << limitKiB / kKiB << " MiB)\n";
        EXPECT_EQ(run.out.rfind("elapsedMs ", 0), 0u) << run.out;
        const auto lf = run.out.find('\n');
        return lf == std::string::npos ? run.out : run.out.substr(lf + 1);
    }

    /// The figures of a reference home, whose lines are all short.
    static std::string expected(const TempDir& reference) { return figures(korvel(reference), 0, "reference"); }

    TempDir hostile;
    TempDir reference;
};

long HostileTreeTest::s_startupKiB = 0;

} // namespace

TEST_F(HostileTreeTest, LinksLoopsPipesAndSocketsCountAsEmptyLogs)
{
    for (const TempDir* home : {&hostile, &reference})
        writeOrdinary(*home);
    const std::string app = hostile.path() + "/" + kClaude + "/app";
    const std::string sessions = hostile.path() + "/" + kCodex;
    // Linked folders that would loop if followed: at the parent, at the folder itself, and named like a log.
    fs::create_directory_symlink("..", app + "/up");
    fs::create_directory_symlink(app, app + "/again");
    fs::create_directory_symlink("..", app + "/loop.jsonl");
    fs::create_directory_symlink(".", sessions + "/rollout-loop.jsonl");
    // Links that never reach a file: to itself, and two to each other.
    fs::create_symlink("self.jsonl", app + "/self.jsonl");
    fs::create_symlink("pong.jsonl", app + "/ping.jsonl");
    fs::create_symlink("ping.jsonl", app + "/pong.jsonl");
    fs::create_symlink("rollout-self.jsonl", sessions + "/rollout-self.jsonl");
    // A FIFO with a writer that never writes, and sockets.
    ASSERT_EQ(mkfifo((app + "/pipe.jsonl").c_str(), 0644), 0);
    ASSERT_EQ(mkfifo((sessions + "/rollout-pipe.jsonl").c_str(), 0644), 0);
    const int writer = open((app + "/pipe.jsonl").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    makeSocket(app + "/socket.jsonl");
    makeSocket(sessions + "/rollout-socket.jsonl");
    // Each entry named like a log is listed, so it counts as an empty log.
    for (const char* name : {"loop", "self", "ping", "pong", "pipe", "socket"})
        reference.write(kClaude + "/app/" + name + ".jsonl", "");
    for (const char* name : {"loop", "self", "pipe", "socket"})
        reference.write(kCodex + "/rollout-" + std::string(name) + ".jsonl", "");

    const std::string want = expected(reference);
    EXPECT_EQ(figures(korvel(hostile), 0, "links, loops, pipes and sockets"), want);
    EXPECT_EQ(figures(korvel(hostile), 0, "the same, cache warm"), want);
    close(writer);
}

TEST_F(HostileTreeTest, HundredMegabyteLinesCountWhenValidAndAreSkippedWhenNot)
{
    for (const TempDir* home : {&hostile, &reference})
        writeOrdinary(*home);
    // A whole-file write of 100 MB: 102,400 lines of 1,023 characters each, then the piece after the last feed.
    constexpr int kPieces = 100 * 1024;
    std::string content;
    content.reserve(size_t{kPieces} * 1025);
    for (int i = 0; i < kPieces; ++i)
        content.append(1023, 'x').append("\\n");
    const std::string huge = wholeWrite("2025-04-02T10:00:00Z", "/src/huge.txt", content);
    content.clear();
    content.shrink_to_fit();
    // The same line cut short of its closing brace: invalid, and found so only at its very end.
    const std::string broken = huge.substr(0, huge.size() - 2) + "\n";
    hostile.write(kClaude + "/app/huge.jsonl", huge + prompt("2025-04-02T10:01:00Z"));
    hostile.write(kClaude + "/app/broken.jsonl", broken + prompt("2025-04-02T10:02:00Z"));

    std::string feeds;
    for (int i = 0; i < kPieces; ++i)
        feeds += "\\n";
    reference.write(kClaude + "/app/huge.jsonl",
                    wholeWrite("2025-04-02T10:00:00Z", "/src/huge.txt", feeds) + prompt("2025-04-02T10:01:00Z"));
    reference.write(kClaude + "/app/broken.jsonl", prompt("2025-04-02T10:02:00Z"));

    const std::string want = expected(reference);
    const std::string got = figures(korvel(hostile), static_cast<long>(huge.size()), "two 100 MB lines");
    EXPECT_EQ(got, want);
    // 3 and 1 added in the ordinary transcript and rollout, and the pieces of the huge write.
    EXPECT_NE(got.find("linesAdded " + std::to_string(4 + kPieces + 1) + " "), std::string::npos) << got;
    EXPECT_EQ(figures(korvel(hostile), 0, "the same, cache warm"), want);
}

TEST_F(HostileTreeTest, BrokenBytesAndDeepNestingCostOnlyTheirOwnLines)
{
    for (const TempDir* home : {&hostile, &reference})
        writeOrdinary(*home);
    const std::string deepArrays =
        R"({"type":"progress","data":)" + std::string(10000, '[') + std::string(10000, ']') + "}\n";
    std::string deepObjects = R"({"type":"progress","data":)";
    for (int i = 0; i < 10000; ++i)
        deepObjects += R"({"a":)";
    deepObjects += "1" + std::string(10000, '}') + "}\n";
    const std::string neverClosed = R"({"type":"progress","data":)" + std::string(10000, '[') + "\n";
    const std::string badUtf8 = R"({"type":"user","timestamp":"2025-04-03T10:00:00Z","message":{"content":"a)"
                                "\xff\xfe"
                                R"(b"}})"
                                "\n";
    const std::string nulInString = std::string(R"({"type":"user","timestamp":"2025-04-03T10:00:00Z",)") +
                                    R"("message":{"content":"a)" + std::string(1, '\0') + R"(b"}})" + "\n";
    const std::string nulOutside = R"({"type":"user","timestamp":"2025-04-03T10:00:00Z",)" + std::string(3, '\0') +
                                   R"("message":{"content":"go"}})" + "\n";
    const std::string good1 = prompt("2025-04-03T11:00:00Z");
    const std::string good2 = edit("2025-04-03T11:01:00Z", "/src/b.cpp", 5, 2);
    const std::string good3 = prompt("2025-04-03T11:02:00Z");
    hostile.write(kClaude + "/app/broken.jsonl",
                  good1 + badUtf8 + deepArrays + nulInString + good2 + deepObjects + nulOutside + neverClosed + good3);
    reference.write(kClaude + "/app/broken.jsonl", good1 + good2 + good3);
    // A run of NUL bytes longer than a chunk, as a file system leaves after a crash, between two good lines.
    writeWithHole(hostile.path() + "/" + kClaude + "/app/holed.jsonl", prompt("2025-04-03T12:00:00Z"), 9 * kMiB,
                  "\n" + prompt("2025-04-03T12:01:00Z"));
    reference.write(kClaude + "/app/holed.jsonl", prompt("2025-04-03T12:00:00Z") + prompt("2025-04-03T12:01:00Z"));

    // A rollout with one byte that is not UTF-8 contributes nothing; NUL bytes and deep nesting cost their lines.
    hostile.write(kCodex + "/rollout-latin1.jsonl", userMessage("2025-04-03T13:00:00Z") +
                                                        rolloutLine("2025-04-03T13:01:00Z", "{\"note\":\"caf\xe9\"}") +
                                                        tokenCount("2025-04-03T13:02:00Z", "900", "0", "90"));
    reference.write(kCodex + "/rollout-latin1.jsonl", "");
    const std::string nulRollout =
        rolloutLine("2025-04-03T14:00:30Z", "{\"type\":\"message\",\"role\":\"user\"" + std::string(2, '\0') + "}");
    hostile.write(kCodex + "/rollout-nested.jsonl", userMessage("2025-04-03T14:00:00Z") + deepArrays + deepObjects +
                                                        nulRollout + neverClosed +
                                                        tokenCount("2025-04-03T14:01:00Z", "700", "100", "70"));
    reference.write(kCodex + "/rollout-nested.jsonl",
                    userMessage("2025-04-03T14:00:00Z") + tokenCount("2025-04-03T14:01:00Z", "700", "100", "70"));

    const std::string want = expected(reference);
    EXPECT_EQ(figures(korvel(hostile), 0, "invalid UTF-8, NUL bytes, deep nesting"), want);
    EXPECT_EQ(figures(korvel(hostile), 0, "the same, cache warm"), want);
}

// Hostile counts in transcripts are the reader's tests; a rollout's running totals only show in the whole build.
TEST_F(HostileTreeTest, TokenCountsNoResponseCanHaveCountAsZero)
{
    for (const TempDir* home : {&hostile, &reference})
        writeOrdinary(*home);
    const std::string ts = "2025-04-04T10:00:00Z";
    // In rollouts the last usable token event counts, hostile totals included.
    const std::vector<std::array<std::string, 3>> totals{
        {"1e308", "-1e308", "2e12"}, {"-1e308", "2e12", "1e308"}, {"2e12", "1e308", "-1e308"}};
    for (size_t i = 0; i < totals.size(); ++i) {
        const auto& [input, cached, output] = totals[i];
        const std::string name = kCodex + "/rollout-counts-" + std::to_string(i) + ".jsonl";
        hostile.write(name,
                      userMessage(ts) + tokenCount(ts, "500", "100", "50") + tokenCount(ts, input, cached, output));
        reference.write(name, userMessage(ts) + tokenCount(ts, "500", "100", "50") + tokenCount(ts, "0", "0", "0"));
    }

    const std::string want = expected(reference);
    const std::string got = figures(korvel(hostile), 0, "hostile token counts");
    EXPECT_EQ(got, want);
    // Output tokens: 200 (ordinary transcript) + 100 (ordinary rollout); no total became NaN or infinite.
    EXPECT_NE(got.find("tokensOut 300.0\n"), std::string::npos) << got;
    EXPECT_EQ(got.find("nan"), std::string::npos) << got;
    EXPECT_EQ(got.find("inf"), std::string::npos) << got;
}

TEST_F(HostileTreeTest, UnreadableFileCountsAsEmptyAndFullyOnceReadable)
{
    // Permissions bind only a user without the power to override them: as root, korvel runs as another user.
    std::vector<std::string> asOtherUser;
    const uid_t other = 65534;
    if (geteuid() == 0) {
        const std::string setpriv = fs::exists("/usr/bin/setpriv") ? "/usr/bin/setpriv" : "/bin/setpriv";
        if (!fs::exists(setpriv))
            GTEST_SKIP() << "running as root without setpriv: cannot make a file unreadable to korvel";
        asOtherUser = {setpriv, "--reuid=" + std::to_string(other), "--regid=" + std::to_string(other),
                       "--clear-groups"};
    }
    writeOrdinary(hostile);
    const std::string locked = edit("2025-04-05T10:00:00Z", "/src/c.cpp", 6, 0) + prompt("2025-04-05T10:01:00Z");
    const std::string lockedPath = hostile.write(kClaude + "/app/locked.jsonl", locked);
    if (geteuid() == 0) {
        for (auto it = fs::recursive_directory_iterator(hostile.path()); it != fs::recursive_directory_iterator(); ++it)
            ASSERT_EQ(lchown(it->path().c_str(), other, other), 0) << it->path();
        ASSERT_EQ(lchown(hostile.path().c_str(), other, other), 0);
    }
    ASSERT_EQ(chmod(lockedPath.c_str(), 0), 0);
    if (geteuid() != 0 && access(lockedPath.c_str(), R_OK) == 0)
        GTEST_SKIP() << "this user reads files whatever their mode: cannot make a file unreadable to korvel";

    TempDir whileLocked;
    writeOrdinary(whileLocked);
    whileLocked.write(kClaude + "/app/locked.jsonl", "");
    writeOrdinary(reference);
    reference.write(kClaude + "/app/locked.jsonl", locked);

    EXPECT_EQ(figures(korvel(hostile, asOtherUser), 0, "a file of mode 000"), expected(whileLocked));
    ASSERT_EQ(chmod(lockedPath.c_str(), 0644), 0);
    // Neither its size nor its time changed: only a cache that did not keep the failed read sees it now.
    const std::string want = expected(reference);
    EXPECT_EQ(figures(korvel(hostile, asOtherUser), 0, "the same file readable again"), want);
    EXPECT_EQ(figures(korvel(hostile, asOtherUser), 0, "the same, cache warm"), want);
}

TEST_F(HostileTreeTest, FileCutShortWhileReadCountsWhatItHoldsNow)
{
    TempDir home(sparseParent());
    writeOrdinary(home);
    writeOrdinary(reference);
    // Good lines, then 8 GiB of hole, then an edit that a read finishing the file would count.
    const std::string head = prompt("2025-04-06T10:00:00Z") + edit("2025-04-06T10:01:00Z", "/src/d.cpp", 2, 0);
    const std::string path = home.path() + "/" + kClaude + "/app/cut.jsonl";
    writeWithHole(path, head, off_t{8} << 30, "\n" + edit("2025-04-06T10:02:00Z", "/src/e.cpp", 1000, 0));
    reference.write(kClaude + "/app/cut.jsonl", head);

    CutOnFirstRead cutter(path, static_cast<off_t>(head.size()));
    const std::string got = figures(korvel(home), 0, "a file cut short while read");
    ASSERT_TRUE(cutter.done()) << "korvel never read the file";
    const std::string want = expected(reference);
    EXPECT_EQ(got, want) << "the cut file counts as what it holds now";
    // The read saw the file change, so it was not cached: the next build reads it again, and the one after that
    // takes it from the cache.
    EXPECT_EQ(figures(korvel(home), 0, "the same, next build"), want);
    EXPECT_EQ(figures(korvel(home), 0, "the same, cache warm"), want);
}

TEST_F(HostileTreeTest, SparseGigabytesOfZerosAreReadToTheEnd)
{
    TempDir home(sparseParent());
    writeOrdinary(home);
    writeOrdinary(reference);
    // 3 GiB of zeros between two good lines in each reader's log: the file is neither skipped for its size nor
    // held in memory, and the zeros count for nothing.
    writeWithHole(home.path() + "/" + kClaude + "/app/zeros.jsonl", prompt("2025-04-07T10:00:00Z"), off_t{3} << 30,
                  "\n" + edit("2025-04-07T10:01:00Z", "/src/f.cpp", 4, 0));
    reference.write(kClaude + "/app/zeros.jsonl",
                    prompt("2025-04-07T10:00:00Z") + edit("2025-04-07T10:01:00Z", "/src/f.cpp", 4, 0));
    writeWithHole(home.path() + "/" + kCodex + "/rollout-zeros.jsonl", userMessage("2025-04-07T11:00:00Z"),
                  off_t{3} << 30, "\n" + tokenCount("2025-04-07T11:01:00Z", "300", "0", "30"));
    reference.write(kCodex + "/rollout-zeros.jsonl",
                    userMessage("2025-04-07T11:00:00Z") + tokenCount("2025-04-07T11:01:00Z", "300", "0", "30"));

    const std::string want = expected(reference);
    EXPECT_EQ(figures(korvel(home), 0, "3 GiB of zeros in each reader"), want);
    EXPECT_EQ(figures(korvel(home), 0, "the same, cache warm"), want);
}

TEST_F(HostileTreeTest, HostileCompressedRolloutsCountForNothingInBoundedMemory)
{
    writeOrdinary(hostile);
    writeOrdinary(reference);
    const std::string rollout =
        userMessage("2025-04-08T11:00:00Z") + tokenCount("2025-04-08T11:01:00Z", "700", "0", "70");
    const std::string frame = zstdCompress(rollout);
    // Each of these counts as a session that holds nothing.
    const std::pair<std::string, std::string> broken[] = {
        {"cut", frame.substr(0, frame.size() / 2)},
        {"trailing-garbage", frame + "not a frame"},
        {"plain-text", rollout},
        {"claims-a-terabyte", forgedFrame(20, uint64_t{1} << 40, rollout)},
        {"window-of-2-gib", forgedFrame(31, std::nullopt, rollout)},
    };
    for (const auto& [name, bytes] : broken) {
        hostile.write(kCodex + "/2025/04/08/rollout-" + name + ".jsonl.zst", bytes);
        reference.write(kCodex + "/2025/04/08/rollout-" + name + ".jsonl", "");
    }
    // A small file that decompresses to 3 GiB of zeros between two good lines: read to the end, never held.
    TempDir home(sparseParent());
    writeCompressedZeros(hostile.path() + "/" + kCodex + "/rollout-zeros.jsonl.zst",
                         userMessage("2025-04-07T11:00:00Z"), size_t{3} << 30,
                         "\n" + tokenCount("2025-04-07T11:01:00Z", "300", "0", "30"));
    reference.write(kCodex + "/rollout-zeros.jsonl",
                    userMessage("2025-04-07T11:00:00Z") + tokenCount("2025-04-07T11:01:00Z", "300", "0", "30"));
    // A good compressed rollout beside them still counts.
    hostile.write(kCodex + "/2025/04/08/rollout-good.jsonl.zst", frame);
    reference.write(kCodex + "/2025/04/08/rollout-good.jsonl", rollout);

    const std::string want = expected(reference);
    EXPECT_EQ(figures(korvel(hostile), 0, "hostile compressed rollouts"), want);
    EXPECT_EQ(figures(korvel(hostile), 0, "the same, cache warm"), want);
}
