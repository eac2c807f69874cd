#include "app/ReportFormat.h"

#include <charconv>
#include <cmath>

namespace ReportFormat {

std::string integer(int64_t value)
{
    return std::to_string(value);
}

std::string number(double value)
{
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    const double magnitude = std::fabs(value);
    const bool exponent = magnitude != 0 && (magnitude < 1e-4 || magnitude > 0x1.0p54);
    char buf[64];
    const auto end =
        std::to_chars(buf, buf + sizeof buf, value, exponent ? std::chars_format::scientific : std::chars_format::fixed)
            .ptr;
    std::string text(buf, end);
    if (!exponent && text.find('.') == std::string::npos)
        text += ".0";
    return text;
}

std::string flag(bool value)
{
    return value ? "true" : "false";
}

} // namespace ReportFormat
