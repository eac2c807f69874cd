#pragma once

#include <ostream>
#include <string>
#include <vector>

/// A table for people: aligned columns, a header and a totals row under a rule.
class TextTable
{
public:
    enum class Align { Left, Right };
    struct Column
    {
        std::string title;
        Align align = Align::Right;
    };

    explicit TextTable(std::vector<Column> columns) : m_columns(std::move(columns)) {}

    /// One row; cells already formatted, as many as there are columns.
    void add(std::vector<std::string> cells) { m_rows.push_back(std::move(cells)); }
    void setTotals(std::vector<std::string> cells) { m_totals = std::move(cells); }

    /// With colour, the header is bold and the totals row dim (for a terminal only).
    void print(std::ostream& out, bool colour) const;

private:
    void printRow(std::ostream& out, const std::vector<std::string>& cells, const std::vector<size_t>& widths) const;

    std::vector<Column> m_columns;
    std::vector<std::vector<std::string>> m_rows;
    std::vector<std::string> m_totals;
};

/// How figures read in the tables: thousands separators, money with two decimals.
namespace TableFormat {

/// 1,204 (-1,204 when negative).
std::string count(int64_t value);
/// A token count rounded to a whole number: 12,345,678.
std::string tokens(double value);
/// $3.12, $1,204.50.
std::string money(double value);
/// Characters on screen: UTF-8 code points.
size_t width(const std::string& text);

} // namespace TableFormat
