#pragma once

#include "core/FileStamp.h"
#include "core/FoldSummary.h"
#include "core/ParsedLog.h"

#include <cstdint>

namespace StatsEngine {

/// Which reader a log file needs.
enum class LogKind : uint8_t { Claude, Codex };

} // namespace StatsEngine

/// What the parse cache notes of a log file besides what it holds: its reader, its stamp when it was read, the zone
/// its days were made in, and whether the file is gone and what it held keeps counting (kept).
struct LogNote
{
    StatsEngine::LogKind kind = StatsEngine::LogKind::Claude;
    FileStamp stamp;
    /// A hash of the zone's name (TimeKit::zoneId): the record of another zone is read again while its file is there.
    uint64_t zone = 0;
    bool kept = false;

    bool operator==(const LogNote&) const = default;
};

/// One log file as the parse cache keeps it.
struct StoredLog
{
    LogNote note;
    ParsedLog log;
    /// Written by an earlier Korvel without some of today's detail: a log that is still there is read again.
    bool outdated = false;

    bool operator==(const StoredLog&) const = default;
};

/// Identifies a whole set of listed log files with their stamps (and the zone their days were made in).
struct Fingerprint
{
    uint64_t low = 0;
    uint64_t high = 0;

    bool operator==(const Fingerprint&) const = default;
};

/// The fold of one build, kept with the fingerprint of the files it was made from.
struct FoldSnapshot
{
    Fingerprint fingerprint;
    FoldSummary fold;

    bool operator==(const FoldSnapshot&) const = default;
};
