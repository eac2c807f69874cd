#include "core/LedgerTotals.h"

#include "core/Hash64.h"

namespace {

template <typename Map, typename Key> void adjustCount(Map& map, const Key& key, int64_t delta)
{
    const auto it = map.try_emplace(key, 0).first;
    it->second += delta;
    if (it->second == 0)
        map.erase(it);
}

void addTo(ExactSum& sum, double value, int sign)
{
    if (sign > 0)
        sum.add(value);
    else
        sum.subtract(value);
}

void addSum(ExactSum& sum, const ExactSum& other, int sign)
{
    if (sign > 0)
        sum.add(other);
    else
        sum.subtract(other);
}

} // namespace

void LedgerTotals::apply(const FileContribution& c, int sign)
{
    for (const auto& [id, acc] : c.models) {
        const auto it = models.try_emplace(id).first;
        Model& m = it->second;
        m.messages += sign * acc.messages;
        addTo(m.input, acc.input, sign);
        addTo(m.output, acc.output, sign);
        addTo(m.cacheRead, acc.cacheRead, sign);
        addTo(m.cacheWrite, acc.cacheWrite, sign);
        addTo(m.cost, acc.cost, sign);
        if ((m.parts += sign) == 0)
            models.erase(it);
    }
    for (size_t h = 0; h < byHour.size(); ++h)
        byHour[h] += sign * c.byHour[h];
    prompts += sign * c.prompts;
    assistantMessages += sign * c.assistantMessages;
    linesAdded += sign * c.linesAdded;
    linesRemoved += sign * c.linesRemoved;
    addTo(tokensIn, c.tokensIn, sign);
    addTo(tokensOut, c.tokensOut, sign);
    addTo(cacheRead, c.cacheRead, sign);
    addTo(cacheWrite, c.cacheWrite, sign);
    addTo(cost, c.cost, sign);
    for (const auto& [day, bucket] : c.perDay) {
        const auto it = perDay.try_emplace(day).first;
        Day& d = it->second;
        d.linesAdded += sign * bucket.linesAdded;
        d.linesRemoved += sign * bucket.linesRemoved;
        d.prompts += sign * bucket.prompts;
        d.sessions += sign * bucket.sessions;
        addTo(d.cost, bucket.cost, sign);
        addTo(d.tokens, bucket.tokens, sign);
        addTo(d.input, bucket.input, sign);
        addTo(d.output, bucket.output, sign);
        addTo(d.cacheRead, bucket.cacheRead, sign);
        addTo(d.cacheWrite, bucket.cacheWrite, sign);
        for (const std::string& model : bucket.models)
            adjustCount(d.models, model, sign);
        if ((d.parts += sign) == 0)
            perDay.erase(it);
    }
    for (const std::string& day : c.activeDays)
        adjustCount(activeDays, day, sign);
    for (const std::string& path : c.editedFiles)
        adjustCount(editedFiles, hash64(path), sign);
    if (c.minTs)
        adjustCount(minTs, *c.minTs, sign);
    if (c.maxTs)
        adjustCount(maxTs, *c.maxTs, sign);
}

void LedgerTotals::merge(const LedgerTotals& o, int sign)
{
    for (const auto& [id, theirs] : o.models) {
        const auto it = models.try_emplace(id).first;
        Model& m = it->second;
        m.messages += sign * theirs.messages;
        for (auto [mine, other] : {std::pair(&m.input, &theirs.input), std::pair(&m.output, &theirs.output),
                                   std::pair(&m.cacheRead, &theirs.cacheRead),
                                   std::pair(&m.cacheWrite, &theirs.cacheWrite), std::pair(&m.cost, &theirs.cost)})
            addSum(*mine, *other, sign);
        if ((m.parts += sign * theirs.parts) == 0)
            models.erase(it);
    }
    for (size_t h = 0; h < byHour.size(); ++h)
        byHour[h] += sign * o.byHour[h];
    prompts += sign * o.prompts;
    assistantMessages += sign * o.assistantMessages;
    linesAdded += sign * o.linesAdded;
    linesRemoved += sign * o.linesRemoved;
    for (auto [mine, other] :
         {std::pair(&tokensIn, &o.tokensIn), std::pair(&tokensOut, &o.tokensOut), std::pair(&cacheRead, &o.cacheRead),
          std::pair(&cacheWrite, &o.cacheWrite), std::pair(&cost, &o.cost)})
        addSum(*mine, *other, sign);
    for (const auto& [key, theirs] : o.perDay) {
        const auto it = perDay.try_emplace(key).first;
        Day& d = it->second;
        d.linesAdded += sign * theirs.linesAdded;
        d.linesRemoved += sign * theirs.linesRemoved;
        d.prompts += sign * theirs.prompts;
        d.sessions += sign * theirs.sessions;
        for (auto [mine, other] :
             {std::pair(&d.cost, &theirs.cost), std::pair(&d.tokens, &theirs.tokens),
              std::pair(&d.input, &theirs.input), std::pair(&d.output, &theirs.output),
              std::pair(&d.cacheRead, &theirs.cacheRead), std::pair(&d.cacheWrite, &theirs.cacheWrite)})
            addSum(*mine, *other, sign);
        for (const auto& [model, count] : theirs.models)
            adjustCount(d.models, model, sign * count);
        if ((d.parts += sign * theirs.parts) == 0)
            perDay.erase(it);
    }
    for (const auto& [day, count] : o.activeDays)
        adjustCount(activeDays, day, sign * count);
    for (const auto& [path, count] : o.editedFiles)
        adjustCount(editedFiles, path, sign * count);
    for (const auto& [t, count] : o.minTs)
        adjustCount(minTs, t, sign * count);
    for (const auto& [t, count] : o.maxTs)
        adjustCount(maxTs, t, sign * count);
}

FoldSummary LedgerTotals::summary(int64_t logFiles) const
{
    FoldSummary s;
    for (const auto& [id, m] : models)
        s.models[id] = ModelAcc{m.messages,          m.input.value(),      m.output.value(),
                                m.cacheRead.value(), m.cacheWrite.value(), m.cost.value()};
    s.byHour = byHour;
    s.prompts = prompts;
    s.assistantMessages = assistantMessages;
    s.tokensIn = tokensIn.value();
    s.tokensOut = tokensOut.value();
    s.cacheRead = cacheRead.value();
    s.cacheWrite = cacheWrite.value();
    s.linesAdded = linesAdded;
    s.linesRemoved = linesRemoved;
    s.cost = cost.value();
    s.filesEdited = static_cast<int64_t>(editedFiles.size());
    if (!minTs.empty())
        s.firstTs = minTs.begin()->first;
    if (!maxTs.empty())
        s.lastTs = maxTs.rbegin()->first;
    for (const auto& [day, d] : perDay) {
        DayBucket& bucket = s.perDay[day];
        bucket.linesAdded = d.linesAdded;
        bucket.cost = d.cost.value();
        bucket.tokens = d.tokens.value();
        bucket.linesRemoved = d.linesRemoved;
        bucket.prompts = d.prompts;
        bucket.sessions = d.sessions;
        bucket.input = d.input.value();
        bucket.output = d.output.value();
        bucket.cacheRead = d.cacheRead.value();
        bucket.cacheWrite = d.cacheWrite.value();
        for (const auto& [model, count] : d.models)
            bucket.models.insert(model);
    }
    for (const auto& [day, count] : activeDays)
        s.activeDays.push_back(day);
    s.logFiles = logFiles;
    return s;
}
