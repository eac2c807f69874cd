#pragma once

#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

#include <ctime>
#include <string>
#include <vector>

/// The real korvel with home as its home, data and configuration folder, in the time zone given.
inline ProgramResult korvel(const TempDir& home, const std::vector<std::string>& args, const std::string& zone = "UTC",
                            std::vector<std::string> env = {})
{
    env.insert(env.end(), {"HOME=" + home.path(), "TZ=" + zone, "XDG_DATA_HOME=" + home.path() + "/data",
                           "XDG_CONFIG_HOME=" + home.path() + "/config"});
    return runProgram(KORVEL_BINARY, args, env);
}

/// t as "2025-04-01T22:30:00Z".
inline std::string iso(std::time_t t)
{
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&t));
    return buf;
}

/// A Claude Code transcript line: an edit at ts adding and removing lines in a file named after added.
inline std::string edit(const std::string& ts, int added, int removed = 0)
{
    std::string lines;
    for (int i = 0; i < added + removed; ++i)
        lines += std::string(i ? "," : "") + (i < added ? "\"+a\"" : "\"-r\"");
    return R"({"type":"user","timestamp":")" + ts + R"(","toolUseResult":{"filePath":"/p/f)" + std::to_string(added) +
           R"(","structuredPatch":[{"lines":[)" + lines + "]}]}}\n";
}

/// A Claude Code transcript line: a response at ts with 1,000 input tokens and output tokens, its ids named by id.
inline std::string reply(const std::string& ts, int output, const std::string& id = "1")
{
    return R"({"type":"assistant","timestamp":")" + ts + R"(","requestId":"r)" + id + R"(","message":{"id":"m)" + id +
           R"(","model":"claude-opus-4-6","usage":{"input_tokens":1000,"output_tokens":)" + std::to_string(output) +
           "}}}\n";
}
