// korvel_parsebench [--baseline | --read-only] [--no-warm] HOME_DIR: parses every agent log under HOME_DIR cold,
// with one reused scratch, and reports throughput, CPU time and peak memory. --baseline only splits lines and
// builds a simdjson DOM of each, the ceiling for any reader built on it; --read-only only reads and splits.

#include "bench/LogTree.h"
#include "bench/ResourceUsage.h"
#include "core/ClaudeReader.h"
#include "core/CodexParser.h"
#include "core/LineScanner.h"
#include "core/ParseScratch.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <simdjson.h>
#include <string>
#include <string_view>

namespace {

constexpr double kMegabyte = 1'000'000;

enum class Mode { Parse, Baseline, ReadOnly };

struct Options
{
    Mode mode = Mode::Parse;
    bool warm = true;
    std::string home;
};

/// What the parsed files added up to; printed so that no run can skip work unnoticed.
struct Checksum
{
    int64_t prompts = 0;
    int64_t assistantMessages = 0;
    int64_t linesAdded = 0;
    double tokensOut = 0;
    int64_t lines = 0;
    int64_t documents = 0;
    int64_t errors = 0;
    uint64_t bytes = 0;
};

std::optional<Options> parseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--baseline")
            options.mode = Mode::Baseline;
        else if (arg == "--read-only")
            options.mode = Mode::ReadOnly;
        else if (arg == "--no-warm")
            options.warm = false;
        else if (options.home.empty() && !arg.starts_with("--"))
            options.home = arg;
        else
            return std::nullopt;
    }
    return options.home.empty() ? std::nullopt : std::optional(options);
}

/// The product's readers, each file parsed cold.
class ReaderRun
{
public:
    void file(const LogFile& file, Checksum& sum)
    {
        const FileContribution c = file.codex ? CodexParser::parseFile(file.path, m_scratch)
                                              : StatsEngine::parseClaudeFile(file.path, m_scratch);
        sum.prompts += c.prompts;
        sum.assistantMessages += c.assistantMessages;
        sum.linesAdded += c.linesAdded;
        sum.tokensOut += c.tokensOut;
        sum.bytes += file.bytes;
    }

private:
    ParseScratch m_scratch;
};

/// Reads and splits lines and, unless readOnly, builds a DOM of each line in place without looking at it.
class RawRun
{
public:
    explicit RawRun(bool readOnly) : m_readOnly(readOnly) {}

    void file(const LogFile& file, Checksum& sum)
    {
        sum.bytes += file.bytes;
        m_scratch.impl().reader.read(file.path, [&](std::string_view line) {
            if (!line.empty())
                this->line(line, sum);
        });
    }

private:
    void line(std::string_view line, Checksum& sum)
    {
        ++sum.lines;
        if (m_readOnly)
            return;
        simdjson::dom::element doc;
        const auto error = m_scratch.impl().parse(line).get(doc);
        ++(error ? sum.errors : sum.documents);
    }

    bool m_readOnly;
    ParseScratch m_scratch;
};

template <typename Run> UsageCost runKind(const LogTree& tree, bool codex, Run& run, Checksum& sum)
{
    const UsageSample start = UsageSample::now();
    for (const auto& file : tree.files)
        if (file.codex == codex)
            run.file(file, sum);
    return UsageCost::between(start, UsageSample::now());
}

struct Result
{
    UsageCost claude;
    UsageCost codex;
    Checksum sum;

    UsageCost total() const
    {
        return {claude.wall + codex.wall, claude.user + codex.user, claude.system + codex.system};
    }
};

template <typename Run> Result runAll(const LogTree& tree, Run run)
{
    Result result;
    result.claude = runKind(tree, false, run, result.sum);
    result.codex = runKind(tree, true, run, result.sum);
    return result;
}

Result runMode(const LogTree& tree, Mode mode)
{
    if (mode == Mode::Parse)
        return runAll(tree, ReaderRun());
    return runAll(tree, RawRun(mode == Mode::ReadOnly));
}

const char* modeName(Mode mode)
{
    switch (mode) {
    case Mode::Parse:
        return "parse";
    case Mode::Baseline:
        return "baseline (split + simdjson DOM, no field access)";
    case Mode::ReadOnly:
        return "read-only (read + split)";
    }
    return "";
}

double mb(uint64_t bytes)
{
    return static_cast<double>(bytes) / kMegabyte;
}

void printChecksum(Mode mode, const Checksum& s)
{
    if (mode == Mode::Parse) {
        const double total = static_cast<double>(s.prompts + s.assistantMessages + s.linesAdded) + s.tokensOut;
        std::printf("checksum             %.0f (prompts %lld + assistantMessages %lld + linesAdded %lld + "
                    "tokensOut %.0f)\n",
                    total, static_cast<long long>(s.prompts), static_cast<long long>(s.assistantMessages),
                    static_cast<long long>(s.linesAdded), s.tokensOut);
    } else {
        std::printf("checksum             lines %lld, documents %lld, parse errors %lld, bytes %llu\n",
                    static_cast<long long>(s.lines), static_cast<long long>(s.documents),
                    static_cast<long long>(s.errors), static_cast<unsigned long long>(s.bytes));
    }
}

void printReport(const Options& options, const LogTree& tree, const Result& r, double listSeconds)
{
    const UsageCost total = r.total();
    const auto claudeFiles = tree.count(false);
    const auto codexFiles = tree.count(true);
    std::printf("mode                 %s\n", modeName(options.mode));
    std::printf("home                 %s (listed in %.3f s, page cache %s)\n", options.home.c_str(), listSeconds,
                options.warm ? "warmed" : "not warmed");
    std::printf("files                %zu (claude %llu, codex %llu)\n", tree.files.size(),
                static_cast<unsigned long long>(claudeFiles), static_cast<unsigned long long>(codexFiles));
    std::printf("total MB             %.1f (claude %.1f, codex %.1f)\n", mb(tree.totalBytes), mb(tree.bytes(false)),
                mb(tree.bytes(true)));
    std::printf("largest file MB      %.1f\n", mb(tree.largestBytes));
    std::printf("wall s               %.3f\n", total.wall);
    std::printf("cpu s                %.3f (user %.3f, sys %.3f)\n", total.cpu(), total.user, total.system);
    std::printf("MB per cpu-s         %.1f (claude %.1f, codex %.1f)\n", mb(tree.totalBytes) / total.cpu(),
                mb(tree.bytes(false)) / r.claude.cpu(), mb(tree.bytes(true)) / r.codex.cpu());
    std::printf("MB/s wall            %.1f\n", mb(tree.totalBytes) / total.wall);
    std::printf("files/s              %.0f\n", static_cast<double>(tree.files.size()) / total.wall);
    std::printf("peak RSS MB          %.1f\n", peakRssMb());
    printChecksum(options.mode, r.sum);
}

} // namespace

int main(int argc, char** argv)
{
    const auto options = parseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: korvel_parsebench [--baseline | --read-only] [--no-warm] HOME_DIR\n");
        return 2;
    }
    const UsageSample listStart = UsageSample::now();
    const LogTree tree = listLogTree(options->home);
    const double listSeconds = UsageCost::between(listStart, UsageSample::now()).wall;
    if (tree.files.empty()) {
        std::fprintf(stderr, "no logs under %s/.claude/projects or %s/.codex/sessions\n", options->home.c_str(),
                     options->home.c_str());
        return 1;
    }
    if (options->warm)
        warmPageCache(tree);
    const Result result = runMode(tree, options->mode);
    printReport(*options, tree, result, listSeconds);
    return 0;
}
