#include "core/TreeWatch.h"

#ifdef __linux__

#include <dirent.h>
#include <memory>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isFolder(const std::string& path)
{
    struct stat st
    {
    };
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> subfolders(const std::string& path)
{
    std::vector<std::string> out;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(path.c_str()), closedir);
    if (!dir)
        return out;
    while (const dirent* entry = readdir(dir.get())) {
        if (entry->d_name[0] == '.')
            continue;
        std::string child = path + "/" + entry->d_name;
        if (entry->d_type == DT_DIR || (entry->d_type == DT_UNKNOWN && isFolder(child)))
            out.push_back(std::move(child));
    }
    return out;
}

} // namespace

TreeWatch::TreeWatch() : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    m_failed = m_fd < 0;
}

TreeWatch::~TreeWatch()
{
    if (m_fd >= 0)
        close(m_fd);
}

void TreeWatch::watchFolder(const std::string& path)
{
    constexpr uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_CLOSE_WRITE |
                                 IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_DONT_FOLLOW | IN_ONLYDIR |
                                 IN_EXCL_UNLINK;
    const int wd = inotify_add_watch(m_fd, path.c_str(), kEvents);
    if (wd < 0) {
        // Out of watches (or the folder just went): the caller falls back to listing everything.
        m_failed = m_failed || isFolder(path);
        return;
    }
    m_folders[wd] = path;
    for (const std::string& child : subfolders(path))
        watchFolder(child);
}

void TreeWatch::watch(const std::string& root)
{
    if (m_failed)
        return;
    if (!isFolder(root)) {
        m_missingRoots.push_back(root);
        return;
    }
    watchFolder(root);
}

TreeWatch::Changes TreeWatch::poll()
{
    Changes changes;
    changes.everything = m_failed;
    for (const std::string& root : m_missingRoots)
        changes.everything = changes.everything || isFolder(root);
    alignas(inotify_event) char buffer[64 * 1024];
    while (!m_failed) {
        const ssize_t n = read(m_fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                changes.everything = true;
                continue;
            }
            const auto folder = m_folders.find(event->wd);
            if (folder == m_folders.end())
                continue;
            if (event->mask & IN_IGNORED) {
                m_folders.erase(folder);
                continue;
            }
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
                changes.folders.insert(folder->second);
                continue;
            }
            if (event->len == 0 || event->name[0] == '.' || event->name[0] == '\0')
                continue;
            std::string path = folder->second + "/" + event->name;
            if (event->mask & IN_ISDIR) {
                if (event->mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO))
                    changes.folders.insert(std::move(path));
            } else {
                changes.files.insert(std::move(path));
            }
        }
    }
    return changes;
}

#else

// Without file events every poll asks for a full listing, which is always right, only slower.
TreeWatch::TreeWatch() : m_failed(true) {}
TreeWatch::~TreeWatch() = default;
void TreeWatch::watchFolder(const std::string&) {}
void TreeWatch::watch(const std::string&) {}
TreeWatch::Changes TreeWatch::poll()
{
    Changes changes;
    changes.everything = true;
    return changes;
}

#endif
