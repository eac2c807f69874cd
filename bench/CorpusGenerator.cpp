// korvel_gencorpus OUT_DIR SIZE_MB [SEED]: writes a synthetic home directory of Claude Code transcripts and Codex
// rollouts, about SIZE_MB megabytes (10^6 bytes) in all, byte-identical for a given seed.
// korvel_gencorpus OUT_DIR --small-files COUNT [SEED]: COUNT tiny transcripts (a prompt and a reply each) in 400
// project folders: a tree whose cost is the number of files, not their bytes.

#include "bench/ClaudeSession.h"
#include "bench/CodexSession.h"
#include "bench/FileSink.h"
#include "bench/Ids.h"
#include "bench/IsoTime.h"
#include "bench/JsonOut.h"
#include "bench/Random.h"
#include "bench/TextPool.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kMegabyte = 1'000'000;
constexpr int64_t kDayMs = 86'400'000;
constexpr int64_t kHourMs = 3'600'000;
constexpr int64_t kCorpusStartMs = 1'748'736'000'000; // 2025-06-01T00:00:00Z
constexpr int64_t kCorpusDays = 120;
constexpr double kCodexShare = 0.15;
constexpr uint64_t kLargestCodexFile = 25 * kMegabyte;

constexpr std::string_view kClaudeModels[] = {"claude-sonnet-4-5-20250929", "claude-sonnet-4-5-20250929",
                                              "claude-opus-4-6", "claude-opus-4-5-20251101", "claude-sonnet-4-6"};
constexpr std::string_view kCodexModels[] = {"gpt-5-codex", "gpt-5-codex", "gpt-5-codex", "gpt-5", "gpt-5.5-codex"};
constexpr std::string_view kClaudeVersions[] = {"2.0.14", "2.0.28", "2.0.37", "2.1.9"};
constexpr std::string_view kCodexVersions[] = {"0.36.0", "0.42.0", "0.46.0"};
constexpr std::string_view kBranches[] = {"main", "main", "develop", "feature/cache", "fix/parser"};
constexpr std::string_view kProjectSuffixes[] = {"app", "server", "cli", "web", "lib", "kit", "api", "tools"};

struct Options
{
    fs::path outDir;
    uint64_t budget = 0;
    uint64_t smallFiles = 0;
    uint64_t seed = 42;
};

struct Project
{
    std::string cwd;
    std::string folder;
};

std::optional<Options> parseOptions(int argc, char** argv)
{
    if (argc < 3 || argc > 5)
        return std::nullopt;
    Options options;
    options.outDir = argv[1];
    if (std::string_view(argv[2]) == "--small-files") {
        if (argc < 4)
            return std::nullopt;
        options.smallFiles = std::strtoull(argv[3], nullptr, 10);
        if (argc == 5)
            options.seed = std::strtoull(argv[4], nullptr, 10);
        return options.smallFiles > 0 ? std::optional(options) : std::nullopt;
    }
    if (argc == 5)
        return std::nullopt;
    const double megabytes = std::strtod(argv[2], nullptr);
    if (!(megabytes > 0))
        return std::nullopt;
    options.budget = static_cast<uint64_t>(megabytes * kMegabyte);
    if (argc == 4)
        options.seed = std::strtoull(argv[3], nullptr, 10);
    return options;
}

// Claude Code names a project's folder after its working directory, every '/' and '.' turned into '-'.
std::string folderOf(std::string cwd)
{
    std::replace(cwd.begin(), cwd.end(), '/', '-');
    std::replace(cwd.begin(), cwd.end(), '.', '-');
    return cwd;
}

std::vector<Project> makeProjects(Random& random, const TextPool& pool)
{
    std::vector<Project> projects;
    for (int i = 0; i < 36; ++i) {
        std::string cwd = "/home/dev/" + std::string(i % 3 == 0 ? "work/" : "src/");
        cwd += std::string(pool.nameWord(random)) + "-" + std::string(random.pick(kProjectSuffixes));
        if (i >= 4)
            cwd.append("-").append(std::to_string(i));
        projects.push_back({cwd, folderOf(cwd)});
    }
    return projects;
}

// Many small sessions, some long ones, a few that ran for days: about 0.28 MB per file on average.
uint64_t drawFileSize(Random& random)
{
    const double u = random.unit();
    if (u < 0.0025)
        return static_cast<uint64_t>(random.logBetween(20'000'000, 60'000'000));
    if (u < 0.0475)
        return static_cast<uint64_t>(random.logBetween(1'000'000, 5'000'000));
    return static_cast<uint64_t>(random.logBetween(10'000, 300'000));
}

// Sessions fall on any day of the period and at any hour, most of them in working hours.
int64_t drawStart(Random& random)
{
    const int64_t day = random.between(0, kCorpusDays - 1);
    const int64_t hour = random.chance(0.7) ? random.between(8, 19) : random.between(0, 23);
    return kCorpusStartMs + day * kDayMs + hour * kHourMs + random.between(0, kHourMs - 1);
}

std::string twoDigits(int value)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", value);
    return buf;
}

class CorpusWriter
{
public:
    CorpusWriter(const Options& options, Random& random, const TextPool& pool)
        : m_options(options), m_random(random), m_pool(pool), m_projects(makeProjects(random, pool))
    {
    }

    void run()
    {
        while (total() < m_options.budget) {
            const bool codex = drawCodex();
            const uint64_t remaining = m_options.budget - total();
            const uint64_t size =
                std::clamp<uint64_t>(drawFileSize(m_random), 4'000, std::max<uint64_t>(remaining, 4'000));
            Random session = m_random.fork();
            const uint64_t written =
                codex ? writeCodex(session, std::min(size, kLargestCodexFile)) : writeClaude(session, size);
            (codex ? m_codexBytes : m_claudeBytes) += written;
            (codex ? m_codexFiles : m_claudeFiles) += 1;
            m_largest = std::max(m_largest, written);
        }
    }

    void report(double seconds) const
    {
        std::printf("claude files   %llu (%.1f MB)\n", ull(m_claudeFiles), mb(m_claudeBytes));
        std::printf("codex files    %llu (%.1f MB)\n", ull(m_codexFiles), mb(m_codexBytes));
        std::printf("total          %llu files, %.1f MB, largest %.1f MB\n", ull(m_claudeFiles + m_codexFiles),
                    mb(total()), mb(m_largest));
        std::printf("seconds        %.2f (%.0f MB/s)\n", seconds, mb(total()) / seconds);
    }

private:
    static unsigned long long ull(uint64_t v) { return v; }
    static double mb(uint64_t bytes) { return static_cast<double>(bytes) / kMegabyte; }
    uint64_t total() const { return m_claudeBytes + m_codexBytes; }

    // Rollouts are drawn a little more often while their share of the bytes lags behind, so that both kinds keep
    // the same spread of sizes.
    bool drawCodex()
    {
        const bool behind = static_cast<double>(m_codexBytes) < kCodexShare * static_cast<double>(total());
        return m_random.chance(behind ? kCodexShare + 0.05 : kCodexShare - 0.05);
    }

    // Busy projects get most sessions, as in a real home directory.
    const Project& pickProject(Random& random) const
    {
        const double u = random.unit();
        return m_projects[static_cast<size_t>(u * u * static_cast<double>(m_projects.size()))];
    }

    uint64_t writeClaude(Random& random, uint64_t size)
    {
        const Project& project = pickProject(random);
        ClaudeSessionPlan plan;
        plan.sessionId = Ids::uuid(random);
        plan.cwd = project.cwd;
        plan.gitBranch = random.pick(kBranches);
        plan.version = random.pick(kClaudeVersions);
        plan.model = random.pick(kClaudeModels);
        plan.startMs = drawStart(random);
        plan.targetBytes = size;
        plan.allowHugeLines = size >= 4 * kMegabyte;
        const fs::path dir = m_options.outDir / ".claude" / "projects" / project.folder;
        fs::create_directories(dir);
        FileSink sink((dir / (plan.sessionId + ".jsonl")).string(), m_buffer);
        writeClaudeSession(plan, m_pool, random, sink);
        return sink.bytes();
    }

    uint64_t writeCodex(Random& random, uint64_t size)
    {
        const Project& project = pickProject(random);
        CodexSessionPlan plan;
        plan.id = Ids::uuid(random);
        plan.cwd = project.cwd;
        plan.repository = "git@github.com:dev/" + fs::path(project.cwd).filename().string() + ".git";
        plan.model = random.pick(kCodexModels);
        plan.cliVersion = random.pick(kCodexVersions);
        plan.startMs = drawStart(random);
        plan.targetBytes = size;
        const CivilTime t = civilTime(plan.startMs);
        const fs::path dir =
            m_options.outDir / ".codex" / "sessions" / std::to_string(t.year) / twoDigits(t.month) / twoDigits(t.day);
        fs::create_directories(dir);
        const std::string name = "rollout-" + std::to_string(t.year) + "-" + twoDigits(t.month) + "-" +
                                 twoDigits(t.day) + "T" + twoDigits(t.hour) + "-" + twoDigits(t.minute) + "-" +
                                 twoDigits(t.second) + "-" + plan.id + ".jsonl";
        FileSink sink((dir / name).string(), m_buffer);
        writeCodexSession(plan, m_pool, random, sink);
        return sink.bytes();
    }

    const Options& m_options;
    Random& m_random;
    const TextPool& m_pool;
    std::vector<Project> m_projects;
    std::string m_buffer;
    uint64_t m_claudeBytes = 0;
    uint64_t m_codexBytes = 0;
    uint64_t m_claudeFiles = 0;
    uint64_t m_codexFiles = 0;
    uint64_t m_largest = 0;
};

// Two lines: a typed prompt and one reply with its usage.
void writeSmallFiles(const Options& options, Random& random)
{
    constexpr int kFolders = 400;
    std::string buffer;
    IsoTime iso;
    for (uint64_t i = 0; i < options.smallFiles; ++i) {
        const fs::path dir =
            options.outDir / ".claude" / "projects" / ("-home-dev-src-project-" + std::to_string(i % kFolders));
        if (i < kFolders)
            fs::create_directories(dir);
        FileSink sink((dir / (Ids::uuid(random) + ".jsonl")).string(), buffer);
        const int64_t start = drawStart(random);
        JsonOut(sink.buffer())
            .open()
            .str("type", "user")
            .str("timestamp", iso.format(start))
            .open("message")
            .str("role", "user")
            .str("content", "fix the failing test")
            .close()
            .close()
            .endLine();
        sink.lineDone();
        JsonOut(sink.buffer())
            .open()
            .str("type", "assistant")
            .str("requestId", Ids::base62(random, "req_", 24))
            .str("timestamp", iso.format(start + random.between(2'000, 60'000)))
            .open("message")
            .str("id", Ids::base62(random, "msg_", 24))
            .str("model", random.pick(kClaudeModels))
            .open("usage")
            .num("input_tokens", random.between(10, 5'000))
            .num("output_tokens", random.between(10, 2'000))
            .num("cache_read_input_tokens", random.between(0, 50'000))
            .num("cache_creation_input_tokens", random.between(0, 5'000))
            .close()
            .close()
            .close()
            .endLine();
        sink.lineDone();
    }
    std::printf("claude files   %llu in %d folders\n", static_cast<unsigned long long>(options.smallFiles), kFolders);
}

} // namespace

int main(int argc, char** argv)
{
    const auto options = parseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: korvel_gencorpus OUT_DIR SIZE_MB [SEED] | korvel_gencorpus OUT_DIR --small-files "
                             "COUNT [SEED]\n");
        return 2;
    }
    // Never write into a home that already has agent logs: the corpus would mix with them.
    if (fs::exists(options->outDir / ".claude") || fs::exists(options->outDir / ".codex")) {
        std::fprintf(stderr, "%s already holds .claude or .codex; choose an empty directory\n",
                     options->outDir.c_str());
        return 1;
    }
    const auto started = std::chrono::steady_clock::now();
    Random random(options->seed);
    if (options->smallFiles > 0) {
        writeSmallFiles(*options, random);
        return 0;
    }
    const TextPool pool(random);
    CorpusWriter corpus(*options, random, pool);
    corpus.run();
    corpus.report(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    return 0;
}
