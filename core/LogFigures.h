#pragma once

#include "core/FileContribution.h"
#include "core/StoredLog.h"

#include <string>

/// One log file that counts, as the reports see it: what it holds besides its API responses, and the figures of the
/// responses that count in it (a response repeated by an earlier transcript counts there, not here).
struct LogFigures
{
    const std::string& path;
    StatsEngine::LogKind kind;
    const FileContribution& base;
    const FileContribution& counted;
};
