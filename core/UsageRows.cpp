#include "core/UsageRows.h"

#include <algorithm>
#include <tuple>

void UsageFigures::add(const UsageFigures& o)
{
    linesAdded += o.linesAdded;
    linesRemoved += o.linesRemoved;
    prompts += o.prompts;
    sessions += o.sessions;
    inputTokens += o.inputTokens;
    outputTokens += o.outputTokens;
    cacheReadTokens += o.cacheReadTokens;
    cacheWriteTokens += o.cacheWriteTokens;
    cost += o.cost;
}

bool DayRange::holds(const std::string& day) const
{
    return (!since || day >= *since) && (!until || day <= *until);
}

bool DayRange::touches(const std::set<std::string>& days) const
{
    if (!bounded())
        return true;
    const auto first = since ? days.lower_bound(*since) : days.begin();
    return first != days.end() && holds(*first);
}

namespace UsageRows {
namespace {

UsageFigures figuresOf(const DayBucket& d)
{
    return {d.linesAdded, d.linesRemoved, d.prompts, d.sessions, d.input, d.output, d.cacheRead, d.cacheWrite, d.cost};
}

UsageFigures figuresOf(const FileContribution& c)
{
    return {c.linesAdded, c.linesRemoved, c.prompts, 0, c.tokensIn, c.tokensOut, c.cacheRead, c.cacheWrite, c.cost};
}

// The folder a log lies in, for a log that names no working directory.
std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return path;
    const size_t before = path.rfind('/', slash - 1);
    return path.substr(before == std::string::npos ? 0 : before + 1,
                       slash - (before == std::string::npos ? 0 : before + 1));
}

void widenDays(UsageRow& into, const UsageRow& row)
{
    if (row.firstDay && (!into.firstDay || *row.firstDay < *into.firstDay))
        into.firstDay = row.firstDay;
    if (row.lastDay && (!into.lastDay || *row.lastDay > *into.lastDay))
        into.lastDay = row.lastDay;
}

// Newest first: the later last line, then the path.
bool newer(const UsageRow& a, const UsageRow& b)
{
    return std::tuple(a.end.value_or(-1e300), b.key) > std::tuple(b.end.value_or(-1e300), a.key);
}

} // namespace

std::vector<UsageRow> daily(const FoldSummary& fold, const DayRange& range)
{
    std::map<std::string, UsageRow> days;
    for (const std::string& day : fold.activeDays)
        if (range.holds(day))
            days[day].key = day;
    for (const auto& [day, bucket] : fold.perDay) {
        if (!range.holds(day))
            continue;
        UsageRow& row = days[day];
        row.key = day;
        row.figures = figuresOf(bucket);
        row.models = bucket.models;
    }
    std::vector<UsageRow> rows;
    rows.reserve(days.size());
    for (auto& [day, row] : days)
        rows.push_back(std::move(row));
    return rows;
}

std::vector<UsageRow> monthly(const std::vector<UsageRow>& days)
{
    std::vector<UsageRow> months;
    for (const UsageRow& day : days) {
        const std::string month = day.key.substr(0, 7);
        if (months.empty() || months.back().key != month) {
            months.emplace_back();
            months.back().key = month;
        }
        months.back().figures.add(day.figures);
        months.back().models.insert(day.models.begin(), day.models.end());
    }
    return months;
}

UsageRow session(const LogFigures& log)
{
    UsageRow row;
    row.key = log.path;
    row.agent = log.kind;
    row.project = log.base.project.empty() ? folderOf(log.path) : log.base.project;
    row.figures = figuresOf(log.base);
    row.figures.add(figuresOf(log.counted));
    row.figures.sessions = 1;
    for (const auto* part : {&log.base, &log.counted})
        for (const auto& [id, acc] : part->models)
            row.models.insert(id);
    row.start = log.base.minTs;
    row.end = log.base.maxTs;
    if (!log.base.activeDays.empty()) {
        row.firstDay = *log.base.activeDays.begin();
        row.lastDay = *log.base.activeDays.rbegin();
    }
    return row;
}

void ProjectTally::add(const UsageRow& session)
{
    UsageRow& project = m_projects[session.project];
    project.key = session.project;
    project.figures.add(session.figures);
    project.models.insert(session.models.begin(), session.models.end());
    widenDays(project, session);
}

std::vector<UsageRow> ProjectTally::rows() const
{
    std::vector<UsageRow> rows;
    rows.reserve(m_projects.size());
    for (const auto& [name, row] : m_projects)
        rows.push_back(row);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const UsageRow& a, const UsageRow& b) { return a.figures.linesAdded > b.figures.linesAdded; });
    return rows;
}

void ModelTally::add(const LogFigures& log, const UsageRow& session)
{
    std::map<std::string, ModelAcc> used;
    for (const auto* part : {&log.base, &log.counted})
        for (const auto& [id, acc] : part->models)
            used[id].add(acc);
    std::string leading;
    const ModelAcc* most = nullptr;
    for (const auto& [id, acc] : used) {
        UsageRow& row = m_models[id];
        row.key = id;
        row.messages += acc.messages;
        row.figures.inputTokens += acc.input;
        row.figures.outputTokens += acc.output;
        row.figures.cacheReadTokens += acc.cacheRead;
        row.figures.cacheWriteTokens += acc.cacheWrite;
        row.figures.cost += acc.cost;
        if (!most || std::tie(acc.messages, acc.cost) > std::tie(most->messages, most->cost)) {
            most = &acc;
            leading = id;
        }
    }
    UsageRow& lead = m_models[leading];
    lead.key = leading;
    lead.figures.linesAdded += session.figures.linesAdded;
    lead.figures.linesRemoved += session.figures.linesRemoved;
    lead.figures.prompts += session.figures.prompts;
    lead.figures.sessions += 1;
}

std::vector<UsageRow> ModelTally::rows() const
{
    std::vector<UsageRow> rows;
    rows.reserve(m_models.size());
    for (const auto& [id, row] : m_models)
        rows.push_back(row);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const UsageRow& a, const UsageRow& b) { return a.figures.cost > b.figures.cost; });
    return rows;
}

void SessionList::add(UsageRow session)
{
    // A heap whose top is the oldest kept session: a newer one replaces it once the list is full.
    if (m_limit == 0 || m_heap.size() < m_limit) {
        m_heap.push_back(std::move(session));
        std::push_heap(m_heap.begin(), m_heap.end(), newer);
        return;
    }
    if (!newer(session, m_heap.front()))
        return;
    std::pop_heap(m_heap.begin(), m_heap.end(), newer);
    m_heap.back() = std::move(session);
    std::push_heap(m_heap.begin(), m_heap.end(), newer);
}

std::vector<UsageRow> SessionList::rows() const
{
    std::vector<UsageRow> rows = m_heap;
    std::sort(rows.begin(), rows.end(), newer);
    return rows;
}

UsageFigures totals(const std::vector<UsageRow>& rows)
{
    UsageFigures sum;
    for (const UsageRow& row : rows)
        sum.add(row.figures);
    return sum;
}

} // namespace UsageRows
