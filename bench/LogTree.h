#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// One log file of a home directory, with its size at listing time.
struct LogFile
{
    std::string path;
    uint64_t bytes = 0;
    bool codex = false;
};

/// The agent logs under one home directory, found the way the stats builder finds them.
struct LogTree
{
    std::vector<LogFile> files;
    uint64_t totalBytes = 0;
    uint64_t largestBytes = 0;

    uint64_t count(bool codex) const;
    uint64_t bytes(bool codex) const;
};

/// Transcripts under home/.claude/projects and rollouts under home/.codex/sessions.
LogTree listLogTree(const std::string& home);

/// Reads every file once, in small chunks, so that timings measure parsing rather than the disk.
void warmPageCache(const LogTree& tree);
