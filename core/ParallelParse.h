#pragma once

#include "core/FileStamp.h"
#include "core/ParseCache.h"

#include <optional>
#include <string>
#include <vector>

/// One log file that a build has to parse, and where its result goes.
struct ParseJob
{
    size_t index = 0;
    std::string path;
    StatsEngine::LogKind kind = StatsEngine::LogKind::Claude;
    std::optional<FileStamp> stamp;
    FileContribution result;
};

/// Parses every job, spread over the machine's cores (largest files first, so that no core is left with a big
/// file at the end). Each job's result depends only on its file, so the outcome equals a serial run.
void parseInParallel(std::vector<ParseJob>& jobs);
