#include "prefs/PrefFile.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string_view>

namespace PrefFile {
namespace {

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// The raw value of a key of the [General] section, where QSettings keeps keys without a group.
std::optional<std::string> stored(std::string_view key)
{
    std::ifstream in(path());
    bool general = false;
    std::string line;
    while (std::getline(in, line)) {
        const std::string_view text = trimmed(line);
        if (text.starts_with('[')) {
            general = text == "[General]";
            continue;
        }
        const size_t equals = text.find('=');
        if (general && equals != std::string_view::npos && trimmed(text.substr(0, equals)) == key)
            return std::string(trimmed(text.substr(equals + 1)));
    }
    return std::nullopt;
}

} // namespace

std::string path()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config)
        return std::string(config) + "/Korvel/Korvel.conf";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/Korvel/Korvel.conf";
}

bool flag(PrefKey key)
{
    const PrefRow& row = Prefs::row(key);
    std::optional<std::string> value = stored(row.name);
    if (!value)
        return row.fallback != 0;
    if (value->size() >= 2 && value->front() == '"' && value->back() == '"')
        *value = value->substr(1, value->size() - 2);
    std::transform(value->begin(), value->end(), value->begin(), [](unsigned char c) { return std::tolower(c); });
    return !(value->empty() || *value == "0" || *value == "false");
}

} // namespace PrefFile
