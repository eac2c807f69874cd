#include "tests/fuzz/MemoryFile.h"

#include "tests/fuzz/Require.h"

#include <sys/mman.h>
#include <unistd.h>

MemoryFile::MemoryFile() : m_fd(memfd_create("korvel-fuzz", MFD_CLOEXEC))
{
    require(m_fd >= 0, "a memory file can be made");
    m_path = "/proc/self/fd/" + std::to_string(m_fd);
}

MemoryFile::~MemoryFile()
{
    close(m_fd);
}

void MemoryFile::write(std::string_view bytes)
{
    require(ftruncate(m_fd, 0) == 0, "the memory file can be emptied");
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = pwrite(m_fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        require(n > 0, "the memory file takes the input");
        done += static_cast<size_t>(n);
    }
}
