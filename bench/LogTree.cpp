#include "bench/LogTree.h"

#include "core/ClaudeReader.h"
#include "core/CodexParser.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

uint64_t sizeOf(const std::string& path)
{
    struct stat st
    {
    };
    return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

void add(LogTree& tree, std::vector<std::string> paths, bool codex)
{
    for (auto& path : paths) {
        const uint64_t bytes = sizeOf(path);
        tree.totalBytes += bytes;
        tree.largestBytes = std::max(tree.largestBytes, bytes);
        tree.files.push_back({std::move(path), bytes, codex});
    }
}

} // namespace

uint64_t LogTree::count(bool codex) const
{
    uint64_t n = 0;
    for (const auto& file : files)
        n += file.codex == codex;
    return n;
}

uint64_t LogTree::bytes(bool codex) const
{
    uint64_t n = 0;
    for (const auto& file : files)
        n += file.codex == codex ? file.bytes : 0;
    return n;
}

LogTree listLogTree(const std::string& home)
{
    LogTree tree;
    add(tree, StatsEngine::findLogFiles(home + "/.claude/projects"), false);
    add(tree, CodexParser::findRollouts(home + "/.codex/sessions"), true);
    return tree;
}

void warmPageCache(const LogTree& tree)
{
    std::vector<char> chunk(1u << 20);
    for (const auto& file : tree.files) {
        const int fd = open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        while (read(fd, chunk.data(), chunk.size()) > 0) {
        }
        close(fd);
    }
}
