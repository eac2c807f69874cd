#include "core/DirectoryWalk.h"

#include <algorithm>
#include <atomic>
#include <dirent.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <thread>

namespace DirectoryWalk {
namespace {

struct DirCloser
{
    void operator()(DIR* dir) const { closedir(dir); }
};

bool isRealDirectory(const dirent& entry, const std::string& path)
{
    if (entry.d_type == DT_DIR)
        return true;
    if (entry.d_type != DT_UNKNOWN)
        return false;
    struct stat st
    {
    };
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Calls found(path, folder descriptor, name) for every kept entry under dirPath. Subfolders are walked in turn, or,
// when deferred is given, put there for someone else to walk.
template <typename Found>
void walk(const std::string& dirPath, const std::function<bool(std::string_view)>& keep, Found& found,
          std::vector<std::string>* deferred = nullptr)
{
    std::unique_ptr<DIR, DirCloser> dir(opendir(dirPath.c_str()));
    if (!dir)
        return;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string_view name(entry->d_name);
        if (name.empty() || name.front() == '.')
            continue;
        std::string path = dirPath;
        path.push_back('/');
        path.append(name);
        const bool descend = isRealDirectory(*entry, path);
        if (keep(name))
            found(path, dirfd(dir.get()), entry->d_name);
        if (descend && deferred)
            deferred->push_back(std::move(path));
        else if (descend)
            walk(path, keep, found);
    }
}

// Adds every kept entry under dirPath to out, with its stamp.
void walkStamped(const std::string& dirPath, const std::function<bool(std::string_view)>& keep,
                 std::vector<StampedEntry>& out, std::vector<std::string>* deferred = nullptr)
{
    auto found = [&](const std::string& path, int folder, const char* name) {
        struct stat st
        {
        };
        std::optional<FileStamp> stamp;
        if (fstatat(folder, name, &st, 0) == 0)
            stamp = FileStamp::from(st);
        out.push_back({path, stamp});
    };
    walk(dirPath, keep, found, deferred);
}

} // namespace

std::string absolute(const std::string& root)
{
    std::error_code ec;
    std::string path = std::filesystem::absolute(root, ec).string();
    if (ec)
        path = root;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::vector<std::string> find(const std::string& root, const std::function<bool(std::string_view name)>& keep)
{
    std::vector<std::string> out;
    auto found = [&](const std::string& path, int, const char*) { out.push_back(path); };
    if (!root.empty())
        walk(absolute(root), keep, found);
    return out;
}

std::vector<StampedEntry> findStamped(const std::string& root, const std::function<bool(std::string_view name)>& keep)
{
    std::vector<StampedEntry> out;
    if (root.empty())
        return out;
    // A stat per file is most of the cost of a large tree: the root's folders are shared out over the cores.
    std::vector<std::string> folders;
    walkStamped(absolute(root), keep, out, &folders);
    const size_t threads = std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), folders.size());
    std::vector<std::vector<StampedEntry>> parts(threads);
    std::atomic<size_t> next{0};
    const auto work = [&](size_t part) {
        for (size_t i = next++; i < folders.size(); i = next++)
            walkStamped(folders[i], keep, parts[part]);
    };
    {
        std::vector<std::jthread> helpers;
        for (size_t t = 1; t < threads; ++t)
            helpers.emplace_back(work, t);
        if (threads > 0)
            work(0);
    }
    for (auto& part : parts)
        std::move(part.begin(), part.end(), std::back_inserter(out));
    return out;
}

bool hasJsonlExtension(std::string_view name)
{
    constexpr std::string_view ext = ".jsonl";
    return name.size() > ext.size() && name.substr(name.size() - ext.size()) == ext;
}

} // namespace DirectoryWalk
