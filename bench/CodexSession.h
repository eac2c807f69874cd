#pragma once

#include "bench/FileSink.h"
#include "bench/Random.h"
#include "bench/TextPool.h"

#include <cstdint>
#include <string>

/// What one synthetic Codex rollout is about.
struct CodexSessionPlan
{
    std::string id;
    std::string cwd;
    std::string repository;
    std::string model;
    std::string cliVersion;
    int64_t startMs = 0;
    uint64_t targetBytes = 0;
};

/// Writes a rollout shaped like the Codex CLI's own until it holds about plan.targetBytes.
void writeCodexSession(const CodexSessionPlan& plan, const TextPool& pool, Random& random, FileSink& sink);
