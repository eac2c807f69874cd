#include "core/DataDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace DataDirectory {
namespace {

std::string envPath(const char* name)
{
    const char* value = std::getenv(name);
    // Relative values are invalid for the XDG variables and are ignored, as the base-directory rules say.
    return value && value[0] == '/' ? std::string(value) : std::string();
}

std::string baseDirectory()
{
    if (std::string xdg = envPath("XDG_DATA_HOME"); !xdg.empty())
        return xdg;
    if (std::string h = home(); !h.empty())
        return h + "/.local/share";
    std::error_code ec;
    return std::filesystem::temp_directory_path(ec).string();
}

} // namespace

std::string home()
{
    if (std::string h = envPath("HOME"); !h.empty())
        return h;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return {};
}

std::string path()
{
    std::string base = baseDirectory();
    if (base.empty())
        base = "/tmp";
    std::string dir = base + "/Korvel";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    // The caches list every edited file path: the folder is the owner's alone, whatever the umask.
    chmod(dir.c_str(), 0700);
    return dir;
}

std::string file(std::string_view name)
{
    std::string out = path();
    out.push_back('/');
    out.append(name);
    return out;
}

} // namespace DataDirectory
