#include "core/ChunkedLineReader.h"

#include "core/ZstdStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <simdjson.h>
#include <sys/stat.h>
#include <unistd.h>

static_assert(ChunkedLineReader::kPadding >= simdjson::SIMDJSON_PADDING);

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

// Longest line handed over: the in-place parser takes documents of up to 4 GiB.
constexpr size_t kLongestLine = 0xFFFFFFFFu - ChunkedLineReader::kPadding;

bool cannotBeObject(std::string_view line)
{
    const size_t first = line.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && line[first] != '{')
        return true;
    return std::memchr(line.data(), '\0', line.size()) != nullptr;
}

// Validates UTF-8 over a run of pieces that may split a character between them; the run ends at a line feed,
// which no character can straddle.
class Utf8Stream
{
public:
    bool feed(std::string_view piece, bool endsRun)
    {
        while (m_carryLength > 0 && !piece.empty() && m_carryLength < needed()) {
            m_carry[m_carryLength++] = piece.front();
            piece.remove_prefix(1);
        }
        if (m_carryLength > 0 && (m_carryLength == needed() || endsRun)) {
            if (!simdjson::validate_utf8(m_carry, m_carryLength))
                return false;
            m_carryLength = 0;
        }
        const size_t tail = endsRun ? 0 : incompleteTail(piece);
        if (!simdjson::validate_utf8(piece.data(), piece.size() - tail))
            return false;
        for (size_t i = piece.size() - tail; i < piece.size(); ++i)
            m_carry[m_carryLength++] = piece[i];
        return true;
    }

private:
    static size_t sequenceLength(unsigned char lead) { return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2; }
    size_t needed() const { return sequenceLength(static_cast<unsigned char>(m_carry[0])); }

    // Bytes at the end of piece that begin a multi-byte sequence not finished within it.
    static size_t incompleteTail(std::string_view piece)
    {
        for (size_t back = 1; back <= 3 && back <= piece.size(); ++back) {
            const auto byte = static_cast<unsigned char>(piece[piece.size() - back]);
            if ((byte & 0xC0) == 0x80)
                continue;
            return byte >= 0xC0 && sequenceLength(byte) > back ? back : 0;
        }
        return 0;
    }

    char m_carry[4] = {};
    size_t m_carryLength = 0;
};

} // namespace

// One file's read: the window of the buffer that holds the line being assembled.
struct ChunkedLineReader::Pass
{
    ChunkedLineReader& reader;
    const std::function<void(std::string_view)>& onLine;
    Options options;
    Utf8Stream utf8;
    size_t start = 0;
    size_t filled = 0;
    bool skipping = false;

    char* buffer() { return reader.m_buffer.get(); }
    size_t room() const { return reader.m_capacity - kPadding - filled; }
    bool validUtf8(std::string_view bytes, bool endsRun) { return !options.requireUtf8 || utf8.feed(bytes, endsRun); }

    bool emit(size_t from, size_t to)
    {
        const std::string_view line(buffer() + from, to - from);
        if (!validUtf8(line, true))
            return false;
        onLine(line);
        return true;
    }

    // Hands over every complete line in the buffer; false on invalid UTF-8.
    bool drainLines()
    {
        for (;;) {
            const auto* lf = static_cast<const char*>(std::memchr(buffer() + start, '\n', filled - start));
            if (!lf)
                return true;
            const auto end = static_cast<size_t>(lf - buffer());
            if (!emit(start, end))
                return false;
            start = end + 1;
        }
    }

    // Takes count new bytes at from: appended to the line being assembled, or, while a line is skipped, dropped up
    // to its line feed. False on invalid UTF-8.
    bool take(size_t from, size_t count)
    {
        if (!skipping) {
            filled += count;
            return drainLines();
        }
        const auto* lf = static_cast<const char*>(std::memchr(buffer() + from, '\n', count));
        const size_t dropped = lf ? static_cast<size_t>(lf - (buffer() + from)) : count;
        if (!validUtf8(std::string_view(buffer() + from, dropped), lf != nullptr))
            return false;
        if (!lf)
            return true;
        skipping = false;
        start = from + dropped + 1;
        filled = from + count;
        return drainLines();
    }

    // Makes room for more bytes of the line being assembled, or starts skipping it when it cannot be an object,
    // is too long to parse or cannot be held. False on invalid UTF-8.
    bool makeRoom()
    {
        if (skipping) {
            filled = start = 0;
            return true;
        }
        if (start > 0) {
            std::memmove(buffer(), buffer() + start, filled - start);
            filled -= start;
            start = 0;
        }
        if (room() > 0)
            return true;
        const std::string_view line(buffer(), filled);
        if (!cannotBeObject(line) && filled < kLongestLine && reader.grow(filled))
            return true;
        skipping = true;
        filled = 0;
        return validUtf8(line, false);
    }
};

ChunkedLineReader::ChunkedLineReader(size_t chunkBytes, LongLineTurn* turn)
    : m_chunk(std::max<size_t>(chunkBytes, 1)), m_turn(turn)
{
}

ChunkedLineReader::~ChunkedLineReader() = default;

bool ChunkedLineReader::grow(size_t lineBytes)
{
    if (m_turn && !m_longLine.owns_lock()) {
        ++m_turn->waiting;
        m_longLine = std::unique_lock(m_turn->mutex);
        --m_turn->waiting;
    }
    const size_t wanted = std::max(m_capacity * 2, lineBytes + m_chunk + kPadding);
    std::unique_ptr<char[]> bigger(new (std::nothrow) char[wanted]);
    if (!bigger)
        return false;
    std::memcpy(bigger.get(), m_buffer.get(), lineBytes);
    m_buffer = std::move(bigger);
    m_capacity = wanted;
    return true;
}

void ChunkedLineReader::release()
{
    // A file with a long line leaves a big buffer: give it back before another reader may grow one.
    m_buffer.reset();
    m_capacity = 0;
}

FileRead ChunkedLineReader::read(const std::string& path, const std::function<void(std::string_view)>& onLine,
                                 Options options)
{
    // Non-blocking open, so that a FIFO named like a log cannot hang the build.
    Fd file{open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    struct stat before
    {
    };
    if (file.fd < 0 || fstat(file.fd, &before) != 0)
        return {ReadStatus::Unreadable, std::nullopt};
    FileRead result{ReadStatus::Complete, FileStamp::from(before)};
    if (!S_ISREG(before.st_mode))
        return result;
    if (!m_buffer) {
        m_capacity = m_chunk + kPadding;
        m_buffer.reset(new (std::nothrow) char[m_capacity]);
        if (!m_buffer) {
            m_capacity = 0;
            return {ReadStatus::Unreadable, result.stamp};
        }
    }
    std::optional<ZstdStream> zstd;
    if (options.zstd)
        zstd.emplace(file.fd);
    const auto readSome = [&](char* into, size_t room) {
        return zstd ? zstd->read(into, room) : ::read(file.fd, into, room);
    };
    Pass pass{*this, onLine, options, {}, 0, 0, false};
    for (;;) {
        if (!pass.makeRoom()) {
            result.status = ReadStatus::InvalidUtf8;
            break;
        }
        const size_t at = pass.filled;
        const ssize_t n = readSome(m_buffer.get() + at, pass.room());
        if (n < 0 && errno == EINTR && !zstd)
            continue;
        if (n < 0) {
            result.status = zstd && zstd->corrupt() ? ReadStatus::Undecodable : ReadStatus::Unreadable;
            break;
        }
        const bool atEnd = n == 0;
        const bool ok = atEnd ? pass.skipping ? pass.validUtf8({}, true)
                                              : pass.start == pass.filled || pass.emit(pass.start, pass.filled)
                              : pass.take(at, static_cast<size_t>(n));
        if (!ok) {
            result.status = ReadStatus::InvalidUtf8;
            break;
        }
        if (atEnd)
            break;
    }
    if (m_capacity > m_chunk + kPadding) {
        if (options.afterLongLine)
            options.afterLongLine();
        release();
    }
    if (m_longLine.owns_lock())
        m_longLine.unlock();
    struct stat after
    {
    };
    if (result.status == ReadStatus::Complete &&
        (fstat(file.fd, &after) != 0 || !(FileStamp::from(after).mtime == result.stamp->mtime) ||
         FileStamp::from(after).size != result.stamp->size))
        result.status = ReadStatus::Changed;
    return result;
}
