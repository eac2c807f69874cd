#pragma once

#include "core/StatsBuilder.h"
#include "core/TimeKit.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZoneGuard.h"

#include <gtest/gtest.h>
#include <string>
#include <string_view>

/// A home of agent logs in a fresh folder, with its parse cache beside them, built at noon UTC on 2025-06-15.
class BuildHome : public ::testing::Test
{
protected:
    ZoneGuard zone{"UTC"};
    TempDir dir;
    LogLocations where{.claudeRoot = dir.path() + "/claude/projects",
                       .codexSessions = dir.path() + "/codex/sessions",
                       .codexArchive = dir.path() + "/codex/archived_sessions",
                       .parseCachePath = dir.path() + "/parse-cache.db"};
    double now = *TimeKit::epoch("2025-06-15T12:00:00Z");

    /// A transcript at name (".jsonl" added) under the Claude Code root.
    std::string transcript(std::string_view name, std::string_view content)
    {
        return dir.write("claude/projects/" + std::string(name) + ".jsonl", content);
    }
    /// A file at relative under the Codex home.
    std::string rollout(std::string_view relative, std::string_view content)
    {
        return dir.write("codex/" + std::string(relative), content);
    }
    /// A build by a new process.
    Stats fresh() { return StatsBuilder().build(where, now); }
};
