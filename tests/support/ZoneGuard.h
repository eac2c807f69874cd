#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

/// Sets the process time zone (TZ) for one test and restores the previous one afterwards.
class ZoneGuard
{
public:
    explicit ZoneGuard(const char* zone) : m_old(std::getenv("TZ") ? std::optional(std::getenv("TZ")) : std::nullopt)
    {
        setenv("TZ", zone, 1);
        tzset();
    }

    ~ZoneGuard()
    {
        m_old ? setenv("TZ", m_old->c_str(), 1) : unsetenv("TZ");
        tzset();
    }

    ZoneGuard(const ZoneGuard&) = delete;
    ZoneGuard& operator=(const ZoneGuard&) = delete;

private:
    std::optional<std::string> m_old;
};
