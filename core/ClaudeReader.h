#pragma once

#include "core/FileContribution.h"
#include "core/ParseScratch.h"
#include "core/ParsedLog.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// Lines added and removed by one edit.
struct LineCounts
{
    int64_t added = 0;
    int64_t removed = 0;

    bool operator==(const LineCounts&) const = default;
};

/// The Claude Code transcript reader.
namespace StatsEngine {

/// Every transcript (extension "jsonl") under root at any depth, hidden entries skipped; unsorted.
std::vector<std::string> findLogFiles(const std::string& root);

/// One transcript read in bounded chunks, its responses kept apart; with how the read ended.
LogRead readClaudeLog(const std::string& path, ParseScratch& scratch);

/// What one transcript contributes; an unreadable file gives the empty contribution.
FileContribution parseClaudeFile(const std::string& path, ParseScratch& scratch);
FileContribution parseClaudeFile(const std::string& path);

/// The contribution of transcript text already in memory (used for files and by tests alike).
FileContribution parseClaudeBytes(std::string_view bytes, ParseScratch& scratch);

} // namespace StatsEngine
