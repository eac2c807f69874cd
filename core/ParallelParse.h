#pragma once

#include "core/ParseScratch.h"
#include "core/ParsedLog.h"
#include "core/StoredLog.h"

#include <functional>
#include <string>
#include <vector>

/// One log file that a build has to read, and what reading it gave.
struct ParseJob
{
    std::string path;
    StatsEngine::LogKind kind = StatsEngine::LogKind::Claude;
    /// For the order of work only: the size last seen.
    int64_t sizeHint = 0;
    LogRead result;
};

namespace StatsEngine {

/// A fresh read of one log file with the reader of its kind.
LogRead readLog(const std::string& path, LogKind kind, ParseScratch& scratch);

} // namespace StatsEngine

/// Reads every job, spread over the machine's cores (largest files first, so that no core is left with a big file
/// at the end). Each job's result depends only on its file, so the outcome equals a serial run. done, when given,
/// is called on the calling thread for every job once it is read, in no set order and before this returns: the
/// caller takes in results while the other cores still read.
void parseInParallel(std::vector<ParseJob>& jobs, const std::function<void(ParseJob&)>& done = {});
