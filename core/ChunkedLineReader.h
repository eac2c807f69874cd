#pragma once

#include "core/FileStamp.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

/// How the reading of one log file ended.
enum class ReadStatus {
    /// Every byte was read (a special file such as a FIFO counts as an empty log).
    Complete,
    /// The file could not be opened or read; what was passed on must not be kept beyond this build.
    Unreadable,
    /// The file changed size or time while it was read; what was passed on is a consistent prefix, but the file
    /// must be read again next time.
    Changed,
    /// The caller asked for UTF-8 and a byte sequence was not (reading stopped there).
    InvalidUtf8,
    /// A compressed file did not decompress completely; what was passed on must not be kept.
    Undecodable,
};

struct FileRead
{
    ReadStatus status = ReadStatus::Unreadable;
    /// The file's stamp when it was opened; absent when it could not be.
    std::optional<FileStamp> stamp;
};

/// Shared by the readers of one build: a reader takes it before it buffers a line longer than its chunk and keeps it
/// to the end of that file, so that readers on every core never each hold a huge line at once.
struct LongLineTurn
{
    std::mutex mutex;
    /// Readers waiting for their turn (for tests and diagnostics).
    std::atomic<size_t> waiting{0};
};

/// Reads log files line by line in bounded chunks: memory stays near the chunk size plus the longest line, however
/// large the file. Each line is handed over inside one buffer with at least kPadding readable bytes after its end,
/// as an in-place JSON parser needs. Lines that cannot be a JSON object (they begin with something other than
/// white space and "{", or hold a NUL byte) and run past the chunk size are skipped without being buffered, so a
/// huge or sparse file of garbage costs time but no memory. Not shared between threads.
class ChunkedLineReader
{
public:
    static constexpr size_t kPadding = 64;
    static constexpr size_t kDefaultChunk = size_t{8} << 20;

    explicit ChunkedLineReader(size_t chunkBytes = kDefaultChunk, LongLineTurn* turn = nullptr);
    ~ChunkedLineReader();
    ChunkedLineReader(const ChunkedLineReader&) = delete;
    ChunkedLineReader& operator=(const ChunkedLineReader&) = delete;

    struct Options
    {
        /// Check that every byte of the file, skipped lines included, is valid UTF-8.
        bool requireUtf8 = false;
        /// The file is zstd-compressed: its lines are those of the decompressed bytes.
        bool zstd = false;
        /// Called at the end of a read that buffered a line longer than a chunk, before another reader sharing the
        /// turn may: the place to give back what parsing that line took.
        std::function<void()> afterLongLine;
    };

    /// Calls onLine for every line of the regular file at path, split at line-feed bytes (the line feed excluded,
    /// a last line without one included, empty lines passed too).
    FileRead read(const std::string& path, const std::function<void(std::string_view)>& onLine, Options options);
    FileRead read(const std::string& path, const std::function<void(std::string_view)>& onLine)
    {
        return read(path, onLine, Options{});
    }

private:
    struct Pass;

    bool grow(size_t lineBytes);
    void release();

    size_t m_chunk;
    std::unique_ptr<char[]> m_buffer;
    size_t m_capacity = 0;
    LongLineTurn* m_turn;
    /// Held from the first line that outgrows the chunk to the end of the read.
    std::unique_lock<std::mutex> m_longLine;
};
