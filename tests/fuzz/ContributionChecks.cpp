#include "tests/fuzz/ContributionChecks.h"

#include "tests/fuzz/Require.h"

#include <cmath>
#include <numeric>

namespace ContributionChecks {
namespace {

bool usable(double v)
{
    return std::isfinite(v) && v >= 0;
}

// Token counts of one response are at most 10^12, and a fuzzer's input holds few responses: sums of them are
// exact unless a count has a fraction, when the order of the additions may show in the last bits.
bool sameSum(double a, double b)
{
    return std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

} // namespace

void requireSound(const FileContribution& c)
{
    require(c.prompts >= 0 && c.assistantMessages >= 0, "message counts are not negative");
    require(c.linesAdded >= 0 && c.linesRemoved >= 0, "line counts are not negative");
    require(usable(c.tokensIn) && usable(c.tokensOut) && usable(c.cacheRead) && usable(c.cacheWrite),
            "token sums are finite and not negative");
    require(usable(c.cost), "the cost is finite and not negative");
    for (const auto& [model, acc] : c.models) {
        require(acc.messages >= 0, "a model's message count is not negative");
        require(usable(acc.input) && usable(acc.output) && usable(acc.cacheRead) && usable(acc.cacheWrite),
                "a model's token sums are finite and not negative");
    }
    for (const auto& [day, bucket] : c.perDay) {
        require(bucket.linesAdded >= 0 && usable(bucket.cost) && usable(bucket.tokens),
                "a day's figures are finite and not negative");
        require(c.activeDays.contains(day), "a day with figures is an active day");
    }
    require(c.minTs.has_value() == c.maxTs.has_value(), "the time range is both ends or none");
    require(!c.minTs || (std::isfinite(*c.minTs) && *c.minTs <= *c.maxTs), "the time range is finite and ordered");
    const int64_t hours = std::accumulate(c.byHour.begin(), c.byHour.end(), int64_t{0});
    for (const int64_t h : c.byHour)
        require(h >= 0, "hour counts are not negative");
    require((hours > 0) == c.minTs.has_value() && c.activeDays.empty() != c.minTs.has_value(),
            "timestamped lines give hours, days and a time range together");
    require(c.editedFiles.empty() || c.linesAdded + c.linesRemoved > 0, "an edited file comes with edited lines");
}

void requireSoundTranscript(const FileContribution& c)
{
    requireSound(c);
    ModelAcc sum;
    for (const auto& [model, acc] : c.models)
        sum.add(acc);
    require(sum.messages == c.assistantMessages, "the models' messages add up to the file's");
    require(sameSum(sum.input, c.tokensIn) && sameSum(sum.output, c.tokensOut) && sameSum(sum.cacheRead, c.cacheRead) &&
                sameSum(sum.cacheWrite, c.cacheWrite),
            "the models' tokens add up to the file's");
}

} // namespace ContributionChecks
