#include "core/ClaudeReader.h"

#include "core/DirectoryWalk.h"
#include "core/LineScanner.h"
#include "core/Pricing.h"
#include "core/TimeKit.h"
#include "core/TimestampBook.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace StatsEngine {
namespace {

using simdjson::dom::element;
using simdjson::dom::object;

// One API response. The agent writes a response with several content blocks as several lines that repeat its
// message id and usage; counting each line would inflate tokens and cost, so copies are folded into one.
struct Response
{
    double input = 0;
    double output = 0;
    double cacheRead = 0;
    double cacheWrite = 0;
    size_t model = 0;
    bool hasDay = false;
    std::string day;
};

struct LineFields
{
    std::optional<std::string_view> timestamp;
    std::optional<std::string_view> type;
    std::optional<std::string_view> requestId;
    bool isMeta = false;
    bool isSidechain = false;
    std::optional<element> message;
    std::optional<element> toolUseResult;
};

LineFields readFields(object obj)
{
    LineFields f;
    for (const auto field : obj) {
        const std::string_view key = field.key;
        if (key == "timestamp") {
            f.timestamp.reset();
            std::string_view s;
            if (!field.value.get_string().get(s))
                f.timestamp = s;
        } else if (key == "type") {
            f.type.reset();
            std::string_view s;
            if (!field.value.get_string().get(s))
                f.type = s;
        } else if (key == "isMeta") {
            f.isMeta = field.value.is_bool() && field.value.get_bool().value_unsafe();
        } else if (key == "isSidechain") {
            f.isSidechain = field.value.is_bool() && field.value.get_bool().value_unsafe();
        } else if (key == "message") {
            f.message = field.value;
        } else if (key == "toolUseResult") {
            f.toolUseResult = field.value;
        } else if (key == "requestId") {
            f.requestId.reset();
            std::string_view s;
            if (!field.value.get_string().get(s))
                f.requestId = s;
        }
    }
    return f;
}

bool isToolResultBlock(element block)
{
    object obj;
    if (block.get_object().get(obj))
        return false;
    const auto type = LineScanner::stringAt(obj, "type");
    return type && *type == "tool_result";
}

// A user line is a prompt when it carries typed text: a string, or an array with something besides tool results.
bool isTypedPrompt(const LineFields& f)
{
    if (!f.message || f.isMeta || f.isSidechain)
        return false;
    object message;
    if (f.message->get_object().get(message))
        return false;
    const auto content = message.at_key("content");
    if (content.is_string())
        return true;
    simdjson::dom::array blocks;
    if (content.get_array().get(blocks))
        return false;
    for (const element block : blocks)
        if (!isToolResultBlock(block))
            return true;
    return false;
}

LineCounts countStructuredPatch(simdjson::dom::array hunks)
{
    LineCounts counts;
    for (const element hunk : hunks) {
        simdjson::dom::array lines;
        if (hunk.at_key("lines").get_array().get(lines))
            continue;
        for (const element line : lines) {
            std::string_view text;
            if (line.get_string().get(text) || text.empty())
                continue;
            if (text.front() == '+')
                ++counts.added;
            else if (text.front() == '-')
                ++counts.removed;
        }
    }
    return counts;
}

LineCounts linesFromResultObject(object result)
{
    const auto patch = result.at_key("structuredPatch");
    simdjson::dom::array hunks;
    if (!patch.get_array().get(hunks))
        return countStructuredPatch(hunks);
    const auto content = LineScanner::stringAt(result, "content");
    const bool patchAbsent = patch.error() == simdjson::NO_SUCH_FIELD;
    if (content && patchAbsent && LineScanner::stringAt(result, "filePath")) {
        const auto pieces = 1 + std::count(content->begin(), content->end(), '\n');
        return {static_cast<int64_t>(pieces), 0};
    }
    return {};
}

class TranscriptScan
{
public:
    explicit TranscriptScan(ParseScratch::Impl& scratch) : m_scratch(scratch), m_timestamps(m_out) {}

    void line(std::string_view bytes)
    {
        if (bytes.empty())
            return;
        element doc;
        object obj;
        if (m_scratch.parse(bytes).get(doc) || doc.get_object().get(obj))
            return;
        const LineFields f = readFields(obj);
        const TimeKit::LocalClock::Slot* day = timestamp(f);
        if (f.type) {
            if (*f.type == "last-prompt")
                ++m_out.prompts;
            else if (*f.type == "user" && isTypedPrompt(f))
                ++m_out.prompts;
            else if (*f.type == "assistant")
                assistant(f, day);
        }
        if (f.toolUseResult)
            toolResult(*f.toolUseResult, day);
    }

    FileContribution finish()
    {
        for (const Response& r : m_responses)
            book(r);
        return std::move(m_out);
    }

private:
    const TimeKit::LocalClock::Slot* timestamp(const LineFields& f)
    {
        if (!f.timestamp)
            return nullptr;
        const auto t = TimeKit::epoch(*f.timestamp);
        return t ? &m_timestamps.note(*t) : nullptr;
    }

    void assistant(const LineFields& f, const TimeKit::LocalClock::Slot* day)
    {
        object message;
        object usage;
        std::string_view model;
        if (!f.message || f.message->get_object().get(message) || message.at_key("usage").get_object().get(usage) ||
            message.at_key("model").get_string().get(model) || model == "<synthetic>")
            return;
        Response r;
        r.input = LineScanner::numberOr0(usage.at_key("input_tokens"));
        r.output = LineScanner::numberOr0(usage.at_key("output_tokens"));
        r.cacheRead = LineScanner::numberOr0(usage.at_key("cache_read_input_tokens"));
        r.cacheWrite = LineScanner::numberOr0(usage.at_key("cache_creation_input_tokens"));
        r.model = modelIndex(model);
        if (day) {
            r.hasDay = true;
            r.day = day->dayKey;
        }
        const auto id = LineScanner::stringAt(message, "id");
        if (!id) {
            m_responses.push_back(std::move(r));
            return;
        }
        const auto [it, inserted] = m_byKey.try_emplace(responseKey(*id, f.requestId, r), m_responses.size());
        if (inserted) {
            m_responses.push_back(std::move(r));
            return;
        }
        // Later copies keep the first copy's day; the copy with the most output wins, the earliest on ties.
        Response& kept = m_responses[it->second];
        if (r.output > kept.output) {
            r.hasDay = kept.hasDay;
            r.day = std::move(kept.day);
            kept = std::move(r);
        }
    }

    // Without a request id a gateway may reuse one message id for every response; the input-side counts then
    // tell different responses apart.
    static std::string responseKey(std::string_view id, std::optional<std::string_view> requestId, const Response& r)
    {
        std::string key(id);
        if (requestId) {
            key.push_back('\x01');
            key.append(*requestId);
        } else {
            key.push_back('\x02');
            for (const double v : {r.input, r.cacheRead, r.cacheWrite})
                key.append(reinterpret_cast<const char*>(&v), sizeof v);
        }
        return key;
    }

    size_t modelIndex(std::string_view model)
    {
        if (m_lastModel < m_models.size() && m_models[m_lastModel].first == model)
            return m_lastModel;
        for (size_t i = 0; i < m_models.size(); ++i)
            if (m_models[i].first == model)
                return m_lastModel = i;
        m_models.emplace_back(std::string(model), Pricing::baseFor(model));
        return m_lastModel = m_models.size() - 1;
    }

    void book(const Response& r)
    {
        const auto& [model, rate] = m_models[r.model];
        ModelAcc& acc = m_out.models[model];
        acc.messages += 1;
        acc.input += r.input;
        acc.output += r.output;
        acc.cacheRead += r.cacheRead;
        acc.cacheWrite += r.cacheWrite;
        m_out.assistantMessages += 1;
        const double cost = Pricing::costOf(rate, r.input, r.output, r.cacheRead, r.cacheWrite);
        m_out.tokensIn += r.input;
        m_out.tokensOut += r.output;
        m_out.cacheRead += r.cacheRead;
        m_out.cacheWrite += r.cacheWrite;
        m_out.cost += cost;
        if (r.hasDay) {
            DayBucket& bucket = m_out.perDay[r.day];
            bucket.cost += cost;
            bucket.tokens += r.input + r.output;
        }
    }

    void toolResult(element value, const TimeKit::LocalClock::Slot* day)
    {
        object result;
        if (value.get_object().get(result))
            return;
        const auto filePath = LineScanner::stringAt(result, "filePath");
        if (!filePath)
            return;
        const bool hasPatch = result.at_key("structuredPatch").error() != simdjson::NO_SUCH_FIELD;
        if (!hasPatch && !LineScanner::stringAt(result, "content"))
            return;
        const LineCounts counts = linesFromResultObject(result);
        if (counts.added == 0 && counts.removed == 0)
            return;
        m_out.linesAdded += counts.added;
        m_out.linesRemoved += counts.removed;
        m_out.editedFiles.emplace(*filePath);
        if (day)
            m_out.perDay[day->dayKey].linesAdded += counts.added;
    }

    ParseScratch::Impl& m_scratch;
    FileContribution m_out;
    TimestampBook m_timestamps;
    std::vector<Response> m_responses;
    std::unordered_map<std::string, size_t> m_byKey;
    std::vector<std::pair<std::string, Rate>> m_models;
    size_t m_lastModel = 0;
};

FileContribution scan(std::string_view padded, ParseScratch::Impl& scratch)
{
    TranscriptScan transcript(scratch);
    LineScanner::forEachLine(padded, [&](std::string_view line) { transcript.line(line); });
    return transcript.finish();
}

} // namespace

std::vector<std::string> findLogFiles(const std::string& root)
{
    return DirectoryWalk::find(root, DirectoryWalk::hasJsonlExtension);
}

FileContribution parseClaudeFile(const std::string& path, ParseScratch& scratch)
{
    const auto bytes = scratch.impl().readFile(path);
    return bytes ? scan(*bytes, scratch.impl()) : FileContribution{};
}

FileContribution parseClaudeFile(const std::string& path)
{
    ParseScratch scratch;
    return parseClaudeFile(path, scratch);
}

FileContribution parseClaudeBytes(std::string_view bytes, ParseScratch& scratch)
{
    const simdjson::padded_string padded(bytes);
    return scan(std::string_view(padded.data(), padded.size()), scratch.impl());
}

LineCounts linesFromResult(std::string_view toolResultJson)
{
    simdjson::dom::parser parser;
    object result;
    if (parser.parse(toolResultJson).get_object().get(result))
        return {};
    return linesFromResultObject(result);
}

} // namespace StatsEngine
