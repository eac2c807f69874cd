#include "core/StatsLedger.h"

#include "core/TimeKit.h"

#include <algorithm>
#include <set>
#include <tuple>

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

namespace {

std::vector<int64_t> dayNumbers(const std::set<std::string>& days)
{
    std::vector<int64_t> numbers;
    numbers.reserve(days.size());
    for (const std::string& day : days)
        numbers.push_back(TimeKit::dayNumber(day));
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

} // namespace

FoldSummary StatsLedger::summary() const
{
    FoldSummary s = m_totals.summary(m_active);
    for (const auto& [path, slot] : m_files) {
        if (!slot.active || slot.log.base.activeDays.empty())
            continue;
        const std::vector<int64_t> days = dayNumbers(slot.log.base.activeDays);
        s.fileDays.insert(s.fileDays.end(), days.begin(), days.end());
        s.fileDayEnds.push_back(static_cast<uint32_t>(s.fileDays.size()));
    }
    return s;
}

void StatsLedger::describe(LedgerState& state) const
{
    state.totals = m_totals;
    state.counted = m_active;
    state.fileDays.clear();
    for (const auto& [path, slot] : m_files)
        if (slot.active && !slot.log.base.activeDays.empty())
            state.fileDays.emplace(path, dayNumbers(slot.log.base.activeDays));
    state.keys.clear();
    state.keys.reserve(m_owner.size());
    for (const auto& [key, owner] : m_owner)
        state.keys.push_back(LedgerState::shortKey(key));
    std::sort(state.keys.begin(), state.keys.end());
    state.shared.clear();
    for (const auto& [key, others] : m_others) {
        std::vector<std::string>& holders = state.shared[key];
        holders.push_back(m_owner.at(key)->first);
        for (const Entry* other : others)
            holders.push_back(other->first);
    }
    state.rivals.clear();
    for (const auto& [identity, files] : m_rivals) {
        if (files.size() < 2)
            continue;
        std::vector<std::string>& paths = state.rivals[identity];
        for (const Entry* file : files)
            paths.push_back(file->first);
    }
}
