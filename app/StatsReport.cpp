#include "app/StatsReport.h"

#include "app/LogSettings.h"
#include "app/ReportFormat.h"
#include "app/UntilExit.h"
#include "core/PlainText.h"
#include "core/StatsBuilder.h"
#include "core/StatsCache.h"
#include "core/TimeKit.h"

#include <chrono>
#include <cstdio>

namespace StatsReport {
namespace {

using ReportFormat::flag;
using ReportFormat::integer;
using ReportFormat::number;

struct TimedStats
{
    Stats stats;
    double elapsedMs = 0;
};

TimedStats timedBuild(const std::optional<std::string>& dir)
{
    const LogLocations where = LogSettings::locations(dir);
    const double now = TimeKit::now();
    StatsBuilder& builder = untilExit<StatsBuilder>();
    const auto before = std::chrono::steady_clock::now();
    Stats stats = builder.build(where, now);
    const auto after = std::chrono::steady_clock::now();
    builder.closeCache();
    return {std::move(stats), std::chrono::duration<double, std::milli>(after - before).count()};
}

std::string milliseconds(double ms)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.1f", ms);
    return buf;
}

std::string orDash(const std::optional<std::string>& text)
{
    return text ? PlainText::shown(*text) : "-";
}

} // namespace

void printBench(std::ostream& out)
{
    const TimedStats run = timedBuild(std::nullopt);
    const Stats& s = run.stats;
    out << "elapsedMs " << milliseconds(run.elapsedMs) << '\n';
    out << "score " << integer(s.crackedScore) << " cost " << number(s.cost) << " lines "
        << integer(s.linesAdded + s.linesRemoved) << " sessions " << integer(s.sessions) << '\n';
}

void printStats(const std::optional<std::string>& dir, std::ostream& out)
{
    const TimedStats run = timedBuild(dir);
    writeStats(run.stats, run.elapsedMs, out);
}

void printStatsJson(const std::optional<std::string>& dir, std::ostream& out)
{
    out << StatsCache::encode(timedBuild(dir).stats).value_or("{}") << '\n';
}

void writeStats(const Stats& s, double elapsedMs, std::ostream& out)
{
    out << "elapsedMs " << milliseconds(elapsedMs) << '\n';
    out << "score " << integer(s.crackedScore) << '\n';
    out << "cost " << number(s.cost) << '\n';
    out << "linesAdded " << integer(s.linesAdded) << " linesRemoved " << integer(s.linesRemoved) << " total "
        << integer(s.linesAdded + s.linesRemoved) << '\n';
    out << "sessions " << integer(s.sessions) << '\n';
    out << "streakLongest " << integer(s.streakLongest) << " current " << integer(s.streakCurrent) << " activeDays "
        << integer(s.activeDays) << '\n';
    out << "tokensOut " << number(s.tokensOut) << '\n';
    out << "topModel " << orDash(s.topModel) << '\n';
    out << "percentile " << integer(s.percentile) << '\n';
    out << "since " << orDash(s.since) << " until " << orDash(s.until) << " daysSpan " << integer(s.daysSpan) << '\n';
    out << "prompts " << integer(s.prompts) << '\n';
    out << "todayLines " << integer(s.todayLinesAdded) << " todayCost " << number(s.todayCost) << " codedToday "
        << flag(s.codedToday) << '\n';
    out << "todayTokens " << number(s.todayTokens) << " weekTokens " << number(s.weekTokens) << '\n';
    out << "badges ";
    const char* separator = "";
    for (const Badge& b : s.badges) {
        if (!b.earned)
            continue;
        out << separator << b.label;
        separator = ", ";
    }
    out << '\n';
}

} // namespace StatsReport
