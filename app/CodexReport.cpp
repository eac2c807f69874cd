#include "app/CodexReport.h"

#include "app/ReportFormat.h"
#include "core/PlainText.h"
#include "core/Pricing.h"

using ReportFormat::integer;
using ReportFormat::number;

void printCodexReport(const CodexTotals& totals, std::ostream& out)
{
    const FileContribution& c = totals.contribution;
    out << "codex sessions " << integer(totals.fileCount) << '\n';
    out << "codex tokensIn " << number(c.tokensIn) << " tokensOut " << number(c.tokensOut) << " cacheRead "
        << number(c.cacheRead) << '\n';
    out << "codex cost " << number(c.cost) << '\n';
    out << "codex linesAdded " << integer(c.linesAdded) << " linesRemoved " << integer(c.linesRemoved) << '\n';
    out << "codex prompts " << integer(c.prompts) << " assistantMessages " << integer(c.assistantMessages) << '\n';
    out << "codex models ";
    const char* separator = "";
    for (const auto& [id, acc] : c.models) {
        out << separator << PlainText::shown(id) << '=' << PlainText::shown(Pricing::prettyModel(id));
        separator = ", ";
    }
    out << '\n';
    out << "codex activeDays [";
    separator = "";
    for (const auto& day : c.activeDays) {
        out << separator << '"' << day << '"';
        separator = ", ";
    }
    out << "]\n";
}
