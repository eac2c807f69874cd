#pragma once

#include <string>
#include <string_view>

/// Text from the logs, paths and servers, made fit to show: it cannot steer a terminal or break a line.
namespace PlainText {

/// text with every control character (U+0000-U+001F, U+007F-U+009F) replaced by U+FFFD, and every maximal
/// subsequence that is not UTF-8 by one U+FFFD.
std::string shown(std::string_view text);

/// text with every maximal subsequence that is not UTF-8 replaced by one U+FFFD, control characters kept (for JSON,
/// which escapes them).
std::string validUtf8(std::string_view text);

} // namespace PlainText
