#include "app/TextTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace TableFormat {

std::string count(int64_t value)
{
    const bool negative = value < 0;
    // Through unsigned, so that the most negative value has a magnitude too.
    const std::string digits =
        std::to_string(negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value));
    std::string grouped = negative ? "-" : "";
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped.push_back(',');
        grouped.push_back(digits[i]);
    }
    return grouped;
}

std::string tokens(double value)
{
    if (!std::isfinite(value) || std::fabs(value) >= 9.2e18)
        return "-";
    return count(static_cast<int64_t>(std::llround(value)));
}

std::string money(double value)
{
    if (!std::isfinite(value) || std::fabs(value) >= 9.2e16)
        return "-";
    const int64_t cents = std::llround(value * 100);
    const int64_t magnitude = cents < 0 ? -cents : cents;
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%02d", static_cast<int>(magnitude % 100));
    return std::string(cents < 0 ? "-$" : "$") + count(magnitude / 100) + fraction;
}

size_t width(const std::string& text)
{
    return static_cast<size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

} // namespace TableFormat

void TextTable::print(std::ostream& out, bool colour) const
{
    std::vector<size_t> widths(m_columns.size(), 0);
    const auto measure = [&](const std::vector<std::string>& cells) {
        for (size_t i = 0; i < cells.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], TableFormat::width(cells[i]));
    };
    std::vector<std::string> titles;
    for (const Column& column : m_columns)
        titles.push_back(column.title);
    measure(titles);
    for (const auto& row : m_rows)
        measure(row);
    measure(m_totals);
    out << (colour ? "\033[1m" : "");
    printRow(out, titles, widths);
    out << (colour ? "\033[0m" : "");
    for (const auto& row : m_rows)
        printRow(out, row, widths);
    if (m_totals.empty())
        return;
    size_t rule = 0;
    for (const size_t w : widths)
        rule += w + 2;
    out << std::string(rule > 2 ? rule - 2 : 0, '-') << '\n' << (colour ? "\033[2m" : "");
    printRow(out, m_totals, widths);
    out << (colour ? "\033[0m" : "");
}

void TextTable::printRow(std::ostream& out, const std::vector<std::string>& cells,
                         const std::vector<size_t>& widths) const
{
    std::string line;
    for (size_t i = 0; i < widths.size(); ++i) {
        const std::string& cell = i < cells.size() ? cells[i] : std::string();
        const std::string pad(widths[i] - std::min(widths[i], TableFormat::width(cell)), ' ');
        if (i > 0)
            line += "  ";
        line += m_columns[i].align == Align::Right ? pad + cell : cell + pad;
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    out << line << '\n';
}
