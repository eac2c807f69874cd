#pragma once

#include <QString>
#include <optional>
#include <string>

/// How numbers, money and dates are written in the notch, on the card and in the menu.
namespace Fmt {

/// Counts: 2.5B, 1.5M, 12k, 1.2k, 42.
QString num(double v);

/// US dollars: $1.5k, $999, $0.42.
QString money(double v);

/// A day key (YYYY-MM-DD) as "Mar 7"; empty when absent or not a date.
QString humanDate(const std::optional<std::string>& dayKey);

} // namespace Fmt
