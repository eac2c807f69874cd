#include "tests/fuzz/RecordSeal.h"

#include "core/ByteStream.h"
#include "core/Hash64.h"
#include "core/RecordCodec.h"
#include "tests/fuzz/Require.h"

namespace RecordSeal {
namespace {

// The codec's checksum seed, checked against the codec itself by requireSameSealAsCodec.
constexpr uint64_t kChecksumSeed = 0x6b6f7276656c0001ULL;

std::string sealed(std::string_view unsealed, uint64_t seed)
{
    ByteWriter out;
    out.raw(unsealed);
    out.fixed64(hash64(unsealed, seed));
    return out.take();
}

std::string_view unsealed(std::string_view record)
{
    return record.substr(0, record.size() - 8);
}

} // namespace

std::string logRecord(std::string_view path, std::string_view unsealed)
{
    return sealed(unsealed, hash64(path, kChecksumSeed));
}

std::string snapshot(std::string_view unsealed)
{
    return sealed(unsealed, kChecksumSeed);
}

void requireSameSealAsCodec()
{
    const std::string path = "/seal/check.jsonl";
    const std::string log = RecordCodec::encode(path, LogNote{}, ParsedLog{});
    const std::string fold = RecordCodec::encode(FoldSnapshot{});
    require(logRecord(path, unsealed(log)) == log && snapshot(unsealed(fold)) == fold,
            "the fuzz targets seal records as the codec does (update kChecksumSeed)");
}

} // namespace RecordSeal
