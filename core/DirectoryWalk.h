#pragma once

#include "core/FileStamp.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace DirectoryWalk {

/// Every entry under root, at any depth, whose name passes keep: hidden entries (names beginning with a dot)
/// are skipped and never descended into, linked directories are listed but never followed (no loops), and
/// unreadable folders are passed over. A missing root gives an empty list. Paths are root-joined, with root
/// made absolute first.
std::vector<std::string> find(const std::string& root, const std::function<bool(std::string_view name)>& keep);

/// One entry that find kept, with its stamp (links followed), absent when its attributes could not be read.
struct StampedEntry
{
    std::string path;
    std::optional<FileStamp> stamp;
};

/// find with each entry's stamp, read relative to its open folder rather than through its full path (a tree of a
/// hundred thousand logs is listed in a fraction of the time).
std::vector<StampedEntry> findStamped(const std::string& root, const std::function<bool(std::string_view name)>& keep);

/// root made absolute, without trailing slashes: the prefix of every path that find gives for it.
std::string absolute(const std::string& root);

/// True when name ends in exactly ".jsonl" after at least one other character.
bool hasJsonlExtension(std::string_view name);

} // namespace DirectoryWalk
