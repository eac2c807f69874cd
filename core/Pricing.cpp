#include "core/Pricing.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>

namespace Pricing {
namespace {

struct ModelRow
{
    const char* id;
    Rate rate;
    const char* name;
};

// clang-format off
constexpr ModelRow kModels[] = {
    {"claude-opus-4-8",   {5, 25},    "Opus 4.8"},
    {"claude-opus-4-7",   {5, 25},    "Opus 4.7"},
    {"claude-opus-4-6",   {5, 25},    "Opus 4.6"},
    {"claude-opus-4-5",   {5, 25},    "Opus 4.5"},
    {"claude-sonnet-5",   {3, 15},    "Sonnet 5"},
    {"claude-sonnet-4-6", {3, 15},    "Sonnet 4.6"},
    {"claude-sonnet-4-5", {3, 15},    "Sonnet 4.5"},
    {"claude-haiku-4-5",  {1, 5},     "Haiku 4.5"},
    {"claude-fable-5",    {10, 50},   "Fable 5"},
    {"claude-mythos-5",   {10, 50},   "Mythos 5"},
    {"gpt-5",             {1.25, 10}, "GPT-5"},
    {"gpt-5-codex",       {1.25, 10}, "GPT-5 Codex"},
    {"gpt-5.5",           {1.25, 10}, "GPT-5.5"},
    {"gpt-5.5-codex",     {1.25, 10}, "GPT-5.5 Codex"},
};

struct FamilyRule
{
    const char* contains;
    Rate rate;
};

constexpr FamilyRule kFamilies[] = {
    {"gpt",    {1.25, 10}},
    {"opus",   {5, 25}},
    {"fable",  {10, 50}},
    {"mythos", {10, 50}},
    {"haiku",  {1, 5}},
};
// clang-format on

constexpr Rate kDefaultRate{3, 15};

const ModelRow* findRow(std::string_view id)
{
    static const auto index = [] {
        std::unordered_map<std::string_view, const ModelRow*> map;
        for (const auto& row : kModels)
            map.emplace(row.id, &row);
        return map;
    }();
    const auto it = index.find(id);
    return it == index.end() ? nullptr : it->second;
}

std::string lowered(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string_view withoutDateSuffix(std::string_view id)
{
    if (id.size() < 9 || id[id.size() - 9] != '-')
        return id;
    const auto tail = id.substr(id.size() - 8);
    return std::all_of(tail.begin(), tail.end(), isDigit) ? id.substr(0, id.size() - 9) : id;
}

std::string capitaliseGpt(std::string_view s)
{
    std::string out(s);
    const std::string low = lowered(s);
    for (size_t pos = low.find("gpt"); pos != std::string::npos; pos = low.find("gpt", pos + 3))
        out.replace(pos, 3, "GPT");
    return out;
}

} // namespace

Rate baseFor(std::string_view id)
{
    if (const ModelRow* row = findRow(id))
        return row->rate;
    const std::string low = lowered(id);
    for (const auto& family : kFamilies)
        if (low.find(family.contains) != std::string::npos)
            return family.rate;
    return kDefaultRate;
}

std::string prettyModel(std::string_view id)
{
    const std::string_view s = withoutDateSuffix(id);
    if (const ModelRow* row = findRow(s))
        return row->name;
    if (lowered(s).rfind("gpt", 0) == 0)
        return capitaliseGpt(s);
    return std::string(s);
}

double costOf(const Rate& rate, double input, double output, double cacheRead, double cacheWrite, double cacheWrite1h)
{
    const double hour = std::max(0.0, std::min(cacheWrite1h, cacheWrite));
    return input * (rate.inRate / 1e6) + output * (rate.outRate / 1e6) + cacheRead * (0.1 * rate.inRate / 1e6) +
           (cacheWrite - hour) * (1.25 * rate.inRate / 1e6) + hour * (2 * rate.inRate / 1e6);
}

} // namespace Pricing
