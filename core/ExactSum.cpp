#include "core/ExactSum.h"

#include <bit>
#include <cmath>

namespace {

constexpr int kFractionBits = 128;
constexpr int kWords = 4;

using Words = std::array<uint64_t, kWords>;

void addAt(Words& words, int index, uint64_t value)
{
    for (int i = index; i < kWords && value != 0; ++i) {
        const uint64_t before = words[static_cast<size_t>(i)];
        words[static_cast<size_t>(i)] = before + value;
        value = words[static_cast<size_t>(i)] < before ? 1 : 0;
    }
}

void subtractAt(Words& words, int index, uint64_t value)
{
    for (int i = index; i < kWords && value != 0; ++i) {
        const uint64_t before = words[static_cast<size_t>(i)];
        words[static_cast<size_t>(i)] = before - value;
        value = before < value ? 1 : 0;
    }
}

Words negated(Words words)
{
    for (uint64_t& w : words)
        w = ~w;
    addAt(words, 0, 1);
    return words;
}

// The 64 bits of words that start at bit position low (which may be negative: zeros are shifted in below).
uint64_t bitsFrom(const Words& words, int low)
{
    uint64_t out = 0;
    for (int bit = 0; bit < 64; ++bit) {
        const int pos = low + bit;
        if (pos < 0 || pos >= 64 * kWords)
            continue;
        if ((words[static_cast<size_t>(pos / 64)] >> (pos % 64)) & 1)
            out |= uint64_t{1} << bit;
    }
    return out;
}

bool anyBitBelow(const Words& words, int position)
{
    for (int i = 0; i < kWords && 64 * i < position; ++i) {
        const int bits = std::min(64, position - 64 * i);
        const uint64_t mask = bits == 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
        if (words[static_cast<size_t>(i)] & mask)
            return true;
    }
    return false;
}

} // namespace

void ExactSum::accumulate(double term, bool negate)
{
    if (!std::isfinite(term) || term == 0 || std::fabs(term) >= 0x1p126)
        return;
    const auto bits = std::bit_cast<uint64_t>(term);
    const int exponent = static_cast<int>((bits >> 52) & 0x7FF);
    if (exponent == 0)
        return; // subnormal: far below the 2^-128 unit
    const uint64_t mantissa = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    // term = mantissa * 2^(exponent - 1075); in units of 2^-128 that is mantissa shifted by:
    const int shift = exponent - 1075 + kFractionBits;
    if (shift <= -53)
        return;
    Words magnitude{};
    if (shift < 0) {
        magnitude[0] = mantissa >> -shift;
    } else {
        const int word = shift / 64;
        const int bit = shift % 64;
        magnitude[static_cast<size_t>(word)] = mantissa << bit;
        if (bit != 0 && word + 1 < kWords)
            magnitude[static_cast<size_t>(word + 1)] = mantissa >> (64 - bit);
    }
    const bool down = negate != (term < 0);
    for (int i = 0; i < kWords; ++i) {
        if (down)
            subtractAt(m_words, i, magnitude[static_cast<size_t>(i)]);
        else
            addAt(m_words, i, magnitude[static_cast<size_t>(i)]);
    }
}

double ExactSum::value() const
{
    const bool negative = (m_words[kWords - 1] >> 63) != 0;
    const Words magnitude = negative ? negated(m_words) : m_words;
    int top = -1;
    for (int i = kWords - 1; i >= 0 && top < 0; --i)
        if (magnitude[static_cast<size_t>(i)] != 0)
            top = 64 * i + 63 - std::countl_zero(magnitude[static_cast<size_t>(i)]);
    if (top < 0)
        return 0;
    // The 64 leading bits, with every bit below them folded into the last one: converting that to double rounds
    // exactly as the full value would (ties only when nothing lies below).
    const int low = top - 63;
    uint64_t leading = bitsFrom(magnitude, low);
    if (low > 0 && anyBitBelow(magnitude, low))
        leading |= 1;
    const double result = std::ldexp(static_cast<double>(leading), low - kFractionBits);
    return negative ? -result : result;
}

void ExactSum::add(const ExactSum& other)
{
    for (int i = kWords - 1; i >= 0; --i)
        addAt(m_words, i, other.m_words[static_cast<size_t>(i)]);
}

void ExactSum::subtract(const ExactSum& other)
{
    for (int i = kWords - 1; i >= 0; --i)
        subtractAt(m_words, i, other.m_words[static_cast<size_t>(i)]);
}
