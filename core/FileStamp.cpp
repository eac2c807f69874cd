#include "core/FileStamp.h"

#include <sys/stat.h>

std::optional<FileStamp> FileStamp::of(const std::string& path)
{
    struct stat st
    {
    };
    if (stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return from(st);
}

FileStamp FileStamp::from(const struct stat& st)
{
    const double mtime = static_cast<double>(st.st_mtim.tv_sec) + static_cast<double>(st.st_mtim.tv_nsec) / 1e9;
    return FileStamp{mtime, static_cast<int64_t>(st.st_size)};
}
