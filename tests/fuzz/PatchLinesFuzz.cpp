// The apply_patch line counter: counts are never negative, never more than the patch has lines, and add up over
// any split of a patch into two at a line feed.

#include "core/CodexParser.h"
#include "tests/fuzz/Require.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view patch(reinterpret_cast<const char*>(data), size);
    const LineCounts whole = CodexParser::linesFromPatch(patch);
    require(whole.added >= 0 && whole.removed >= 0, "counts are not negative");
    const auto lines = 1 + std::count(patch.begin(), patch.end(), '\n');
    require(whole.added + whole.removed <= lines, "no line counts twice");

    // Split after the line feed nearest the middle: the two parts count what the whole counts.
    const size_t cut = patch.find('\n', patch.size() / 2);
    if (cut == std::string_view::npos)
        return 0;
    const LineCounts head = CodexParser::linesFromPatch(patch.substr(0, cut));
    const LineCounts tail = CodexParser::linesFromPatch(patch.substr(cut + 1));
    require(head.added + tail.added == whole.added && head.removed + tail.removed == whole.removed,
            "a patch counts what its parts count");
    return 0;
}
