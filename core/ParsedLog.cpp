#include "core/ParsedLog.h"

#include "core/Pricing.h"

FileContribution ParsedLog::contribution(const std::function<bool(size_t)>& counts) const
{
    FileContribution out = base;
    book(out, counts);
    return out;
}

FileContribution ParsedLog::responseFigures(const std::function<bool(size_t)>& counts) const
{
    FileContribution out;
    book(out, counts);
    return out;
}

void ParsedLog::book(FileContribution& out, const std::function<bool(size_t)>& counts) const
{
    std::vector<Rate> rates;
    rates.reserve(responseModels.size());
    for (const std::string& model : responseModels)
        rates.push_back(Pricing::baseFor(model));
    // Responses come in runs of one day and one model: only a new pair is worth a set insertion.
    std::pair<int32_t, uint32_t> lastDayModel{-1, 0};
    for (size_t i = 0; i < responses.size(); ++i) {
        if (!counts(i))
            continue;
        const LoggedResponse& r = responses[i];
        ModelAcc& acc = out.models[responseModels[r.model]];
        acc.messages += 1;
        acc.input += r.input;
        acc.output += r.output;
        acc.cacheRead += r.cacheRead;
        acc.cacheWrite += r.cacheWrite;
        out.assistantMessages += 1;
        const double cost =
            Pricing::costOf(rates[r.model], r.input, r.output, r.cacheRead, r.cacheWrite, r.cacheWrite1h);
        acc.cost += cost;
        out.tokensIn += r.input;
        out.tokensOut += r.output;
        out.cacheRead += r.cacheRead;
        out.cacheWrite += r.cacheWrite;
        out.cost += cost;
        if (r.day >= 0) {
            DayBucket& bucket = out.perDay[responseDays[static_cast<size_t>(r.day)]];
            bucket.cost += cost;
            bucket.tokens += r.input + r.output;
            bucket.input += r.input;
            bucket.output += r.output;
            bucket.cacheRead += r.cacheRead;
            bucket.cacheWrite += r.cacheWrite;
            if (lastDayModel != std::pair(r.day, r.model))
                bucket.models.insert(responseModels[r.model]);
            lastDayModel = {r.day, r.model};
        }
    }
}

FileContribution ParsedLog::contribution() const
{
    return contribution([](size_t) { return true; });
}
