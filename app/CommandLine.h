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
    Application,
};

/// What to run, with the command's extra argument when it takes one.
struct Invocation
{
    Command command = Command::Application;
    /// Output path of a render, or the directory of "--stats-dir"; absent when none applies.
    std::optional<std::string> argument;
};

namespace CommandLine {

/// Chooses the command for the whole argument vector (program path included, compared like the rest).
Invocation parse(const std::vector<std::string>& args);

/// Runs a command-line command and returns the process status: 0, or 1 when a render could not be written.
/// Not for Command::Application.
int run(const Invocation& invocation, std::ostream& out, std::ostream& err);

} // namespace CommandLine
