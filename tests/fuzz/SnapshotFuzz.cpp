// The parse cache's snapshot of a fold, from bytes that carry a right checksum: a snapshot that decodes holds
// finite figures, ascending days and file runs that end within the list, and re-encodes to a snapshot that decodes
// equal (and re-encodes to the same bytes).

#include "core/RecordCodec.h"
#include "tests/fuzz/RecordSeal.h"
#include "tests/fuzz/Require.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

void requireSound(const FoldSummary& f)
{
    for (const double v : {f.tokensIn, f.tokensOut, f.cacheRead, f.cacheWrite, f.cost})
        require(std::isfinite(v), "a decoded snapshot's totals are finite");
    require(f.firstTs.has_value() == f.lastTs.has_value() && (!f.firstTs || *f.firstTs <= *f.lastTs),
            "a decoded snapshot's time range is whole and ordered");
    require(std::is_sorted(f.activeDays.begin(), f.activeDays.end()), "a decoded snapshot's days ascend");
    uint32_t begin = 0;
    for (const uint32_t end : f.fileDayEnds) {
        require(begin <= end && end <= f.fileDays.size(), "a file's run of days ends within the list");
        require(std::is_sorted(f.fileDays.begin() + begin, f.fileDays.begin() + end), "a file's days ascend");
        begin = end;
    }
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
    const auto decoded = RecordCodec::decodeSnapshot(RecordSeal::snapshot(input));
    if (!decoded)
        return 0;
    requireSound(decoded->fold);
    const std::string again = RecordCodec::encode(*decoded);
    const auto redecoded = RecordCodec::decodeSnapshot(again);
    require(redecoded && *redecoded == *decoded, "a decoded snapshot re-encodes to one that decodes equal");
    require(RecordCodec::encode(*redecoded) == again, "a re-encoded snapshot is its own encoding");
    return 0;
}
