#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace DirectoryWalk {

/// Every entry under root, at any depth, whose name passes keep: hidden entries (names beginning with a dot)
/// are skipped and never descended into, linked directories are listed but never followed (no loops), and
/// unreadable folders are passed over. A missing root gives an empty list. Paths are root-joined, with root
/// made absolute first.
std::vector<std::string> find(const std::string& root, const std::function<bool(std::string_view name)>& keep);

/// root made absolute, without trailing slashes: the prefix of every path that find gives for it.
std::string absolute(const std::string& root);

/// True when name ends in exactly ".jsonl" after at least one other character.
bool hasJsonlExtension(std::string_view name);

} // namespace DirectoryWalk
