#include "app/CommandLine.h"

#include "app/CodexReport.h"
#include "app/StatsReport.h"
#include "app/StatusLine.h"
#include "app/Usage.h"
#include "app/UsageReport.h"

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
    {"--daily",        Command::Daily,       nullptr},
    {"--monthly",      Command::Monthly,     nullptr},
    {"--projects",     Command::Projects,    nullptr},
    {"--models",       Command::Models,      nullptr},
    {"--sessions",     Command::Sessions,    nullptr},
    {"--statusline",   Command::StatusLine,  nullptr},
    {"--leaderboard",  Command::Leaderboard, nullptr},
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

bool wantsJson(const Invocation& invocation)
{
    return std::find(invocation.args.begin() + 1, invocation.args.end(), "--json") != invocation.args.end();
}

Invocation parse(const std::vector<std::string>& args)
{
    for (const FlagRow& row : kFlags) {
        if (std::find(args.begin(), args.end(), row.flag) == args.end())
            continue;
        Invocation invocation{row.command, {}, args};
        if (row.defaultPath)
            invocation.argument = argumentAfter(args, row.flag).value_or(row.defaultPath);
        else if (row.command == Command::Stats)
            invocation.argument = argumentAfter(args, "--stats-dir");
        return invocation;
    }
    return {Command::Application, {}, args};
}

bool isCommandFlag(const std::string& arg)
{
    return std::any_of(std::begin(kFlags), std::end(kFlags), [&](const FlagRow& row) { return arg == row.flag; });
}

bool needsDesktop(Command command)
{
    switch (command) {
    case Command::Card:
    case Command::Sprites:
    case Command::NotchView:
    case Command::NotchCorner:
    case Command::SyncDryRun:
    case Command::Leaderboard:
    case Command::Application:
        return true;
    default:
        return false;
    }
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
        if (wantsJson(invocation))
            StatsReport::printStatsJson(invocation.argument, out);
        else
            StatsReport::printStats(invocation.argument, out);
        break;
    case Command::Codex:
        printCodexReport(CodexParser::aggregateAll(), out);
        break;
    case Command::Daily:
    case Command::Monthly:
    case Command::Projects:
    case Command::Models:
    case Command::Sessions:
    case Command::StatusLine:
        return UsageReport::run(invocation.command, invocation.args, out, err);
    default:
        break;
    }
    return 0;
}

} // namespace CommandLine
