#pragma once

#include <ostream>

/// What `korvel --help` and `korvel --version` print.
namespace Usage {

void printHelp(std::ostream& out);
/// The short usage of the reports, printed with an error about their options.
void printReportUsage(std::ostream& out);
/// "korvel" and the version, on one line.
void printVersion(std::ostream& out);

} // namespace Usage
