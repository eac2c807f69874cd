#include "app/DesktopLauncher.h"

#include "core/PlainText.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace DesktopLauncher {
namespace {

std::string ownFolder()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    const std::string self(path, static_cast<size_t>(n));
    return self.substr(0, self.rfind('/'));
}

} // namespace

std::string desktopPath()
{
    const std::string folder = ownFolder();
    if (folder.empty())
        return {};
    for (const char* relative : {"/korvel-desktop", "/../libexec/korvel/korvel-desktop"}) {
        const std::string candidate = folder + relative;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

int replaceProcess(char** argv, std::ostream& err)
{
    const std::string path = desktopPath();
    if (path.empty()) {
        err << "korvel: the desktop companion (korvel-desktop) is not installed beside korvel\n";
        return 1;
    }
    execv(path.c_str(), argv);
    err << "korvel: could not start " << PlainText::shown(path) << ": " << std::strerror(errno) << '\n';
    return 1;
}

} // namespace DesktopLauncher
