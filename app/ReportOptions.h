#pragma once

#include "core/UsageRows.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

/// The options of the usage reports and the status line, as the command line gives them.
struct ReportOptions
{
    DayRange range;
    bool json = false;
    /// Sessions listed; 0 lists every one.
    size_t limit = 20;
    /// Replaces the Claude Code projects directory, as for --stats.
    std::optional<std::string> statsDir;

    /// Reads every argument after the program path; the command flags themselves are skipped (the first one on
    /// the line chose the command, the others are ignored). The error, when there is one, says what is wrong in
    /// one line.
    static std::optional<ReportOptions> parse(const std::vector<std::string>& args, std::string& error);
};
