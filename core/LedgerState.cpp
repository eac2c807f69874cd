#include "core/LedgerState.h"

#include "core/CodexParser.h"

#include <iterator>

FoldSummary LedgerState::summary() const
{
    FoldSummary s = totals.summary(counted);
    for (const auto& [path, days] : fileDays) {
        s.fileDays.insert(s.fileDays.end(), days.begin(), days.end());
        s.fileDayEnds.push_back(static_cast<uint32_t>(s.fileDays.size()));
    }
    return s;
}

void LedgerState::replaceGroup(const std::set<std::string>& touched, const std::set<uint64_t>& oldKeys,
                               const LedgerState& was, LedgerState now)
{
    totals.merge(was.totals, -1);
    totals.merge(now.totals, +1);
    counted += now.counted - was.counted;
    for (const std::string& path : touched) {
        fileDays.erase(path);
        rivals.erase(std::string(CodexParser::identityOf(path)));
    }
    fileDays.merge(now.fileDays);
    rivals.merge(now.rivals);
    for (const uint64_t key : oldKeys)
        shared.erase(key);
    shared.merge(now.shared);
    // Short keys that only the group held go; two keys may share one, so it is counted out once per key.
    std::multiset<uint32_t> gone;
    for (const uint64_t key : oldKeys)
        gone.insert(shortKey(key));
    std::vector<uint32_t> staying;
    staying.reserve(keys.size());
    for (const uint32_t key : keys) {
        if (const auto it = gone.find(key); it != gone.end())
            gone.erase(it);
        else
            staying.push_back(key);
    }
    keys.clear();
    std::merge(staying.begin(), staying.end(), now.keys.begin(), now.keys.end(), std::back_inserter(keys));
}
