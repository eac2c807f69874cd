#include "core/PlainText.h"

#include <cstdint>

namespace PlainText {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at the start of bytes, or of its maximal ill-formed prefix negated.
int sequenceAt(std::string_view bytes)
{
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(bytes[i]); };
    const uint8_t lead = byte(0);
    if (lead < 0x80)
        return 1;
    int length = 0;
    uint8_t low = 0x80, high = 0xBF; // the range of the second byte, narrowed for some leads
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return -1;
    }
    for (int i = 1; i < length; ++i) {
        if (static_cast<size_t>(i) >= bytes.size())
            return -i;
        const uint8_t b = byte(static_cast<size_t>(i));
        if (i == 1 ? (b < low || b > high) : (b < 0x80 || b > 0xBF))
            return -i;
    }
    return length;
}

bool isControl(std::string_view sequence)
{
    const auto lead = static_cast<uint8_t>(sequence[0]);
    if (sequence.size() == 1)
        return lead < 0x20 || lead == 0x7F;
    // U+0080-U+009F are C2 80 to C2 9F.
    return sequence.size() == 2 && lead == 0xC2 && static_cast<uint8_t>(sequence[1]) <= 0x9F;
}

std::string replaced(std::string_view text, bool controls)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const int n = sequenceAt(text);
        const size_t taken = static_cast<size_t>(n < 0 ? -n : n);
        const std::string_view sequence = text.substr(0, taken);
        out += n < 0 || (controls && isControl(sequence)) ? kReplacement : sequence;
        text.remove_prefix(taken);
    }
    return out;
}

} // namespace

std::string shown(std::string_view text)
{
    return replaced(text, true);
}

std::string validUtf8(std::string_view text)
{
    return replaced(text, false);
}

} // namespace PlainText
