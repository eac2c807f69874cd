#pragma once

#include "core/ClaudeReader.h"
#include "core/FileContribution.h"
#include "core/ParseScratch.h"
#include "core/ParsedLog.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// All Codex rollouts of the user, merged, and how many files there were.
struct CodexTotals
{
    FileContribution contribution;
    int64_t fileCount = 0;
};

/// The Codex rollout reader.
namespace CodexParser {

/// True for a rollout's file name: "rollout-" at the start and the extension "jsonl", as Codex writes it, or the
/// same followed by ".zst", as Codex compresses it once it has been idle for a while.
bool isRolloutName(std::string_view name);

/// True for the name of a compressed rollout (ending ".zst").
bool isCompressed(std::string_view name);

/// What stays the same of a rollout whatever Codex does to it (compress it, move it to the archive): its file
/// name without ".zst". Of several files with one identity only one counts.
std::string_view identityOf(std::string_view path);

/// How a copy of a rollout ranks among the copies of its identity, lowest first: the plain file before the
/// compressed one, the live folder before the archive (then the first path).
uint32_t precedence(std::string_view path, bool archived);

/// Every rollout (plain or compressed) under root at any depth, hidden entries skipped; unsorted.
std::vector<std::string> findRollouts(const std::string& root);

/// One rollout read in bounded chunks (all of its figures in base), with how the read ended; a rollout that is
/// not valid UTF-8 as a whole ends as InvalidUtf8 and contributes nothing, and so does a compressed one that does
/// not decompress completely (Undecodable).
LogRead readRollout(const std::string& path, ParseScratch& scratch);

/// What one rollout contributes; a file that cannot be read, or is not valid UTF-8, gives the empty contribution.
FileContribution parseFile(const std::string& path, ParseScratch& scratch);
FileContribution parseFile(const std::string& path);

/// The contribution of rollout text already in memory.
FileContribution parseBytes(std::string_view bytes, ParseScratch& scratch);

/// Lines added and removed by one apply_patch text.
LineCounts linesFromPatch(std::string_view patch);

/// Every rollout of Codex's sessions and archive folders parsed without the cache and merged, each identity once
/// (edited files and per-day buckets are not merged); the count is of rollouts, including those that contributed
/// nothing.
CodexTotals aggregateAll();

} // namespace CodexParser
