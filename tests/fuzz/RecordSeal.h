#pragma once

#include <string>
#include <string_view>

/// Seals fuzzed bytes the way the parse cache seals its records (a checksum at the end), so that the decoders look
/// past the checksum into the body. An input is everything before the checksum: the tag and the body.
namespace RecordSeal {

/// The input sealed as the record of the log file at path.
std::string logRecord(std::string_view path, std::string_view unsealed);
/// The input sealed as a fold snapshot or a ledger state (they share one seal).
std::string snapshot(std::string_view unsealed);

/// Stops with a message when the codec seals differently from this (its checksum seed changed): the targets
/// would then test nothing but the checksum.
void requireSameSealAsCodec();

} // namespace RecordSeal
