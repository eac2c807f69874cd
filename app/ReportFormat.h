#pragma once

#include <cstdint>
#include <string>

/// How values are written in the text reports: plain, unrounded, no currency signs.
namespace ReportFormat {

/// Plain decimal with a leading minus when negative and no grouping.
std::string integer(int64_t value);

/// The shortest text that reads back as the same double, always with a fraction part ("12.0", "0.0");
/// magnitudes below 0.0001 or above 2^54 in exponent form ("1.25e-06").
std::string number(double value);

/// "true" or "false".
std::string flag(bool value);

} // namespace ReportFormat
