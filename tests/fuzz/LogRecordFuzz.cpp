// The parse cache's record of one log file, from bytes that carry a right checksum: a record that decodes holds
// only finite figures and listed models and days, re-encodes to a record that decodes equal (and re-encodes to the
// same bytes), and can be folded into the totals and taken out again without a trace.

#include "core/RecordCodec.h"
#include "core/StatsLedger.h"
#include "tests/fuzz/RecordSeal.h"
#include "tests/fuzz/Require.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kPath = "/home/dev/.claude/projects/-home-dev-app/session.jsonl";

void requireFoldable(const StoredLog& stored)
{
    StatsLedger ledger;
    ledger.put(std::string(kPath), stored.log);
    const FoldSummary fold = ledger.summary();
    require(std::isfinite(fold.tokensIn) && std::isfinite(fold.tokensOut) && std::isfinite(fold.cacheRead) &&
                std::isfinite(fold.cacheWrite) && std::isfinite(fold.cost),
            "a decoded record folds into finite totals");
    ledger.remove(std::string(kPath));
    require(ledger.summary() == StatsLedger().summary(), "a record taken out of the totals leaves no trace");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    RecordSeal::requireSameSealAsCodec();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto stored = RecordCodec::decodeLog(kPath, RecordSeal::logRecord(kPath, input));
    if (!stored)
        return 0;
    for (const LoggedResponse& r : stored->log.responses)
        require(r.model < stored->log.responseModels.size() &&
                    r.day < static_cast<int32_t>(stored->log.responseDays.size()) && r.day >= -1,
                "a decoded response's model and day are listed");
    require(std::isfinite(stored->note.stamp.mtime), "a decoded stamp is finite");

    const std::string again = RecordCodec::encode(kPath, stored->note, stored->log);
    const auto redecoded = RecordCodec::decodeLog(kPath, again);
    // Written again, a record of the previous layout is one of today's: equal in all but being outdated.
    require(redecoded && !redecoded->outdated && redecoded->note == stored->note && redecoded->log == stored->log,
            "a decoded record re-encodes to one that decodes equal");
    require(RecordCodec::encode(kPath, redecoded->note, redecoded->log) == again,
            "a re-encoded record is its own encoding");
    require(!RecordCodec::decodeLog("/another/file.jsonl", again), "a record never passes for another file's");
    requireFoldable(*stored);
    return 0;
}
