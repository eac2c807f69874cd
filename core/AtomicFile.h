#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// Whole-file reads and crash-safe replacement of small files.
namespace AtomicFile {

/// The whole content of the file at path; absent when it cannot be read or holds more than limit bytes (it is then
/// not read at all).
std::optional<std::string> read(const std::string& path, size_t limit = SIZE_MAX);

/// Writes bytes to a temporary file in the same folder, flushes it, and renames it over path, so that readers
/// see the old file or the new one, never a part. False when anything failed; the old file is then untouched.
/// The file is private to its owner (mode 0600). Temporaries of path that a killed writer left behind go on the
/// way.
bool write(const std::string& path, std::string_view bytes);

/// Removes the temporaries of path (its name, a dot and six characters) that a writer killed before its rename
/// left behind; a live writer holds a lock on its temporary, so those are spared.
void removeStaleTemporaries(const std::string& path);

} // namespace AtomicFile
