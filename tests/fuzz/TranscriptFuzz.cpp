// A whole transcript read from a file through the chunked reader, in chunks small enough that lines and
// characters cross chunk boundaries: the read completes and gives exactly what the same bytes give in memory,
// a sound contribution in which no response is counted twice.

#include "core/ClaudeReader.h"
#include "tests/fuzz/ChunkSizes.h"
#include "tests/fuzz/ContributionChecks.h"
#include "tests/fuzz/MemoryFile.h"
#include "tests/fuzz/Require.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static ParseScratch inMemory;
    static MemoryFile file;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    file.write(text);

    const LogRead read = StatsEngine::readClaudeLog(file.path(), scratchFor(data[0]));
    require(read.read.status == ReadStatus::Complete, "a transcript in a regular file is read to its end");
    require(read.read.stamp && read.read.stamp->size == static_cast<int64_t>(text.size()),
            "the read's stamp has the file's size");
    std::set<uint64_t> keys;
    for (const LoggedResponse& r : read.log.responses) {
        require(r.model < read.log.responseModels.size(), "a response's model is listed");
        require(r.day < static_cast<int32_t>(read.log.responseDays.size()), "a response's day is listed");
        require(r.key == 0 || keys.insert(r.key).second, "copies of a response are folded into one");
    }
    const FileContribution fromFile = read.log.contribution();
    ContributionChecks::requireSoundTranscript(fromFile);
    require(fromFile == StatsEngine::parseClaudeBytes(text, inMemory),
            "a transcript read in chunks gives what it gives in memory");
    return 0;
}
