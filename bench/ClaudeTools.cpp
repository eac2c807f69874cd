#include "bench/ClaudeTools.h"

#include "bench/Ids.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::string_view kDirs[] = {"src", "src/components", "lib", "tests", "app/api", "crates/core/src", "docs"};
constexpr std::string_view kExtensions[] = {".ts", ".tsx", ".rs", ".py", ".cpp", ".go", ".md", ".json"};
constexpr std::string_view kCommands[] = {"npm test -- --watch=false",
                                          "cargo build --release 2>&1 | tail -20",
                                          "git status && git diff --stat",
                                          "pytest -q tests/",
                                          "rg -n \"TODO|FIXME\" src | head -50",
                                          "ls -la src/",
                                          "make -j4 && ./run_tests",
                                          "git log --oneline -20",
                                          "npx tsc --noEmit",
                                          "go test ./..."};

ToolKind drawKind(Random& random)
{
    const double u = random.unit();
    if (u < 0.35)
        return ToolKind::Edit;
    if (u < 0.45)
        return ToolKind::Write;
    if (u < 0.70)
        return ToolKind::Bash;
    if (u < 0.95)
        return ToolKind::Read;
    return ToolKind::Grep;
}

std::string_view toolName(ToolKind kind)
{
    switch (kind) {
    case ToolKind::Edit:
        return "Edit";
    case ToolKind::Write:
        return "Write";
    case ToolKind::Bash:
        return "Bash";
    case ToolKind::Read:
        return "Read";
    case ToolKind::Grep:
        return "Grep";
    }
    return "Bash";
}

void appendLine(std::string& text, std::string_view line)
{
    if (!text.empty())
        text.push_back('\n');
    text += line;
}

std::string prefixed(char prefix, std::string_view line)
{
    std::string out(1, prefix);
    out += line;
    return out;
}

// The model sees numbered lines, as `cat -n` prints them; separator is a tab or the arrow of the read tool.
void appendNumbered(std::string& out, std::string_view text, int64_t firstLine, std::string_view separator)
{
    int64_t number = firstLine;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        char num[24];
        std::snprintf(num, sizeof num, "%6lld", static_cast<long long>(number++));
        out += num;
        out += separator;
        out.append(text.substr(start, end - start));
        out.push_back('\n');
        start = end + 1;
    }
}

int64_t lineCount(std::string_view text)
{
    int64_t count = 0;
    for (const char c : text)
        count += c == '\n';
    return count;
}

void writeHunk(JsonOut& out, const Hunk& hunk)
{
    out.open().num("oldStart", hunk.oldStart).num("oldLines", hunk.oldLines);
    out.num("newStart", hunk.newStart).num("newLines", hunk.newLines).openArray("lines");
    for (const auto& line : hunk.lines)
        out.str(line);
    out.closeArray().close();
}

std::string editedSnippet(const ToolCall& call)
{
    std::string snippet;
    for (const auto& hunk : call.hunks)
        for (const auto& line : hunk.lines)
            if (line.front() != '-')
                appendLine(snippet, std::string_view(line).substr(1));
    return snippet;
}

void writeResultText(const ToolCall& call, std::string& text)
{
    text.clear();
    switch (call.kind) {
    case ToolKind::Edit:
        text = "The file " + call.filePath +
               " has been updated. Here's the result of running `cat -n` on a snippet of the edited file:\n";
        appendNumbered(text, editedSnippet(call), call.hunks.front().newStart, "\t");
        break;
    case ToolKind::Write:
        text = "File created successfully at: " + call.filePath;
        break;
    case ToolKind::Bash:
        text = call.output;
        break;
    case ToolKind::Read:
        appendNumbered(text, call.output, 1, "→");
        break;
    case ToolKind::Grep:
        text = "Found " + std::to_string(lineCount(call.output) + 1) + " files\n" + call.output;
        break;
    }
}

} // namespace

std::string ToolFactory::filePath(Random& random) const
{
    return m_cwd + "/" + std::string(random.pick(kDirs)) + "/" + std::string(m_pool.nameWord(random)) +
           std::string(m_pool.nameWord(random)) + std::string(random.pick(kExtensions));
}

void ToolFactory::edit(Random& random, ToolCall& call) const
{
    m_pool.code(random, static_cast<size_t>(random.logBetween(400, 30'000)), call.output);
    const int64_t hunks = random.chance(0.85) ? 1 : random.between(2, 3);
    int64_t line = random.between(1, 400);
    int64_t shift = 0;
    for (int64_t h = 0; h < hunks; ++h) {
        Hunk hunk;
        const size_t from = random.index(m_pool.codeLineCount());
        const size_t to = random.index(m_pool.codeLineCount());
        const auto before = random.between(0, 3);
        const auto removed = random.between(0, 10);
        const auto added = std::max<int64_t>(random.between(0, 14), removed == 0 ? 1 : 0);
        const auto after = random.between(0, 3);
        for (int64_t i = 0; i < before; ++i)
            hunk.lines.push_back(prefixed(' ', m_pool.codeLine(from + static_cast<size_t>(i))));
        for (int64_t i = 0; i < removed; ++i) {
            const auto text = m_pool.codeLine(from + static_cast<size_t>(before + i));
            hunk.lines.push_back(prefixed('-', text));
            appendLine(call.input, text);
        }
        for (int64_t i = 0; i < added; ++i) {
            const auto text = m_pool.codeLine(to + static_cast<size_t>(i));
            hunk.lines.push_back(prefixed('+', text));
            appendLine(call.input2, text);
        }
        for (int64_t i = 0; i < after; ++i)
            hunk.lines.push_back(prefixed(' ', m_pool.codeLine(from + static_cast<size_t>(before + removed + i))));
        hunk.oldStart = line;
        hunk.newStart = line + shift;
        hunk.oldLines = before + removed + after;
        hunk.newLines = before + added + after;
        shift += added - removed;
        line += hunk.oldLines + random.between(5, 80);
        call.hunks.push_back(std::move(hunk));
    }
}

void ToolFactory::bash(Random& random, ToolCall& call) const
{
    call.input = random.pick(kCommands);
    call.input2 = "Run " + std::string(m_pool.nameWord(random)) + " checks";
    m_pool.prose(random, static_cast<size_t>(random.logBetween(40, 12'000)), call.output);
    if (random.chance(0.4)) {
        call.output += "\n\n";
        m_pool.code(random, static_cast<size_t>(random.logBetween(100, 6'000)), call.output);
    }
}

void ToolFactory::grep(Random& random, ToolCall& call) const
{
    call.input = std::string(m_pool.nameWord(random)) + "(Value|Handler)\\(";
    const auto matches = random.between(1, 30);
    for (int64_t i = 0; i < matches; ++i)
        appendLine(call.output, filePath(random));
}

ToolCall ToolFactory::make(Random& random, bool huge) const
{
    ToolCall call;
    call.kind = huge ? (random.chance(0.5) ? ToolKind::Read : ToolKind::Write) : drawKind(random);
    call.id = Ids::base62(random, "toolu_01", 22);
    call.filePath = filePath(random);
    // A read's result line holds the text twice (numbered for the model, raw for the log), a write's lines once.
    const int64_t hugeFrom = call.kind == ToolKind::Read ? 250'000 : 500'000;
    const auto bodyBytes =
        static_cast<size_t>(huge ? random.logBetween(hugeFrom, hugeFrom * 11 / 2) : random.logBetween(300, 30'000));
    switch (call.kind) {
    case ToolKind::Edit:
        edit(random, call);
        break;
    case ToolKind::Write:
        m_pool.code(random, bodyBytes, call.input);
        break;
    case ToolKind::Bash:
        bash(random, call);
        break;
    case ToolKind::Read:
        m_pool.code(random, bodyBytes, call.output);
        break;
    case ToolKind::Grep:
        grep(random, call);
        break;
    }
    return call;
}

void writeToolUse(JsonOut& out, const ToolCall& call)
{
    out.open().str("type", "tool_use").str("id", call.id).str("name", toolName(call.kind)).open("input");
    switch (call.kind) {
    case ToolKind::Edit:
        out.str("file_path", call.filePath).str("old_string", call.input).str("new_string", call.input2);
        break;
    case ToolKind::Write:
        out.str("file_path", call.filePath).str("content", call.input);
        break;
    case ToolKind::Bash:
        out.str("command", call.input).str("description", call.input2);
        break;
    case ToolKind::Read:
        out.str("file_path", call.filePath);
        break;
    case ToolKind::Grep:
        out.str("pattern", call.input).str("output_mode", "files_with_matches");
        break;
    }
    out.close().close();
}

void writeToolResultBlock(JsonOut& out, const ToolCall& call, std::string& scratch)
{
    writeResultText(call, scratch);
    out.open().str("tool_use_id", call.id).str("type", "tool_result").str("content", scratch).close();
}

void writeToolUseResult(JsonOut& out, const ToolCall& call)
{
    out.open("toolUseResult");
    switch (call.kind) {
    case ToolKind::Edit:
        out.str("filePath", call.filePath).str("oldString", call.input).str("newString", call.input2);
        out.str("originalFile", call.output).openArray("structuredPatch");
        for (const auto& hunk : call.hunks)
            writeHunk(out, hunk);
        out.closeArray().flag("userModified", false).flag("replaceAll", false);
        break;
    case ToolKind::Write:
        out.str("type", "create").str("filePath", call.filePath).str("content", call.input);
        break;
    case ToolKind::Bash:
        out.str("stdout", call.output).str("stderr", "").flag("interrupted", false).flag("isImage", false);
        break;
    case ToolKind::Read: {
        const int64_t lines = lineCount(call.output);
        out.str("type", "text").open("file").str("filePath", call.filePath).str("content", call.output);
        out.num("numLines", lines).num("startLine", 1).num("totalLines", lines).close();
        break;
    }
    case ToolKind::Grep:
        out.str("mode", "files_with_matches").openArray("filenames");
        for (size_t start = 0; start <= call.output.size();) {
            const size_t end = std::min(call.output.find('\n', start), call.output.size());
            out.str(std::string_view(call.output).substr(start, end - start));
            start = end + 1;
        }
        out.closeArray().num("numFiles", lineCount(call.output) + 1);
        break;
    }
    out.close();
}
