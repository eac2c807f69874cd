#include "core/LineScanner.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ParseScratch::ParseScratch() : m_impl(std::make_unique<Impl>()) {}
ParseScratch::~ParseScratch() = default;

namespace {

struct Fd
{
    int fd;
    ~Fd()
    {
        if (fd >= 0)
            close(fd);
    }
};

} // namespace

std::optional<std::string_view> ParseScratch::Impl::readFile(const std::string& path)
{
    // Non-blocking open so that a FIFO named like a log cannot hang the build; only regular files are read.
    Fd file{open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0)
        return std::nullopt;
    struct stat st
    {
    };
    if (fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    const auto size = static_cast<size_t>(st.st_size);
    if (capacity < size + simdjson::SIMDJSON_PADDING) {
        capacity = size + simdjson::SIMDJSON_PADDING;
        buffer.reset(new (std::nothrow) char[capacity]);
        if (!buffer) {
            capacity = 0;
            return std::nullopt;
        }
    }
    // The file may grow or shrink while it is read: take at most the size seen at open, and what is there.
    size_t done = 0;
    while (done < size) {
        const ssize_t n = read(file.fd, buffer.get() + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    std::memset(buffer.get() + done, 0, simdjson::SIMDJSON_PADDING);
    return std::string_view(buffer.get(), done);
}
