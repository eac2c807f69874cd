#include "core/ZstdStream.h"

#include <cerrno>
#include <unistd.h>
#include <vector>
#include <zstd.h>

struct ZstdStream::Impl
{
    int fd = -1;
    ZSTD_DCtx* context = nullptr;
    std::vector<char> input;
    ZSTD_inBuffer pending{nullptr, 0, 0};
    /// What the decoder said last: 0 right after a frame ended, else more is owed.
    size_t owed = 1;
    bool inputEnded = false;

    ~Impl() { ZSTD_freeDCtx(context); }

    // Fills the input from the file: false on a read error.
    bool refill()
    {
        for (;;) {
            const ssize_t n = ::read(fd, input.data(), input.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return false;
            inputEnded = n == 0;
            pending = {input.data(), static_cast<size_t>(n), 0};
            return true;
        }
    }
};

ZstdStream::ZstdStream(int fd) : m_impl(std::make_unique<Impl>())
{
    m_impl->fd = fd;
    m_impl->context = ZSTD_createDCtx();
    m_impl->input.resize(ZSTD_DStreamInSize());
    if (m_impl->context)
        ZSTD_DCtx_setParameter(m_impl->context, ZSTD_d_windowLogMax, kWindowLogMax);
}

ZstdStream::~ZstdStream() = default;

ssize_t ZstdStream::fail(bool corrupt)
{
    m_corrupt = corrupt;
    return -1;
}

ssize_t ZstdStream::read(char* out, size_t room)
{
    Impl& s = *m_impl;
    if (!s.context)
        return fail(false);
    ZSTD_outBuffer output{out, room, 0};
    while (output.pos == 0) {
        const bool inputUsed = s.pending.pos == s.pending.size;
        if (inputUsed && !s.inputEnded) {
            if (!s.refill())
                return fail(false);
            continue;
        }
        if (inputUsed && s.owed == 0)
            return 0;
        const size_t ret = ZSTD_decompressStream(s.context, &output, &s.pending);
        if (ZSTD_isError(ret))
            return fail(true);
        s.owed = ret;
        // The file ended inside a frame (or held none): the decoder has nothing more to give.
        if (inputUsed && output.pos == 0)
            return fail(true);
    }
    return static_cast<ssize_t>(output.pos);
}
