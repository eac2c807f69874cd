#include "app/UsageTables.h"

#include "app/FigureColumns.h"
#include "app/TextTable.h"
#include "app/UsageNames.h"
#include "core/PlainText.h"

#include <ctime>

namespace UsageTables {
namespace {

using TableFormat::count;
using TableFormat::money;
using TableFormat::tokens;
using Align = TextTable::Align;

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + PlainText::shown(name);
    return text;
}

std::string localTime(const std::optional<double>& t)
{
    if (!t)
        return "-";
    const auto seconds = static_cast<std::time_t>(*t);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

// The columns of the figures every row has, after the report's own.
std::vector<TextTable::Column> withFigures(std::vector<TextTable::Column> own)
{
    for (const FigureColumn& column : kFigureColumns)
        own.push_back({column.title, Align::Right});
    return own;
}

std::vector<std::string> withFigures(std::vector<std::string> own, const UsageFigures& f)
{
    for (const FigureColumn& column : kFigureColumns) {
        if (column.kind == FigureColumn::Kind::Count)
            own.push_back(count(f.*column.count));
        else if (column.kind == FigureColumn::Kind::Tokens)
            own.push_back(tokens(f.*column.amount));
        else
            own.push_back(money(f.*column.amount));
    }
    return own;
}

std::vector<TextTable::Column> ownColumns(UsageKind kind)
{
    switch (kind) {
    case UsageKind::Daily:
        return {{"Date", Align::Left}};
    case UsageKind::Monthly:
        return {{"Month", Align::Left}};
    case UsageKind::Projects:
        return {{"Project", Align::Left}, {"First day", Align::Left}, {"Last day", Align::Left}};
    case UsageKind::Models:
        return {{"Model", Align::Left}, {"Id", Align::Left}, {"Messages", Align::Right}};
    case UsageKind::Sessions:
        return {{"Agent", Align::Left}, {"Project", Align::Left}, {"Start", Align::Left}, {"End", Align::Left}};
    }
    return {};
}

std::vector<std::string> ownCells(UsageKind kind, const UsageRow& row)
{
    switch (kind) {
    case UsageKind::Daily:
    case UsageKind::Monthly:
        return {row.key};
    case UsageKind::Projects:
        return {PlainText::shown(row.key), row.firstDay.value_or("-"), row.lastDay.value_or("-")};
    case UsageKind::Models:
        return {PlainText::shown(UsageNames::modelName(row.key)), PlainText::shown(row.key), count(row.messages)};
    case UsageKind::Sessions:
        return {UsageNames::agent(row.agent), PlainText::shown(row.project), localTime(row.start), localTime(row.end)};
    }
    return {};
}

} // namespace

void print(UsageKind kind, const std::vector<UsageRow>& rows, std::ostream& out, bool colour)
{
    const bool listsModels = kind != UsageKind::Models;
    auto columns = withFigures(ownColumns(kind));
    if (listsModels)
        columns.push_back({"Models", Align::Left});
    TextTable table(std::move(columns));
    const auto modelsCell = [&](const UsageRow& row) { return joined(UsageNames::modelNames(row.models)); };
    for (const UsageRow& row : rows) {
        auto cells = withFigures(ownCells(kind, row), row.figures);
        if (listsModels)
            cells.push_back(modelsCell(row));
        table.add(std::move(cells));
    }
    std::vector<std::string> totals{"Total"};
    totals.resize(ownColumns(kind).size());
    if (kind == UsageKind::Models) {
        int64_t messages = 0;
        for (const UsageRow& row : rows)
            messages += row.messages;
        totals.back() = count(messages);
    }
    table.setTotals(withFigures(totals, UsageRows::totals(rows)));
    table.print(out, colour);
}

} // namespace UsageTables
