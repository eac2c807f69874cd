#pragma once

#include "bench/Random.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// Lines of text drawn once per run, from which every message, file body and command output is cut: copying
/// slices is far faster than composing each text word by word, and the seed still fixes every byte.
class TextPool
{
public:
    explicit TextPool(Random& random);

    /// Appends whole lines of source code (each ending in a line feed) from a random place until at least bytes
    /// were added.
    void code(Random& random, size_t bytes, std::string& out) const;

    /// Appends sentences and paragraphs of prose from a random place until at least bytes were added; the text
    /// ends with a full sentence, without trailing white space.
    void prose(Random& random, size_t bytes, std::string& out) const;

    /// One line of source code, without its line feed.
    std::string_view codeLine(size_t index) const;
    size_t codeLineCount() const { return m_code.starts.size(); }

    /// A short lower-case word usable in names.
    std::string_view nameWord(Random& random) const;

private:
    struct Lines
    {
        std::string text;
        std::vector<size_t> starts;
    };

    static void slice(const Lines& lines, Random& random, size_t bytes, std::string& out);

    Lines m_code;
    Lines m_prose;
};
