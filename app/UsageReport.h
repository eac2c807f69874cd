#pragma once

#include "app/CommandLine.h"

#include <ostream>
#include <string>
#include <vector>

/// The usage reports (--daily, --monthly, --projects, --models, --sessions) and the status line: one build, then a
/// table for people or JSON for scripts.
namespace UsageReport {

/// Runs the command with the options on the line; 2, with the usage on err, when they are wrong.
int run(Command command, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace UsageReport
