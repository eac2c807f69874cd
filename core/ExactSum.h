#pragma once

#include <array>
#include <cstdint>

/// A sum of doubles that does not depend on the order of its terms: each term is taken exactly (down to 2^-128)
/// into a 256-bit fixed-point integer, so adding a term and later subtracting it leaves no trace. Totals kept up to
/// date file by file therefore equal, bit for bit, totals folded from scratch in any order.
class ExactSum
{
public:
    /// Terms that are not finite, or whose magnitude reaches 2^126, are ignored: no count or price comes near.
    void add(double term) { accumulate(term, false); }
    void subtract(double term) { accumulate(term, true); }

    /// Adds or takes out a whole other sum, exactly.
    void add(const ExactSum& other);
    void subtract(const ExactSum& other);

    /// The sum, correctly rounded to the nearest double.
    double value() const;

    /// The fixed-point integer itself, least significant word first, for storing a sum and reading it back.
    const std::array<uint64_t, 4>& words() const { return m_words; }
    static ExactSum fromWords(const std::array<uint64_t, 4>& words)
    {
        ExactSum sum;
        sum.m_words = words;
        return sum;
    }

    bool operator==(const ExactSum&) const = default;

private:
    void accumulate(double term, bool negate);

    // Two's complement, least significant word first, in units of 2^-128.
    std::array<uint64_t, 4> m_words{};
};
