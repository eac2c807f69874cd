#include "bench/PaddedReader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <simdjson.h>
#include <sys/stat.h>
#include <unistd.h>

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

std::optional<std::string_view> PaddedReader::read(const std::string& path)
{
    const Fd file{open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    struct stat st
    {
    };
    if (file.fd < 0 || fstat(file.fd, &st) != 0)
        return std::nullopt;
    const auto size = static_cast<size_t>(st.st_size);
    if (m_capacity < size + simdjson::SIMDJSON_PADDING) {
        m_capacity = size + simdjson::SIMDJSON_PADDING;
        m_buffer = std::make_unique_for_overwrite<char[]>(m_capacity);
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(file.fd, m_buffer.get() + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    std::memset(m_buffer.get() + done, 0, simdjson::SIMDJSON_PADDING);
    return std::string_view(m_buffer.get(), done);
}
