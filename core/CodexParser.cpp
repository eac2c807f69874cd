#include "core/CodexParser.h"

#include "core/AgentHomes.h"
#include "core/DirectoryWalk.h"
#include "core/LineScanner.h"
#include "core/Pricing.h"
#include "core/TimeKit.h"
#include "core/TimestampBook.h"

#include <algorithm>
#include <map>

namespace CodexParser {
namespace {

using simdjson::dom::element;
using simdjson::dom::object;

struct TokenTotals
{
    double input = 0;
    double cached = 0;
    double output = 0;
};

class RolloutScan
{
public:
    explicit RolloutScan(ParseScratch::Impl& scratch) : m_scratch(scratch), m_timestamps(m_out) {}

    void line(std::string_view bytes)
    {
        element doc;
        object obj;
        if (m_scratch.parse(bytes).get(doc) || doc.get_object().get(obj))
            return;
        if (const auto text = LineScanner::stringAt(obj, "timestamp"))
            timestamp(*text);
        object payload;
        if (obj.at_key("payload").get_object().get(payload))
            return;
        if (const auto model = LineScanner::stringAt(payload, "model"); model && !model->empty() && *model != m_model)
            m_model = *model;
        if (m_out.project.empty())
            if (const auto cwd = LineScanner::stringAt(payload, "cwd"))
                m_out.project = *cwd;
        const auto type = LineScanner::stringAt(payload, "type");
        if (!type)
            return;
        if (*type == "token_count")
            tokenCount(payload);
        else if (*type == "message")
            message(payload);
        else if (*type == "custom_tool_call")
            toolCall(payload);
    }

    // The rollout's figures all go to the day of its last line (its running totals are only whole at the end); its
    // session to the day of its first.
    FileContribution finish()
    {
        if (!m_out.activeDays.empty())
            m_out.perDay[*m_out.activeDays.begin()].sessions = 1;
        DayBucket* last = m_lastTs ? &m_out.perDay[TimeKit::dateKey(*m_lastTs)] : nullptr;
        if (last) {
            last->linesAdded += m_out.linesAdded;
            last->linesRemoved += m_out.linesRemoved;
            last->prompts += m_out.prompts;
        }
        if (!m_totals)
            return std::move(m_out);
        const double in = std::max(m_totals->input - m_totals->cached, 0.0);
        const double out = m_totals->output;
        const double cached = m_totals->cached;
        m_out.tokensIn = in;
        m_out.tokensOut = out;
        m_out.cacheRead = cached;
        m_out.cost = Pricing::costOf(Pricing::baseFor(m_model), in, out, cached, 0);
        ModelAcc& acc = m_out.models[m_model];
        acc.messages += m_out.assistantMessages;
        acc.input += in;
        acc.output += out;
        acc.cacheRead += cached;
        acc.cost += m_out.cost;
        if (last) {
            last->cost += m_out.cost;
            last->tokens += in + out;
            last->input += in;
            last->output += out;
            last->cacheRead += cached;
            last->models.insert(m_model);
        }
        return std::move(m_out);
    }

private:
    void timestamp(std::string_view text)
    {
        const auto t = TimeKit::epoch(text);
        if (!t)
            return;
        m_timestamps.note(*t);
        m_lastTs = *t;
    }

    // Token events carry running totals: the last usable one describes the whole file.
    void tokenCount(object payload)
    {
        object usage;
        if (payload.at_key("info").at_key("total_token_usage").get_object().get(usage))
            return;
        m_totals = TokenTotals{LineScanner::tokenCountOr0(usage.at_key("input_tokens")),
                               LineScanner::tokenCountOr0(usage.at_key("cached_input_tokens")),
                               LineScanner::tokenCountOr0(usage.at_key("output_tokens"))};
    }

    void message(object payload)
    {
        const auto role = LineScanner::stringAt(payload, "role");
        if (role == "user")
            ++m_out.prompts;
        else if (role == "assistant")
            ++m_out.assistantMessages;
    }

    void toolCall(object payload)
    {
        if (LineScanner::stringAt(payload, "name") != "apply_patch")
            return;
        if (const auto input = LineScanner::stringAt(payload, "input")) {
            const LineCounts counts = linesFromPatch(*input);
            m_out.linesAdded += counts.added;
            m_out.linesRemoved += counts.removed;
        }
    }

    ParseScratch::Impl& m_scratch;
    FileContribution m_out;
    TimestampBook m_timestamps;
    std::string m_model = "gpt-5-codex";
    std::optional<double> m_lastTs;
    std::optional<TokenTotals> m_totals;
};

FileContribution scan(std::string_view padded, ParseScratch::Impl& scratch)
{
    // The whole file must be valid UTF-8, or it contributes nothing.
    if (!simdjson::validate_utf8(padded.data(), padded.size()))
        return {};
    RolloutScan rollout(scratch);
    // Split at line-feed bytes; a carriage return before one is white space to the JSON parser.
    LineScanner::forEachLine(padded, [&](std::string_view line) {
        if (!line.empty())
            rollout.line(line);
    });
    return rollout.finish();
}

void mergeInto(FileContribution& total, const FileContribution& file)
{
    for (const auto& [model, acc] : file.models)
        total.models[model].add(acc);
    total.activeDays.insert(file.activeDays.begin(), file.activeDays.end());
    for (size_t h = 0; h < total.byHour.size(); ++h)
        total.byHour[h] += file.byHour[h];
    total.prompts += file.prompts;
    total.assistantMessages += file.assistantMessages;
    total.tokensIn += file.tokensIn;
    total.tokensOut += file.tokensOut;
    total.cacheRead += file.cacheRead;
    total.cacheWrite += file.cacheWrite;
    total.linesAdded += file.linesAdded;
    total.linesRemoved += file.linesRemoved;
    total.cost += file.cost;
    if (file.minTs && (!total.minTs || *file.minTs < *total.minTs))
        total.minTs = file.minTs;
    if (file.maxTs && (!total.maxTs || *file.maxTs > *total.maxTs))
        total.maxTs = file.maxTs;
}

} // namespace

namespace {

constexpr std::string_view kCompressed = ".zst";

std::string_view nameOf(std::string_view path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

bool isCompressed(std::string_view name)
{
    return name.ends_with(kCompressed);
}

bool isRolloutName(std::string_view name)
{
    if (isCompressed(name))
        name.remove_suffix(kCompressed.size());
    return name.rfind("rollout-", 0) == 0 && DirectoryWalk::hasJsonlExtension(name);
}

uint32_t precedence(std::string_view path, bool archived)
{
    return (isCompressed(path) ? 2u : 0u) | (archived ? 1u : 0u);
}

std::string_view identityOf(std::string_view path)
{
    std::string_view name = nameOf(path);
    if (isCompressed(name))
        name.remove_suffix(kCompressed.size());
    return name;
}

std::vector<std::string> findRollouts(const std::string& root)
{
    return DirectoryWalk::find(root, isRolloutName);
}

LogRead readRollout(const std::string& path, ParseScratch& scratch)
{
    ParseScratch::Impl& impl = scratch.impl();
    RolloutScan rollout(impl);
    LogRead out;
    // The whole file must be valid UTF-8, or it contributes nothing.
    out.read = impl.read(
        path,
        [&](std::string_view line) {
            if (!line.empty())
                rollout.line(line);
        },
        true, isCompressed(path));
    if (out.read.status != ReadStatus::InvalidUtf8 && out.read.status != ReadStatus::Undecodable)
        out.log.base = rollout.finish();
    return out;
}

FileContribution parseFile(const std::string& path, ParseScratch& scratch)
{
    return readRollout(path, scratch).log.base;
}

FileContribution parseFile(const std::string& path)
{
    ParseScratch scratch;
    return parseFile(path, scratch);
}

FileContribution parseBytes(std::string_view bytes, ParseScratch& scratch)
{
    const simdjson::padded_string padded(bytes);
    return scan(std::string_view(padded.data(), padded.size()), scratch.impl());
}

LineCounts linesFromPatch(std::string_view patch)
{
    LineCounts counts;
    LineScanner::forEachLine(patch, [&](std::string_view line) {
        if (line.empty() || line.rfind("*** ", 0) == 0 || line.rfind("@@", 0) == 0)
            return;
        if (line.front() == '+')
            ++counts.added;
        else if (line.front() == '-')
            ++counts.removed;
    });
    return counts;
}

CodexTotals aggregateAll()
{
    std::map<std::string, std::pair<uint32_t, std::string>, std::less<>> chosen;
    const auto offer = [&](const std::string& root, bool archived) {
        for (std::string& path : findRollouts(root)) {
            std::pair<uint32_t, std::string> candidate{precedence(path, archived), path};
            const auto [it, first] = chosen.try_emplace(std::string(identityOf(path)), candidate);
            if (!first && candidate < it->second)
                it->second = std::move(candidate);
        }
    };
    offer(AgentHomes::codexSessions(), false);
    offer(AgentHomes::codexArchive(), true);
    CodexTotals totals;
    ParseScratch scratch;
    for (const auto& [identity, file] : chosen)
        mergeInto(totals.contribution, parseFile(file.second, scratch));
    totals.fileCount = static_cast<int64_t>(chosen.size());
    return totals;
}

} // namespace CodexParser
