#pragma once

#include <cstdint>
#include <string_view>

/// A UTC calendar time split into its fields.
struct CivilTime
{
    int64_t year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

/// The UTC calendar fields of ms milliseconds since the Unix epoch.
CivilTime civilTime(int64_t ms);

/// Formats times the way both agents write them: 2025-06-01T12:34:56.789Z.
class IsoTime
{
public:
    /// The text of ms milliseconds since the Unix epoch; valid until the next call.
    std::string_view format(int64_t ms);

private:
    char m_text[32] = {};
};
