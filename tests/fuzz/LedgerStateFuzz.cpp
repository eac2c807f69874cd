// The parse cache's ledger state, from bytes that carry a right checksum: a state that decodes has ascending keys
// and days, gives a summary, and re-encodes to a state that decodes equal (and re-encodes to the same bytes).

#include "core/RecordCodec.h"
#include "tests/fuzz/RecordSeal.h"
#include "tests/fuzz/Require.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    RecordSeal::requireSameSealAsCodec();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto decoded = RecordCodec::decodeState(RecordSeal::snapshot(input));
    if (!decoded)
        return 0;
    require(std::is_sorted(decoded->keys.begin(), decoded->keys.end()), "a decoded state's keys ascend");
    for (const auto& [path, days] : decoded->fileDays)
        require(std::is_sorted(days.begin(), days.end()), "a decoded state's days ascend");
    const FoldSummary summary = decoded->summary();
    require(summary.fileDayEnds.size() == decoded->fileDays.size(), "every file's days are in the summary");
    const std::string again = RecordCodec::encode(*decoded);
    const auto redecoded = RecordCodec::decodeState(again);
    require(redecoded && *redecoded == *decoded, "a decoded state re-encodes to one that decodes equal");
    require(RecordCodec::encode(*redecoded) == again, "a re-encoded state is its own encoding");
    return 0;
}
