#pragma once

#include "bench/JsonOut.h"
#include "bench/Random.h"
#include "bench/TextPool.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

enum class ToolKind { Edit, Write, Bash, Read, Grep };

/// One hunk of an edit's structured patch.
struct Hunk
{
    int64_t oldStart = 1;
    int64_t oldLines = 0;
    int64_t newStart = 1;
    int64_t newLines = 0;
    std::vector<std::string> lines;
};

/// One tool call and everything its result reports, drawn up front so the call and its result agree.
struct ToolCall
{
    ToolKind kind = ToolKind::Bash;
    std::string id;
    std::string filePath;
    /// Edit: the old string; Write: the content; Bash: the command; Grep: the pattern.
    std::string input;
    /// Edit: the new string; Bash: the description.
    std::string input2;
    /// Edit: the original file; Read: the file's content; Bash: stdout; Grep: the matching paths.
    std::string output;
    std::vector<Hunk> hunks;
};

/// Draws the agent's tool calls within one working directory.
class ToolFactory
{
public:
    ToolFactory(const TextPool& pool, std::string cwd) : m_pool(pool), m_cwd(std::move(cwd)) {}

    /// A call of a random tool; huge makes it a read or write of 0.5-3 MB.
    ToolCall make(Random& random, bool huge) const;

private:
    std::string filePath(Random& random) const;
    void edit(Random& random, ToolCall& call) const;
    void bash(Random& random, ToolCall& call) const;
    void grep(Random& random, ToolCall& call) const;

    const TextPool& m_pool;
    std::string m_cwd;
};

/// The assistant's content block that makes the call.
void writeToolUse(JsonOut& out, const ToolCall& call);

/// The user's content block that returns the result to the model; scratch is working memory.
void writeToolResultBlock(JsonOut& out, const ToolCall& call, std::string& scratch);

/// The line's "toolUseResult" member, as the agent records it for itself.
void writeToolUseResult(JsonOut& out, const ToolCall& call);
