#include "core/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicFile {
namespace {

constexpr size_t kTemporarySuffix = 7; // "." and mkostemp's six characters

} // namespace

std::optional<std::string> read(const std::string& path, size_t limit)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string out;
    struct stat st
    {
    };
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) <= limit) {
        out.reserve(static_cast<size_t>(st.st_size));
        char chunk[1 << 16];
        for (;;) {
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0 || out.size() + static_cast<size_t>(n) > limit) {
                if (n != 0)
                    st.st_mode = 0; // an error, or the file grew past the limit while it was read
                break;
            }
            out.append(chunk, static_cast<size_t>(n));
        }
    } else {
        st.st_mode = 0;
    }
    close(fd);
    if (!S_ISREG(st.st_mode))
        return std::nullopt;
    return out;
}

void removeStaleTemporaries(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir)
        return;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string_view candidate(entry->d_name);
        if (candidate.size() != name.size() + kTemporarySuffix || !candidate.starts_with(name) ||
            candidate[name.size()] != '.')
            continue;
        const std::string temp = folder + "/" + std::string(candidate);
        const int fd = ::open(temp.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        struct stat st
        {
        };
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0)
            unlink(temp.c_str());
        close(fd);
    }
}

bool write(const std::string& path, std::string_view bytes)
{
    std::string temp = path + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    // Held until the rename, so that a concurrent writer's clean-up knows this temporary is alive.
    bool ok = flock(fd, LOCK_EX) == 0;
    removeStaleTemporaries(path);
    // The caches list the user's edited files: only the owner may read them, whatever the umask.
    ok = ok && fchmod(fd, 0600) == 0;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<size_t>(n);
    }
    ok = ok && fsync(fd) == 0;
    ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok)
        unlink(temp.c_str());
    ok = close(fd) == 0 && ok;
    return ok;
}

} // namespace AtomicFile
