#include "core/DirectoryWalk.h"

#include <dirent.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>

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

void walk(const std::string& dirPath, const std::function<bool(std::string_view)>& keep, std::vector<std::string>& out)
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
            out.push_back(path);
        if (descend)
            walk(path, keep, out);
    }
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
    if (root.empty())
        return out;
    walk(absolute(root), keep, out);
    return out;
}

bool hasJsonlExtension(std::string_view name)
{
    constexpr std::string_view ext = ".jsonl";
    return name.size() > ext.size() && name.substr(name.size() - ext.size()) == ext;
}

} // namespace DirectoryWalk
