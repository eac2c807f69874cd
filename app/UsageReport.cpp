#include "app/UsageReport.h"

#include "app/LogSettings.h"
#include "app/ReportOptions.h"
#include "app/StatusLine.h"
#include "app/UntilExit.h"
#include "app/Usage.h"
#include "app/UsageJson.h"
#include "app/UsageTables.h"
#include "core/PlainText.h"
#include "core/StatsBuilder.h"
#include "core/TimeKit.h"
#include "prefs/PrefFile.h"

#include <cstdlib>
#include <unistd.h>

namespace UsageReport {
namespace {

UsageKind kindOf(Command command)
{
    switch (command) {
    case Command::Monthly:
        return UsageKind::Monthly;
    case Command::Projects:
        return UsageKind::Projects;
    case Command::Models:
        return UsageKind::Models;
    case Command::Sessions:
        return UsageKind::Sessions;
    default:
        return UsageKind::Daily;
    }
}

// The rows that need every log's own figures: the projects, models and sessions that were active in range.
std::vector<UsageRow> perLogRows(UsageKind kind, StatsBuilder& builder, const ReportOptions& options)
{
    UsageRows::ProjectTally projects;
    UsageRows::ModelTally models;
    UsageRows::SessionList sessions(options.limit);
    builder.visitLogs([&](const LogFigures& log) {
        if (!options.range.touches(log.base.activeDays))
            return;
        UsageRow row = UsageRows::session(log);
        if (kind == UsageKind::Projects)
            projects.add(row);
        else if (kind == UsageKind::Models)
            models.add(log, row);
        else
            sessions.add(std::move(row));
    });
    if (kind == UsageKind::Projects)
        return projects.rows();
    return kind == UsageKind::Models ? models.rows() : sessions.rows();
}

std::vector<UsageRow> rowsOf(UsageKind kind, StatsBuilder& builder, const ReportOptions& options)
{
    if (kind != UsageKind::Daily && kind != UsageKind::Monthly)
        return perLogRows(kind, builder, options);
    const FoldSummary* fold = builder.fold();
    std::vector<UsageRow> days = fold ? UsageRows::daily(*fold, options.range) : std::vector<UsageRow>{};
    return kind == UsageKind::Daily ? days : UsageRows::monthly(days);
}

bool colourful()
{
    const char* noColour = std::getenv("NO_COLOR");
    return isatty(STDOUT_FILENO) == 1 && !(noColour && *noColour);
}

} // namespace

int run(Command command, const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::string error;
    const auto options = ReportOptions::parse(args, error);
    if (!options) {
        err << "korvel: " << PlainText::shown(error) << "\n\n";
        Usage::printReportUsage(err);
        return 2;
    }
    StatsBuilder& builder = untilExit<StatsBuilder>();
    const Stats stats = builder.build(LogSettings::locations(options->statsDir), TimeKit::now());
    if (command == Command::StatusLine) {
        builder.closeCache();
        StatusLine::of(stats, PrefFile::flag(PrefKey::StreakProtection)).print(out, options->json);
        return 0;
    }
    const UsageKind kind = kindOf(command);
    const std::vector<UsageRow> rows = rowsOf(kind, builder, *options);
    builder.closeCache();
    if (options->json)
        out << UsageJson::encode(kind, rows) << '\n';
    else
        UsageTables::print(kind, rows, out, colourful());
    return 0;
}

} // namespace UsageReport
