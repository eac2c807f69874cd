#pragma once

#include "core/LedgerTotals.h"
#include "core/StoredLog.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

/// What a new process needs to bring the fold up to date after a few log files changed without reading every
/// record: the exact totals, each counted file's active days, and which response keys and rollout identities
/// more than one file holds (only the files that share with a changed one are read then). Saved with the
/// snapshot, for the same listing.
struct LedgerState
{
    /// The zone, roots and setting the state belongs to.
    Fingerprint setting;
    LedgerTotals totals;
    /// Files that count.
    int64_t counted = 0;
    /// Every file the ledger holds, with its note.
    std::map<std::string, LogNote> notes;
    /// The active days (day numbers, ascending) of every counted file that has any.
    std::map<std::string, std::vector<int64_t>> fileDays;
    /// The low 32 bits of every response key held, ascending: enough to tell that a new response is held nowhere
    /// else (a rare false match only costs reading every record).
    std::vector<uint32_t> keys;

    static uint32_t shortKey(uint64_t key) { return static_cast<uint32_t>(key); }
    bool mayHold(uint64_t key) const { return std::binary_search(keys.begin(), keys.end(), shortKey(key)); }
    /// The holders of every key that more than one file holds.
    std::map<uint64_t, std::vector<std::string>> shared;
    /// The files of every rollout identity that more than one file has.
    std::map<std::string, std::vector<std::string>> rivals;

    /// The summary: the totals and the files' active days.
    FoldSummary summary() const;

    /// Swaps a group of files: touched holds every file that shares a response key or a rollout's identity with one
    /// of them, was describes the group as this state holds it (oldKeys: the keys its files held), now as it is.
    /// Notes are the caller's.
    void replaceGroup(const std::set<std::string>& touched, const std::set<uint64_t>& oldKeys, const LedgerState& was,
                      LedgerState now);

    bool operator==(const LedgerState&) const = default;
};
