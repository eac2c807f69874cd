#pragma once

#include <string>
#include <string_view>

/// A file that lives in memory only (memfd), reachable by path like a file on disk: the fuzz targets hand their
/// input to readers that take a path, without touching the disk.
class MemoryFile
{
public:
    MemoryFile();
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    /// Replaces the whole content.
    void write(std::string_view bytes);
    /// A path that opens this file.
    const std::string& path() const { return m_path; }

private:
    int m_fd;
    std::string m_path;
};
