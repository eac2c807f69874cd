#include "app/UsageNames.h"

#include "core/Pricing.h"

#include <algorithm>

namespace UsageNames {

std::string modelName(const std::string& id)
{
    return id.empty() ? std::string("No model") : Pricing::prettyModel(id);
}

std::vector<std::string> modelNames(const std::set<std::string>& ids)
{
    std::vector<std::string> names;
    for (const std::string& id : ids)
        names.push_back(modelName(id));
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

const char* agent(StatsEngine::LogKind kind)
{
    return kind == StatsEngine::LogKind::Codex ? "codex" : "claude";
}

} // namespace UsageNames
