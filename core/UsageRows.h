#pragma once

#include "core/FoldSummary.h"
#include "core/LogFigures.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

/// The figures every row of a usage report has; the totals of a report are their sums.
struct UsageFigures
{
    int64_t linesAdded = 0;
    int64_t linesRemoved = 0;
    int64_t prompts = 0;
    int64_t sessions = 0;
    double inputTokens = 0;
    double outputTokens = 0;
    double cacheReadTokens = 0;
    double cacheWriteTokens = 0;
    double cost = 0;

    void add(const UsageFigures& other);
    bool operator==(const UsageFigures&) const = default;
};

/// One row of a usage report: a day, a month, a project, a model or a session (log file).
struct UsageRow
{
    /// The day key, "YYYY-MM", the project, the model id or the log file's path.
    std::string key;
    UsageFigures figures;
    /// Ids of the models that answered.
    std::set<std::string> models;
    /// Assistant messages (model rows).
    int64_t messages = 0;
    /// Session rows: the agent, the project and the first and last line's time (epoch seconds).
    StatsEngine::LogKind agent = StatsEngine::LogKind::Claude;
    std::string project;
    std::optional<double> start;
    std::optional<double> end;
    /// Project and session rows: the first and last active day.
    std::optional<std::string> firstDay;
    std::optional<std::string> lastDay;

    bool operator==(const UsageRow&) const = default;
};

/// Inclusive local days, each end open when absent. Day keys compare as text.
struct DayRange
{
    std::optional<std::string> since;
    std::optional<std::string> until;

    bool holds(const std::string& day) const;
    /// True when one of days lies in the range (an unbounded range holds every log, dated or not).
    bool touches(const std::set<std::string>& days) const;
    bool bounded() const { return since || until; }
};

/// Builds the rows of the usage reports. Rows follow the rules of the totals: a response repeated across
/// transcripts counts once, copies of a rollout count once, and deleted logs count while they are kept.
namespace UsageRows {

/// One row per local day with activity in range, oldest first.
std::vector<UsageRow> daily(const FoldSummary& fold, const DayRange& range);
/// The daily rows summed per month ("YYYY-MM"), oldest first.
std::vector<UsageRow> monthly(const std::vector<UsageRow>& days);

/// The row of one log file; its project is the working directory the log names, else the folder it lies in.
UsageRow session(const LogFigures& log);

/// Sums session rows per project; rows() sorts them by lines added, most first.
class ProjectTally
{
public:
    void add(const UsageRow& session);
    std::vector<UsageRow> rows() const;

private:
    std::map<std::string, UsageRow> m_projects;
};

/// Sums per model what logs' models consumed; a log's lines, prompts and session go to the model that answered it
/// most (a log without any answer to the row of id ""). rows() sorts by cost, most first.
class ModelTally
{
public:
    void add(const LogFigures& log, const UsageRow& session);
    std::vector<UsageRow> rows() const;

private:
    std::map<std::string, UsageRow> m_models;
};

/// Keeps the newest sessions (by the time of their last line); limit 0 keeps every one.
class SessionList
{
public:
    explicit SessionList(size_t limit) : m_limit(limit) {}
    void add(UsageRow session);
    /// Newest first.
    std::vector<UsageRow> rows() const;

private:
    size_t m_limit;
    std::vector<UsageRow> m_heap;
};

/// The sum of the rows' figures.
UsageFigures totals(const std::vector<UsageRow>& rows);

} // namespace UsageRows
