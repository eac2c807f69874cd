#include "app/CommandLine.h"

#include "app/CodexReport.h"
#include "app/DebugRenders.h"
#include "app/StatsReport.h"
#include "app/SyncDryRun.h"
#include "app/Usage.h"

#include <algorithm>

namespace CommandLine {
namespace {

struct FlagRow
{
    const char* flag;
    Command command;
    const char* defaultPath;
};

// clang-format off
constexpr FlagRow kFlags[] = {
    {"--help",         Command::Help,        nullptr},
    {"--version",      Command::Version,     nullptr},
    {"--bench",        Command::Bench,       nullptr},
    {"--stats",        Command::Stats,       nullptr},
    {"--card",         Command::Card,        "/tmp/korvel-card.png"},
    {"--sprites",      Command::Sprites,     "/tmp/korvel-sprites.png"},
    {"--notchview",    Command::NotchView,   "/tmp/korvel-notchview.png"},
    {"--notchcorner",  Command::NotchCorner, "/tmp/korvel-notchcorner.png"},
    {"--codex",        Command::Codex,       nullptr},
    {"--sync-dry-run", Command::SyncDryRun,  nullptr},
};
// clang-format on

// The element right after the first occurrence of flag, whatever it holds; absent when flag is last or missing.
std::optional<std::string> argumentAfter(const std::vector<std::string>& args, const std::string& flag)
{
    const auto it = std::find(args.begin(), args.end(), flag);
    if (it == args.end() || std::next(it) == args.end())
        return std::nullopt;
    return *std::next(it);
}

} // namespace

Invocation parse(const std::vector<std::string>& args)
{
    for (const FlagRow& row : kFlags) {
        if (std::find(args.begin(), args.end(), row.flag) == args.end())
            continue;
        Invocation invocation{row.command, {}};
        if (row.defaultPath)
            invocation.argument = argumentAfter(args, row.flag).value_or(row.defaultPath);
        else if (row.command == Command::Stats)
            invocation.argument = argumentAfter(args, "--stats-dir");
        return invocation;
    }
    return {};
}

int run(const Invocation& invocation, std::ostream& out, std::ostream& err)
{
    switch (invocation.command) {
    case Command::Help:
        Usage::printHelp(out);
        break;
    case Command::Version:
        Usage::printVersion(out);
        break;
    case Command::Bench:
        StatsReport::printBench(out);
        break;
    case Command::Stats:
        StatsReport::printStats(invocation.argument, out);
        break;
    case Command::Card:
        return DebugRenders::writeCard(*invocation.argument, out, err);
    case Command::Sprites:
        return DebugRenders::writeSprites(*invocation.argument, out, err);
    case Command::NotchView:
        return DebugRenders::writeNotchDebug(*invocation.argument, 4, out, err);
    case Command::NotchCorner:
        return DebugRenders::writeNotchDebug(*invocation.argument, 8, out, err);
    case Command::Codex:
        printCodexReport(CodexParser::aggregateAll(), out);
        break;
    case Command::SyncDryRun:
        SyncDryRun::print(out, err);
        break;
    case Command::Application:
        break;
    }
    return 0;
}

} // namespace CommandLine
