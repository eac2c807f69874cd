#pragma once

#include "core/LedgerState.h"
#include "core/StoredLog.h"

#include <optional>
#include <string>
#include <string_view>

/// The binary forms of what the parse cache stores: one log file's record, and the snapshot of a fold. Each starts
/// with a tag and ends with a checksum of everything before it; a decode is all-or-nothing and refuses anything
/// damaged, truncated or out of range (then the file is simply read again, or the fold made again).
namespace RecordCodec {

/// The record of the log file at path; the checksum covers the path too, so a record never passes for another
/// file's.
std::string encode(std::string_view path, const LogNote& note, const ParsedLog& log);
std::optional<StoredLog> decodeLog(std::string_view path, std::string_view bytes);

std::string encode(const FoldSnapshot& snapshot);
std::optional<FoldSnapshot> decodeSnapshot(std::string_view bytes);

std::string encode(const LedgerState& state);
std::optional<LedgerState> decodeState(std::string_view bytes);

} // namespace RecordCodec
