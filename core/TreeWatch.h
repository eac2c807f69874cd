#pragma once

#include <set>
#include <string>
#include <unordered_map>
#include <vector>

/// What changed under a few folder trees since the last look, from the kernel's file events (inotify on Linux),
/// so that a build can look at just that instead of listing every log file again. Folders are watched as the
/// listing walks them: hidden folders and linked folders are left out. Where events are not to be had or were
/// lost, it says that everything must be looked at again.
class TreeWatch
{
public:
    struct Changes
    {
        /// Events were lost, a folder could not be watched or a missing root appeared: list everything again.
        bool everything = false;
        /// Files created, written, changed in mode, removed or renamed.
        std::set<std::string> files;
        /// Folders created, removed or renamed, with everything below them.
        std::set<std::string> folders;

        bool empty() const { return !everything && files.empty() && folders.empty(); }
    };

    TreeWatch();
    ~TreeWatch();
    TreeWatch(const TreeWatch&) = delete;
    TreeWatch& operator=(const TreeWatch&) = delete;

    /// Watches root and every folder below it; a root that does not exist yet is looked for at each poll.
    void watch(const std::string& root);

    /// The changes since the last poll; never blocks.
    Changes poll();

private:
    void watchFolder(const std::string& path);

    int m_fd = -1;
    bool m_failed = false;
    std::unordered_map<int, std::string> m_folders;
    std::vector<std::string> m_missingRoots;
};
