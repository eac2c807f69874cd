#pragma once

#include <ostream>

/// "--sync-dry-run": builds the statistics as "--stats" does and prints the leaderboard request that a sync would
/// send, without sending it. Works without a display, a keyring or a network.
namespace SyncDryRun {

/// The request on out; a backend configuration that keeps sync off is reported on err (the request still prints).
void print(std::ostream& out, std::ostream& err);

} // namespace SyncDryRun
