#include "core/StatsLedger.h"

#include "core/TimeKit.h"

#include <algorithm>
#include <tuple>

namespace {

template <typename Map, typename Key> void adjustCount(Map& map, const Key& key, int sign)
{
    const auto it = map.try_emplace(key, 0).first;
    it->second += sign;
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

} // namespace

void StatsLedger::Totals::apply(const FileContribution& c, int sign)
{
    for (const auto& [id, acc] : c.models) {
        const auto it = models.try_emplace(id).first;
        ExactModel& m = it->second;
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
        ExactDay& d = it->second;
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
        adjustCount(editedFiles, path, sign);
    if (c.minTs)
        adjustCount(minTs, *c.minTs, sign);
    if (c.maxTs)
        adjustCount(maxTs, *c.maxTs, sign);
}

const ParsedLog* StatsLedger::find(const std::string& path) const
{
    const auto it = m_files.find(path);
    return it == m_files.end() ? nullptr : &it->second.log;
}

void StatsLedger::put(const std::string& path, ParsedLog log, Rivalry rivalry)
{
    auto it = m_files.find(path);
    if (it != m_files.end() && it->second.active && rivalry.identity.empty() && it->second.rivalry.identity.empty()) {
        // A file without rivals that stays counted: one pass over the holders it displaces.
        std::vector<Entry*> displaced;
        detach(*it, displaced);
        m_totals.apply(it->second.counted, -1);
        it->second.counted = {};
        it->second.log = std::move(log);
        m_totals.apply(it->second.log.base, +1);
        attach(*it, displaced);
        recount(*it);
        recountAll(displaced, &*it);
        return;
    }
    if (it != m_files.end())
        leave(*it);
    else
        it = m_files.try_emplace(path).first;
    it->second.log = std::move(log);
    it->second.rivalry = std::move(rivalry);
    join(*it);
}

void StatsLedger::rerank(const std::string& path, uint32_t rank)
{
    const auto it = m_files.find(path);
    if (it == m_files.end() || it->second.rivalry.rank == rank)
        return;
    leave(*it);
    it->second.rivalry.rank = rank;
    join(*it);
}

void StatsLedger::remove(const std::string& path)
{
    const auto it = m_files.find(path);
    if (it == m_files.end())
        return;
    leave(*it);
    m_files.erase(it);
}

void StatsLedger::activate(Entry& entry)
{
    std::vector<Entry*> displaced;
    m_totals.apply(entry.second.log.base, +1);
    attach(entry, displaced);
    recount(entry);
    recountAll(displaced, &entry);
    entry.second.active = true;
    ++m_active;
}

void StatsLedger::deactivate(Entry& entry)
{
    if (!entry.second.active)
        return;
    std::vector<Entry*> displaced;
    detach(entry, displaced);
    m_totals.apply(entry.second.counted, -1);
    entry.second.counted = {};
    recountAll(displaced, nullptr);
    entry.second.active = false;
    --m_active;
}

// Enters the file among its rivals: it counts when none ranks before it, and then the one it overtook stops.
void StatsLedger::join(Entry& entry)
{
    const std::string& identity = entry.second.rivalry.identity;
    if (identity.empty()) {
        activate(entry);
        return;
    }
    std::vector<Entry*>& rivals = m_rivals[identity];
    const auto before = [](const Entry* a, const Entry* b) {
        return std::tie(a->second.rivalry.rank, a->first) < std::tie(b->second.rivalry.rank, b->first);
    };
    rivals.insert(std::lower_bound(rivals.begin(), rivals.end(), &entry, before), &entry);
    if (rivals.front() != &entry)
        return;
    if (rivals.size() > 1)
        deactivate(*rivals[1]);
    activate(entry);
}

// Takes the file out from among its rivals: when it was the one that counted, the next best counts instead.
void StatsLedger::leave(Entry& entry)
{
    const std::string& identity = entry.second.rivalry.identity;
    const bool counted = entry.second.active;
    deactivate(entry);
    if (identity.empty())
        return;
    const auto group = m_rivals.find(identity);
    if (group == m_rivals.end())
        return;
    std::erase(group->second, &entry);
    if (group->second.empty())
        m_rivals.erase(group);
    else if (counted)
        activate(*group->second.front());
}

void StatsLedger::recountAll(std::vector<Entry*>& entries, const Entry* done)
{
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    for (Entry* entry : entries)
        if (entry != done)
            recount(*entry);
}

// Takes the entry's base out of the totals and gives up its claim on every response key; holders that now come
// first for a key are noted, as their counted figures change.
void StatsLedger::detach(Entry& entry, std::vector<Entry*>& displaced)
{
    m_totals.apply(entry.second.log.base, -1);
    for (const LoggedResponse& r : entry.second.log.responses) {
        if (r.key == 0)
            continue;
        const auto owner = m_owner.find(r.key);
        if (owner == m_owner.end())
            continue;
        const auto others = m_others.find(r.key);
        if (owner->second == &entry) {
            if (others == m_others.end()) {
                m_owner.erase(owner);
                continue;
            }
            owner->second = others->second.front();
            others->second.erase(others->second.begin());
            displaced.push_back(owner->second);
        } else if (others != m_others.end()) {
            std::erase(others->second, &entry);
        }
        if (others != m_others.end() && others->second.empty())
            m_others.erase(others);
    }
}

// Claims every response key of the entry; a holder that no longer comes first for a key is noted.
void StatsLedger::attach(Entry& entry, std::vector<Entry*>& displaced)
{
    const auto byPath = [](const Entry* a, const Entry* b) { return a->first < b->first; };
    for (const LoggedResponse& r : entry.second.log.responses) {
        if (r.key == 0)
            continue;
        const auto [owner, claimed] = m_owner.try_emplace(r.key, &entry);
        if (claimed || owner->second == &entry)
            continue;
        std::vector<Entry*>& others = m_others[r.key];
        Entry* later = &entry;
        if (entry.first < owner->second->first) {
            later = owner->second;
            owner->second = &entry;
            displaced.push_back(later);
        }
        const auto at = std::lower_bound(others.begin(), others.end(), later, byPath);
        if (at == others.end() || *at != later)
            others.insert(at, later);
    }
}

bool StatsLedger::counts(const Entry& entry, const LoggedResponse& response) const
{
    if (response.key == 0)
        return true;
    const auto owner = m_owner.find(response.key);
    return owner != m_owner.end() && owner->second == &entry;
}

void StatsLedger::recount(Entry& entry)
{
    Slot& slot = entry.second;
    m_totals.apply(slot.counted, -1);
    slot.counted = slot.log.responseFigures([&](size_t i) { return counts(entry, slot.log.responses[i]); });
    m_totals.apply(slot.counted, +1);
}

FoldSummary StatsLedger::summary() const
{
    FoldSummary s;
    for (const auto& [id, m] : m_totals.models)
        s.models[id] = ModelAcc{m.messages,         m.input.value(),      m.output.value(),
                                m.cacheRead.value(), m.cacheWrite.value(), m.cost.value()};
    s.byHour = m_totals.byHour;
    s.prompts = m_totals.prompts;
    s.assistantMessages = m_totals.assistantMessages;
    s.tokensIn = m_totals.tokensIn.value();
    s.tokensOut = m_totals.tokensOut.value();
    s.cacheRead = m_totals.cacheRead.value();
    s.cacheWrite = m_totals.cacheWrite.value();
    s.linesAdded = m_totals.linesAdded;
    s.linesRemoved = m_totals.linesRemoved;
    s.cost = m_totals.cost.value();
    s.filesEdited = static_cast<int64_t>(m_totals.editedFiles.size());
    if (!m_totals.minTs.empty())
        s.firstTs = m_totals.minTs.begin()->first;
    if (!m_totals.maxTs.empty())
        s.lastTs = m_totals.maxTs.rbegin()->first;
    for (const auto& [day, d] : m_totals.perDay) {
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
    for (const auto& [day, count] : m_totals.activeDays)
        s.activeDays.push_back(day);
    s.logFiles = m_active;
    for (const auto& [path, slot] : m_files) {
        if (!slot.active || slot.log.base.activeDays.empty())
            continue;
        const size_t begin = s.fileDays.size();
        for (const std::string& day : slot.log.base.activeDays)
            s.fileDays.push_back(TimeKit::dayNumber(day));
        std::sort(s.fileDays.begin() + static_cast<ptrdiff_t>(begin), s.fileDays.end());
        s.fileDayEnds.push_back(static_cast<uint32_t>(s.fileDays.size()));
    }
    return s;
}
