#include "core/ClaudeReader.h"

#include "core/DirectoryWalk.h"
#include "core/Hash64.h"
#include "core/LineScanner.h"
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
// Finds strings of a small table by view, without building a string per look-up.
struct TableHash
{
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

class NameTable
{
public:
    uint32_t indexOf(std::string_view name)
    {
        if (m_last < m_names.size() && m_names[m_last] == name)
            return m_last;
        if (const auto it = m_index.find(name); it != m_index.end())
            return m_last = it->second;
        m_last = static_cast<uint32_t>(m_names.size());
        m_names.emplace_back(name);
        m_index.emplace(m_names.back(), m_last);
        return m_last;
    }

    std::vector<std::string> take() { return std::move(m_names); }

private:
    std::vector<std::string> m_names;
    std::unordered_map<std::string, uint32_t, TableHash, std::equal_to<>> m_index;
    uint32_t m_last = 0;
};

struct LineFields
{
    std::optional<std::string_view> timestamp;
    std::optional<std::string_view> type;
    std::optional<std::string_view> requestId;
    std::optional<std::string_view> cwd;
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
        } else if (key == "cwd") {
            std::string_view s;
            if (!field.value.get_string().get(s) && !s.empty())
                f.cwd = s;
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
        if (f.cwd && m_out.project.empty())
            m_out.project = *f.cwd;
        if (f.type) {
            if (*f.type == "last-prompt" || (*f.type == "user" && isTypedPrompt(f)))
                prompt(day);
            else if (*f.type == "assistant")
                assistant(f, day);
        }
        if (f.toolUseResult)
            toolResult(*f.toolUseResult, day);
    }

    ParsedLog finish()
    {
        if (!m_out.activeDays.empty())
            m_out.perDay[*m_out.activeDays.begin()].sessions = 1;
        ParsedLog log;
        log.base = std::move(m_out);
        log.responseModels = m_models.take();
        log.responseDays = m_days.take();
        log.responses = std::move(m_responses);
        return log;
    }

private:
    const TimeKit::LocalClock::Slot* timestamp(const LineFields& f)
    {
        if (!f.timestamp)
            return nullptr;
        const auto t = TimeKit::epoch(*f.timestamp);
        return t ? &m_timestamps.note(*t) : nullptr;
    }

    void prompt(const TimeKit::LocalClock::Slot* day)
    {
        ++m_out.prompts;
        if (day)
            m_out.perDay[day->dayKey].prompts += 1;
    }

    void assistant(const LineFields& f, const TimeKit::LocalClock::Slot* day)
    {
        object message;
        object usage;
        std::string_view model;
        if (!f.message || f.message->get_object().get(message) || message.at_key("usage").get_object().get(usage) ||
            message.at_key("model").get_string().get(model) || model == "<synthetic>")
            return;
        LoggedResponse r;
        r.input = LineScanner::tokenCountOr0(usage.at_key("input_tokens"));
        r.output = LineScanner::tokenCountOr0(usage.at_key("output_tokens"));
        r.cacheRead = LineScanner::tokenCountOr0(usage.at_key("cache_read_input_tokens"));
        r.cacheWrite = LineScanner::tokenCountOr0(usage.at_key("cache_creation_input_tokens"));
        object split;
        if (!usage.at_key("cache_creation").get_object().get(split))
            r.cacheWrite1h =
                std::min(LineScanner::tokenCountOr0(split.at_key("ephemeral_1h_input_tokens")), r.cacheWrite);
        r.model = m_models.indexOf(model);
        if (day)
            r.day = static_cast<int32_t>(m_days.indexOf(day->dayKey));
        const auto id = LineScanner::stringAt(message, "id");
        if (!id) {
            m_responses.push_back(r);
            return;
        }
        r.key = responseKey(*id, f.requestId, r);
        const auto [it, inserted] = m_byKey.try_emplace(r.key, m_responses.size());
        if (inserted) {
            m_responses.push_back(r);
            return;
        }
        // Later copies keep the first copy's day; the copy with the most output wins, the earliest on ties.
        LoggedResponse& kept = m_responses[it->second];
        if (r.output > kept.output) {
            r.day = kept.day;
            kept = r;
        }
    }

    // Without a request id a gateway may reuse one message id for every response; the input-side counts then
    // tell different responses apart. The key is a hash: it also finds the response in other transcripts.
    static uint64_t responseKey(std::string_view id, std::optional<std::string_view> requestId, const LoggedResponse& r)
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
        const uint64_t hash = hash64(key);
        return hash == 0 ? 1 : hash;
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
        if (day) {
            DayBucket& bucket = m_out.perDay[day->dayKey];
            bucket.linesAdded += counts.added;
            bucket.linesRemoved += counts.removed;
        }
    }

    ParseScratch::Impl& m_scratch;
    FileContribution m_out;
    TimestampBook m_timestamps;
    std::vector<LoggedResponse> m_responses;
    std::unordered_map<uint64_t, size_t> m_byKey;
    NameTable m_models;
    NameTable m_days;
};

ParsedLog scan(std::string_view padded, ParseScratch::Impl& scratch)
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

LogRead readClaudeLog(const std::string& path, ParseScratch& scratch)
{
    ParseScratch::Impl& impl = scratch.impl();
    TranscriptScan transcript(impl);
    LogRead out;
    out.read = impl.read(
        path, [&](std::string_view line) { transcript.line(line); }, false);
    out.log = transcript.finish();
    return out;
}

FileContribution parseClaudeFile(const std::string& path, ParseScratch& scratch)
{
    return readClaudeLog(path, scratch).log.contribution();
}

FileContribution parseClaudeFile(const std::string& path)
{
    ParseScratch scratch;
    return parseClaudeFile(path, scratch);
}

FileContribution parseClaudeBytes(std::string_view bytes, ParseScratch& scratch)
{
    const simdjson::padded_string padded(bytes);
    return scan(std::string_view(padded.data(), padded.size()), scratch.impl()).contribution();
}

} // namespace StatsEngine
