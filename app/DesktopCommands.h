#pragma once

#include "app/CommandLine.h"

#include <ostream>

/// The commands that need the desktop libraries: the renders, the leaderboard dry run and the leaderboard.
namespace DesktopCommands {

/// Runs one of them and returns the process status: 0, or 1 when a render could not be written or the leaderboard
/// could not be read.
int run(const Invocation& invocation, std::ostream& out, std::ostream& err);

} // namespace DesktopCommands
