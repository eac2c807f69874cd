#pragma once

#include <cstddef>
#include <memory>
#include <sys/types.h>

/// Decompresses a zstd file as it is read from its descriptor, a little input at a time, so that the memory it
/// takes is bounded by the frame's window and not by the file's size or the size a frame claims.
class ZstdStream
{
public:
    /// Frames whose window is larger than this are refused rather than given the memory they ask for. zstd's own
    /// levels up to 19 stay below it.
    static constexpr int kWindowLogMax = 24;

    explicit ZstdStream(int fd);
    ~ZstdStream();
    ZstdStream(const ZstdStream&) = delete;
    ZstdStream& operator=(const ZstdStream&) = delete;

    /// Up to room decompressed bytes into out (room > 0): their number, 0 once every frame ended with the file,
    /// -1 on a read error or on input that does not decompress completely (see corrupt()).
    ssize_t read(char* out, size_t room);

    /// True when the input is not zstd, is damaged, asks for too much memory or ends inside a frame.
    bool corrupt() const { return m_corrupt; }

private:
    struct Impl;
    ssize_t fail(bool corrupt);

    std::unique_ptr<Impl> m_impl;
    bool m_corrupt = false;
};
