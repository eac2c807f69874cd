#pragma once

#include "core/FoldSummary.h"
#include "core/LedgerState.h"
#include "core/LedgerTotals.h"
#include "core/ParsedLog.h"

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

/// Which log a file is a copy of, and how it ranks among the copies; an empty identity has no rivals.
struct LogRivalry
{
    std::string identity;
    uint32_t rank = 0;

    bool operator==(const LogRivalry&) const = default;
};

/// The fold of every log file of a build, kept up to date file by file. A response that several transcripts
/// repeat (a resumed session starts with copies of the earlier one's lines) counts once, in the transcript whose
/// full path comes first in byte order, with the result it has there. Files that are copies of one log (rivals:
/// the same identity) count once, the one of lowest rank, then first path. Sums are exact, so the summary is the
/// same whatever order the files came and went in: a ledger updated after a change equals one built from scratch.
class StatsLedger
{
public:
    using Rivalry = LogRivalry;

    /// Sets what the log file at path holds, replacing what it held before.
    void put(const std::string& path, ParsedLog log, Rivalry rivalry = {});
    /// Changes how the file at path ranks among its rivals (nothing happens when it is not there).
    void rerank(const std::string& path, uint32_t rank);
    /// Forgets the log file at path (nothing happens when it is not there).
    void remove(const std::string& path);

    bool contains(const std::string& path) const { return m_files.contains(path); }
    size_t size() const { return m_files.size(); }
    /// What the file at path holds, or null.
    const ParsedLog* find(const std::string& path) const;

    FoldSummary summary() const;

    /// Fills what the state holds of the ledger: totals, counted files and their days, keys, sharing and rivals.
    void describe(LedgerState& state) const;

    /// Calls visit(path, base, counted) for every file that counts, in path order: what it holds besides its
    /// responses, and the figures of the responses that count in it.
    template <typename Visit> void forEachCounted(Visit&& visit) const
    {
        for (const auto& [path, slot] : m_files)
            if (slot.active)
                visit(path, slot.log.base, slot.counted);
    }

private:
    struct Slot
    {
        ParsedLog log;
        /// The figures of the responses that count here, as they stand in the totals.
        FileContribution counted;
        Rivalry rivalry;
        /// Counts: has no rival that ranks before it.
        bool active = false;
    };
    using Entry = std::map<std::string, Slot, std::less<>>::value_type;

    void attach(Entry& entry, std::vector<Entry*>& displaced);
    void detach(Entry& entry, std::vector<Entry*>& displaced);
    void activate(Entry& entry);
    void deactivate(Entry& entry);
    void join(Entry& entry);
    void leave(Entry& entry);
    bool counts(const Entry& entry, const LoggedResponse& response) const;
    void recount(Entry& entry);
    void recountAll(std::vector<Entry*>& entries, const Entry* done);

    std::map<std::string, Slot, std::less<>> m_files;
    /// For every response key, the holder whose path comes first: the one it counts in.
    std::unordered_map<uint64_t, Entry*> m_owner;
    /// Further holders of repeated keys, in path order.
    std::unordered_map<uint64_t, std::vector<Entry*>> m_others;
    /// The files of every identity with rivals, best first.
    std::unordered_map<std::string, std::vector<Entry*>> m_rivals;
    int64_t m_active = 0;
    LedgerTotals m_totals;
};
