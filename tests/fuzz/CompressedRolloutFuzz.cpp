// A compressed Codex rollout (".jsonl.zst") read through the zstd stream and the chunked reader. The first byte picks
// the chunk size; the second whether the rest is compressed first (a real rollout, which must read exactly as the
// same text does plain) or is taken as the compressed file itself (anything at all: damaged frames, garbage after a
// frame, frames that claim any size), which must read as a reference decompression says, or count for nothing.

#include "core/CodexParser.h"
#include "core/ZstdStream.h"
#include "tests/fuzz/ChunkSizes.h"
#include "tests/fuzz/ContributionChecks.h"
#include "tests/fuzz/MemoryFile.h"
#include "tests/fuzz/Require.h"

#include <cstddef>
#include <cstdint>
#include <simdjson.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <zstd.h>

namespace {

// The reader takes a compressed rollout by its name: a link so named leads to the memory file.
const std::string& compressedPath(const MemoryFile& file)
{
    static const std::string path = [&] {
        std::string link = "/tmp/korvel-fuzz-" + std::to_string(getpid()) + "-rollout-1.jsonl.zst";
        unlink(link.c_str());
        require(symlink(file.path().c_str(), link.c_str()) == 0, "the link to the memory file can be made");
        return link;
    }();
    return path;
}

// What a reference decompression of all the bytes' frames, with the reader's window limit, makes of them.
struct Reference
{
    enum { Text, Broken, TooLong } outcome = Text;
    std::string text;
};

Reference decompressed(std::string_view bytes)
{
    constexpr size_t kMostOutput = size_t{16} << 20;
    ZSTD_DCtx* context = ZSTD_createDCtx();
    ZSTD_DCtx_setParameter(context, ZSTD_d_windowLogMax, ZstdStream::kWindowLogMax);
    Reference out;
    char buffer[1 << 14];
    ZSTD_inBuffer in{bytes.data(), bytes.size(), 0};
    size_t owed = 1;
    bool broken = bytes.empty();
    while (!broken && (in.pos < in.size || owed != 0) && out.text.size() <= kMostOutput) {
        ZSTD_outBuffer piece{buffer, sizeof buffer, 0};
        owed = ZSTD_decompressStream(context, &piece, &in);
        broken = ZSTD_isError(owed) || (in.pos == in.size && owed != 0 && piece.pos == 0);
        out.text.append(buffer, piece.pos);
    }
    ZSTD_freeDCtx(context);
    out.outcome = broken ? Reference::Broken : out.text.size() > kMostOutput ? Reference::TooLong : Reference::Text;
    return out;
}

std::string compressed(std::string_view text)
{
    std::string out(ZSTD_compressBound(text.size()), '\0');
    const size_t size = ZSTD_compress(out.data(), out.size(), text.data(), text.size(), 1);
    require(!ZSTD_isError(size), "any text compresses");
    out.resize(size);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    static ParseScratch inMemory;
    static MemoryFile file;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    const bool wholeRollout = (data[1] & 1) == 0;
    const Reference reference = wholeRollout ? Reference{Reference::Text, std::string(rest)} : decompressed(rest);
    file.write(wholeRollout ? compressed(rest) : std::string(rest));

    const LogRead read = CodexParser::readRollout(compressedPath(file), scratchFor(data[0]));
    const FileContribution& c = read.log.base;
    ContributionChecks::requireSound(c);
    require(read.log.responses.empty(), "a rollout books its responses into its totals");
    if (reference.outcome == Reference::TooLong)
        return 0;
    const bool utf8 = simdjson::validate_utf8(reference.text.data(), reference.text.size());
    if (reference.outcome == Reference::Broken) {
        // Reading stops at the first byte that is not UTF-8, which may come before the damage.
        require(read.read.status == ReadStatus::Undecodable || read.read.status == ReadStatus::InvalidUtf8,
                "what does not decompress is undecodable");
        require(c == FileContribution{}, "a rollout that does not decompress contributes nothing");
        return 0;
    }
    require(read.read.status == (utf8 ? ReadStatus::Complete : ReadStatus::InvalidUtf8),
            "a compressed rollout reads to its end exactly when its text is valid UTF-8");
    require(c == CodexParser::parseBytes(reference.text, inMemory), "a compressed rollout gives what its text gives");
    return 0;
}
