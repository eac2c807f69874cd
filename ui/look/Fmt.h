#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

/// How numbers, money and dates are written in the notch, on the card and in the menu.
namespace Fmt {

/// Counts: 2.5B, 1.5M, 12k, 1.2k, 42.
QString num(double v);

/// US dollars: $1.5k, $999, $0.42.
QString money(double v);

/// A day key (YYYY-MM-DD) as "Mar 7"; empty when absent or not a date.
QString humanDate(const std::optional<std::string>& dayKey);

/// Text from the logs, a path or a server as it may be shown: control characters and bytes that are not UTF-8 as
/// U+FFFD.
QString shown(std::string_view text);
QString shown(const QString& text);

} // namespace Fmt
