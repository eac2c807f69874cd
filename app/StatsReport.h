#pragma once

#include "core/Stats.h"

#include <optional>
#include <ostream>
#include <string>

/// The statistics report commands: a build, timed, and its figures as text.
namespace StatsReport {

/// "--bench": two lines, the build time and the headline figures.
void printBench(std::ostream& out);

/// "--stats": the fourteen-line dump; dir replaces the Claude Code projects directory.
void printStats(const std::optional<std::string>& dir, std::ostream& out);

/// "--stats --json": the whole record as JSON, as the stats cache holds it, and a line feed.
void printStatsJson(const std::optional<std::string>& dir, std::ostream& out);

/// The fourteen lines for a record built in elapsedMs milliseconds.
void writeStats(const Stats& stats, double elapsedMs, std::ostream& out);

} // namespace StatsReport
