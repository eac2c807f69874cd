// A whole Codex rollout read from a file through the chunked reader, in chunks small enough that lines and
// characters cross chunk boundaries: the read completes exactly when the bytes are valid UTF-8, and gives what the
// same bytes give in memory, a sound contribution with token figures that one response could have.

#include "core/CodexParser.h"
#include "tests/fuzz/ChunkSizes.h"
#include "tests/fuzz/ContributionChecks.h"
#include "tests/fuzz/MemoryFile.h"
#include "tests/fuzz/Require.h"

#include <cstddef>
#include <cstdint>
#include <simdjson.h>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static ParseScratch inMemory;
    static MemoryFile file;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    file.write(text);

    const LogRead read = CodexParser::readRollout(file.path(), scratchFor(data[0]));
    const bool utf8 = simdjson::validate_utf8(text.data(), text.size());
    require(read.read.status == (utf8 ? ReadStatus::Complete : ReadStatus::InvalidUtf8),
            "a rollout is read to its end exactly when it is valid UTF-8");
    require(read.log.responses.empty(), "a rollout books its responses into its totals");
    const FileContribution& c = read.log.base;
    ContributionChecks::requireSound(c);
    require(utf8 || c == FileContribution{}, "a rollout that is not UTF-8 contributes nothing");
    constexpr double kMostTokens = 1e12;
    require(c.tokensIn <= kMostTokens && c.tokensOut <= kMostTokens && c.cacheRead <= kMostTokens &&
                c.cacheWrite == 0 && c.models.size() <= 1,
            "a rollout's totals are one model's, each at most 10^12");
    require(c == CodexParser::parseBytes(text, inMemory), "a rollout read in chunks gives what it gives in memory");
    return 0;
}
