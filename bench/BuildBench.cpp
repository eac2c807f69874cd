// korvel_buildbench MODE HOME_DIR: times whole statistics builds over the logs under HOME_DIR, with the parse cache
// in HOME_DIR/korvel-data. Modes, each meant for a fresh process so that its peak memory is its own:
//   cold   no parse cache: every file is parsed (over all cores) and the cache is written
//   warm   a new process over an unchanged tree: the fold comes from the cache's snapshot
//   load   a new process after one transcript grew: every record is loaded, that file parsed, the cache updated
//   app    a running application (file events on): after one build, the next ones find nothing new (mean of ten)
//   grow   as app, after one line was appended to one transcript (restored afterwards)

#include "bench/LogTree.h"
#include "bench/ResourceUsage.h"
#include "core/StatsBuilder.h"
#include "core/TimeKit.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Timed
{
    Stats stats;
    UsageCost cost;
};

Timed timedBuild(StatsBuilder& builder, const LogLocations& where)
{
    const UsageSample start = UsageSample::now();
    Stats stats = builder.build(where, TimeKit::now());
    return {std::move(stats), UsageCost::between(start, UsageSample::now())};
}

constexpr char kExtraLine[] =
    R"({"type":"user","timestamp":"2025-06-01T10:00:00.000Z","message":{"role":"user","content":"one more"}})";

// A transcript of median size: the typical file that an agent is appending to.
std::string medianTranscript(const LogTree& tree)
{
    std::vector<const LogFile*> claude;
    for (const auto& file : tree.files)
        if (!file.codex)
            claude.push_back(&file);
    if (claude.empty())
        return {};
    std::sort(claude.begin(), claude.end(), [](const LogFile* a, const LogFile* b) { return a->bytes < b->bytes; });
    return claude[claude.size() / 2]->path;
}

Timed growOne(StatsBuilder& builder, const LogLocations& where, const std::string& path)
{
    timedBuild(builder, where);
    const auto size = static_cast<off_t>(std::ifstream(path, std::ios::binary | std::ios::ate).tellg());
    std::ofstream(path, std::ios::binary | std::ios::app) << kExtraLine << '\n';
    Timed grown = timedBuild(builder, where);
    if (truncate(path.c_str(), size) != 0)
        std::perror("truncate");
    return grown;
}

Timed meanOfRepeats(StatsBuilder& builder, const LogLocations& where, int repeats)
{
    timedBuild(builder, where);
    Timed total;
    for (int i = 0; i < repeats; ++i) {
        Timed one = timedBuild(builder, where);
        total.cost.wall += one.cost.wall / repeats;
        total.cost.user += one.cost.user / repeats;
        total.cost.system += one.cost.system / repeats;
        total.stats = std::move(one.stats);
    }
    return total;
}

void report(std::string_view mode, const LogTree& tree, const Timed& run, std::string_view grown)
{
    std::printf("mode                 %.*s\n", static_cast<int>(mode.size()), mode.data());
    std::printf("files                %zu, %.1f MB, largest %.1f MB\n", tree.files.size(),
                static_cast<double>(tree.totalBytes) / 1e6, static_cast<double>(tree.largestBytes) / 1e6);
    if (!grown.empty())
        std::printf("grown file           %.*s\n", static_cast<int>(grown.size()), grown.data());
    std::printf("build cpu ms         %.1f (user %.1f, sys %.1f)\n", run.cost.cpu() * 1e3, run.cost.user * 1e3,
                run.cost.system * 1e3);
    std::printf("build wall ms        %.1f\n", run.cost.wall * 1e3);
    std::printf("peak RSS MB          %.1f\n", peakRssMb());
    std::printf("figures              score %lld, lines %lld, sessions %lld, prompts %lld, cost %.6f\n",
                static_cast<long long>(run.stats.crackedScore),
                static_cast<long long>(run.stats.linesAdded + run.stats.linesRemoved),
                static_cast<long long>(run.stats.sessions), static_cast<long long>(run.stats.prompts), run.stats.cost);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: korvel_buildbench cold|warm|load|app|grow HOME_DIR\n");
        return 2;
    }
    const std::string mode = argv[1];
    const std::string home = argv[2];
    const LogLocations where{.claudeRoot = home + "/.claude/projects",
                             .codexSessions = home + "/.codex/sessions",
                             .codexArchive = home + "/.codex/archived_sessions",
                             .parseCachePath = home + "/korvel-data/parse-cache.db"};
    mkdir((home + "/korvel-data").c_str(), 0700);
    const LogTree tree = listLogTree(home);
    warmPageCache(tree);
    const bool running = mode == "app" || mode == "grow";
    StatsBuilder builder(StatsBuilder::Options{.watch = running, .saveInterval = running ? 60.0 : 0.0});
    if (mode == "cold") {
        for (const char* suffix : {"", "-wal", "-shm"})
            unlink((where.parseCachePath + suffix).c_str());
        report(mode, tree, timedBuild(builder, where), {});
    } else if (mode == "load") {
        const std::string path = medianTranscript(tree);
        const auto size = static_cast<off_t>(std::ifstream(path, std::ios::binary | std::ios::ate).tellg());
        std::ofstream(path, std::ios::binary | std::ios::app) << kExtraLine << '\n';
        const Timed loaded = timedBuild(builder, where);
        if (truncate(path.c_str(), size) != 0)
            std::perror("truncate");
        report(mode, tree, loaded, path);
    } else if (mode == "warm") {
        if (access(where.parseCachePath.c_str(), R_OK) != 0) {
            std::fprintf(stderr, "no parse cache yet: run the cold mode first\n");
            return 1;
        }
        report(mode, tree, timedBuild(builder, where), {});
    } else if (mode == "app") {
        report(mode, tree, meanOfRepeats(builder, where, 10), {});
    } else if (mode == "grow") {
        const std::string path = medianTranscript(tree);
        report(mode, tree, growOne(builder, where, path), path);
    } else {
        std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
        return 2;
    }
    return 0;
}
