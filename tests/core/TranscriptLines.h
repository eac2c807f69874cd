#pragma once

#include <string>
#include <string_view>

/// Claude Code transcript lines, as the reader and builder tests feed them.
namespace TranscriptLines {

/// A response line; the message id and the request id are left out when empty.
inline std::string reply(std::string_view ts, std::string_view model, double in, double out, std::string_view id = "",
                         std::string_view request = "", double read = 0, double write = 0)
{
    const auto text = [](std::string_view s) { return "\"" + std::string(s) + "\""; };
    return R"({"type":"assistant","timestamp":)" + text(ts) +
           (request.empty() ? "" : R"(,"requestId":)" + text(request)) + R"(,"message":{)" +
           (id.empty() ? "" : R"("id":)" + text(id) + ",") + R"("model":)" + text(model) +
           R"(,"usage":{"input_tokens":)" + std::to_string(in) + R"(,"output_tokens":)" + std::to_string(out) +
           R"(,"cache_read_input_tokens":)" + std::to_string(read) + R"(,"cache_creation_input_tokens":)" +
           std::to_string(write) + "}}}\n";
}

/// A tool result that adds `added` lines to file.
inline std::string edit(std::string_view ts, int added, std::string_view file = "/src/a.ts")
{
    std::string lines;
    for (int i = 0; i < added; ++i)
        lines += std::string(i ? "," : "") + "\"+x\"";
    return R"({"type":"user","timestamp":")" + std::string(ts) + R"(","toolUseResult":{"filePath":")" +
           std::string(file) + R"(","structuredPatch":[{"lines":[)" + lines + "]}]}}\n";
}

/// Noon UTC of day, or the given time of it.
inline std::string at(std::string_view day, std::string_view time = "12:00:00")
{
    return std::string(day) + "T" + std::string(time) + "Z";
}

} // namespace TranscriptLines
