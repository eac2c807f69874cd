#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

/// One output file written through a large in-memory buffer, so that a corpus costs few system calls.
class FileSink
{
public:
    /// Creates or truncates path, buffering in buffer (kept by the caller from file to file so that its memory
    /// is reused); exits the program when the file cannot be written.
    FileSink(const std::string& path, std::string& buffer);
    ~FileSink();
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    /// Where the next line is appended.
    std::string& buffer() { return m_buffer; }

    /// Called after each complete line; writes the buffer out once it is large.
    void lineDone();

    /// Bytes written so far, buffered ones included.
    uint64_t bytes() const { return m_flushed + m_buffer.size(); }

private:
    void flush();

    std::string m_path;
    FILE* m_file = nullptr;
    std::string& m_buffer;
    uint64_t m_flushed = 0;
};
