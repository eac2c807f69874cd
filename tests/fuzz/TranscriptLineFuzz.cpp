// One transcript line: whatever it holds gives a sound contribution with at most one of everything, and written
// twice it counts twice, except a response with a message id, which counts once.

#include "core/ClaudeReader.h"
#include "tests/fuzz/ContributionChecks.h"
#include "tests/fuzz/Require.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

constexpr double kMostTokens = 1e12;

void requireOneLine(const FileContribution& c)
{
    ContributionChecks::requireSoundTranscript(c);
    require(c.prompts <= 1 && c.assistantMessages <= 1 && c.models.size() <= 1, "one line is one message at most");
    require(c.activeDays.size() <= 1 && c.perDay.size() <= 1, "one line falls on one day at most");
    require(c.editedFiles.size() <= 1, "one line edits one file at most");
    require(c.tokensIn <= kMostTokens && c.tokensOut <= kMostTokens && c.cacheRead <= kMostTokens &&
                c.cacheWrite <= kMostTokens,
            "no token count of a response is above 10^12");
}

// The figures that a response adds: the same once more when the copy is folded into it, or twice as much.
bool responseCountedAgain(const FileContribution& once, const FileContribution& twice, int times)
{
    return twice.assistantMessages == times * once.assistantMessages && twice.tokensIn == times * once.tokensIn &&
           twice.tokensOut == times * once.tokensOut && twice.cacheRead == times * once.cacheRead &&
           twice.cacheWrite == times * once.cacheWrite && twice.cost == times * once.cost;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ParseScratch scratch;
    std::string_view line(reinterpret_cast<const char*>(data), size);
    line = line.substr(0, line.find('\n'));

    const FileContribution once = StatsEngine::parseClaudeBytes(line, scratch);
    requireOneLine(once);

    const std::string doubled = std::string(line) + "\n" + std::string(line);
    const FileContribution twice = StatsEngine::parseClaudeBytes(doubled, scratch);
    ContributionChecks::requireSoundTranscript(twice);
    require(twice.prompts == 2 * once.prompts, "a prompt written twice counts twice");
    require(twice.linesAdded == 2 * once.linesAdded && twice.linesRemoved == 2 * once.linesRemoved,
            "an edit written twice counts twice");
    require(twice.editedFiles == once.editedFiles && twice.activeDays == once.activeDays,
            "a line written twice edits the same files on the same days");
    require(responseCountedAgain(once, twice, 1) || responseCountedAgain(once, twice, 2),
            "a response written twice counts once or twice, in every figure alike");
    return 0;
}
