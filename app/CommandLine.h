#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

/// The one command a command line asks for; the first flag of this list found anywhere on the line wins.
enum class Command {
    Help,
    Version,
    Bench,
    Stats,
    Card,
    Sprites,
    NotchView,
    NotchCorner,
    Codex,
    SyncDryRun,
    Daily,
    Monthly,
    Projects,
    Models,
    Sessions,
    StatusLine,
    Leaderboard,
    Application,
};

/// What to run, with the command's extra argument when it takes one.
struct Invocation
{
    Command command = Command::Application;
    /// Output path of a render, or the directory of "--stats-dir"; absent when none applies.
    std::optional<std::string> argument;
    /// The whole line, program path first, for the commands that take options.
    std::vector<std::string> args;
};

namespace CommandLine {

/// Chooses the command for the whole argument vector (program path included, compared like the rest).
Invocation parse(const std::vector<std::string>& args);

/// True when "--json" follows the program path anywhere on the line.
bool wantsJson(const Invocation& invocation);

/// True for an argument that names a command.
bool isCommandFlag(const std::string& arg);

/// The commands that need the desktop libraries (a display, fonts, the account), and the application itself.
bool needsDesktop(Command command);

/// Runs a command that needs no desktop and returns the process status: 0, or 2 when a report's options are wrong
/// (the usage then goes to err).
int run(const Invocation& invocation, std::ostream& out, std::ostream& err);

} // namespace CommandLine
