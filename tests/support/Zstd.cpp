#include "tests/support/Zstd.h"

#include <stdexcept>
#include <zstd.h>

std::string zstdCompress(std::string_view text, int level)
{
    std::string out(ZSTD_compressBound(text.size()), '\0');
    const size_t size = ZSTD_compress(out.data(), out.size(), text.data(), text.size(), level);
    if (ZSTD_isError(size))
        throw std::runtime_error(ZSTD_getErrorName(size));
    out.resize(size);
    return out;
}
