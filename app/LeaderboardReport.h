#pragma once

#include "app/CommandLine.h"
#include "sync/Leaderboard.h"

#include <ostream>

/// `korvel --leaderboard [--json]`: the three top-ten lists and, signed in, the user's own places.
namespace LeaderboardReport {

/// Reads the board and prints it; 0 when printed (or private mode said why nothing was read), 1 when the board
/// could not be read, with the reason on err.
int run(const Invocation& invocation, std::ostream& out, std::ostream& err);

void printText(const Leaderboard& board, bool signedIn, std::ostream& out);
void printJson(const Leaderboard& board, std::ostream& out);

} // namespace LeaderboardReport
