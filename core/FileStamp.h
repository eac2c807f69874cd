#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct stat;

/// A file's modification time (epoch seconds, fractions kept) and size in bytes.
struct FileStamp
{
    double mtime = 0;
    int64_t size = 0;

    /// The stamp of the file at path (links followed); absent when its attributes cannot be read.
    static std::optional<FileStamp> of(const std::string& path);
    /// The stamp of attributes already read.
    static FileStamp from(const struct stat& st);

    bool operator==(const FileStamp&) const = default;
};
