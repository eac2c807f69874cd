#include "bench/FileSink.h"

#include <cstdlib>

namespace {

constexpr size_t kFlushAt = 8u << 20;

[[noreturn]] void fail(const std::string& path)
{
    std::perror(path.c_str());
    std::exit(1);
}

} // namespace

FileSink::FileSink(const std::string& path, std::string& buffer)
    : m_path(path), m_file(std::fopen(path.c_str(), "wb")), m_buffer(buffer)
{
    if (!m_file)
        fail(m_path);
    m_buffer.clear();
}

FileSink::~FileSink()
{
    flush();
    if (std::fclose(m_file) != 0)
        fail(m_path);
}

void FileSink::lineDone()
{
    if (m_buffer.size() >= kFlushAt)
        flush();
}

void FileSink::flush()
{
    if (m_buffer.empty())
        return;
    if (std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) != m_buffer.size())
        fail(m_path);
    m_flushed += m_buffer.size();
    m_buffer.clear();
}
