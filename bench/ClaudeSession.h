#pragma once

#include "bench/FileSink.h"
#include "bench/Random.h"
#include "bench/TextPool.h"

#include <cstdint>
#include <string>

/// What one synthetic Claude Code transcript is about.
struct ClaudeSessionPlan
{
    std::string sessionId;
    std::string cwd;
    std::string gitBranch;
    std::string version;
    std::string model;
    int64_t startMs = 0;
    uint64_t targetBytes = 0;
    /// Whether a line of 0.5-3 MB (a large file read or written) may appear.
    bool allowHugeLines = false;
};

/// Writes a transcript shaped like Claude Code's own until it holds about plan.targetBytes.
void writeClaudeSession(const ClaudeSessionPlan& plan, const TextPool& pool, Random& random, FileSink& sink);
