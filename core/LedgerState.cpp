#include "core/LedgerState.h"

FoldSummary LedgerState::summary() const
{
    FoldSummary s = totals.summary(counted);
    for (const auto& [path, days] : fileDays) {
        s.fileDays.insert(s.fileDays.end(), days.begin(), days.end());
        s.fileDayEnds.push_back(static_cast<uint32_t>(s.fileDays.size()));
    }
    return s;
}
