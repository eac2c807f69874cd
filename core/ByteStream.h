#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

/// Appends values in a compact binary form: unsigned integers as base-128 varints, signed ones zig-zagged first,
/// doubles as their 8 bytes, strings with their length in front.
class ByteWriter
{
public:
    void byte(uint8_t value) { m_out.push_back(static_cast<char>(value)); }
    void unsignedInt(uint64_t value)
    {
        while (value >= 0x80) {
            byte(static_cast<uint8_t>(value | 0x80));
            value >>= 7;
        }
        byte(static_cast<uint8_t>(value));
    }
    void signedInt(int64_t value)
    {
        unsignedInt((static_cast<uint64_t>(value) << 1) ^ static_cast<uint64_t>(value >> 63));
    }
    void fixed64(uint64_t value)
    {
        char bytes[8];
        for (int i = 0; i < 8; ++i)
            bytes[i] = static_cast<char>(value >> (8 * i));
        m_out.append(bytes, 8);
    }
    void real(double value)
    {
        uint64_t bits;
        std::memcpy(&bits, &value, 8);
        fixed64(bits);
    }
    /// A figure: token counts are whole numbers, most of them small, so those take a varint; anything else its
    /// 8 bytes behind a marker.
    void number(double value)
    {
        if (value >= 0 && value < kWholeLimit && value == static_cast<double>(static_cast<uint64_t>(value))) {
            unsignedInt(static_cast<uint64_t>(value) << 1);
            return;
        }
        unsignedInt(1);
        real(value);
    }
    void text(std::string_view value)
    {
        unsignedInt(value.size());
        m_out.append(value);
    }
    static constexpr double kWholeLimit = 9007199254740992.0; // 2^53
    void raw(std::string_view bytes) { m_out.append(bytes); }

    const std::string& bytes() const { return m_out; }
    std::string take() { return std::move(m_out); }

private:
    std::string m_out;
};

/// Reads what ByteWriter wrote. Every read is bounds-checked: past the end, or on a malformed value, the reader
/// fails for good and returns zeros, so a decoder checks ok() once at the end.
class ByteReader
{
public:
    explicit ByteReader(std::string_view bytes) : m_in(bytes) {}

    bool ok() const { return m_ok; }
    bool atEnd() const { return m_in.empty(); }
    void fail() { m_ok = false; }

    uint8_t byte()
    {
        if (m_in.empty())
            return failed<uint8_t>();
        const auto value = static_cast<uint8_t>(m_in.front());
        m_in.remove_prefix(1);
        return value;
    }
    uint64_t unsignedInt()
    {
        uint64_t value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const uint8_t b = byte();
            value |= static_cast<uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80))
                return m_ok ? value : 0;
        }
        return failed<uint64_t>();
    }
    int64_t signedInt()
    {
        const uint64_t v = unsignedInt();
        return static_cast<int64_t>(v >> 1) ^ -static_cast<int64_t>(v & 1);
    }
    uint64_t fixed64()
    {
        if (m_in.size() < 8)
            return failed<uint64_t>();
        uint64_t value = 0;
        for (int i = 0; i < 8; ++i)
            value |= static_cast<uint64_t>(static_cast<uint8_t>(m_in[static_cast<size_t>(i)])) << (8 * i);
        m_in.remove_prefix(8);
        return value;
    }
    /// A finite double: no figure, time or stamp Korvel stores is anything else, so other bits mean a bad record.
    double real()
    {
        const uint64_t bits = fixed64();
        double value;
        std::memcpy(&value, &bits, 8);
        return std::isfinite(value) ? value : failed<double>();
    }
    double number()
    {
        const uint64_t tagged = unsignedInt();
        if (tagged == 1)
            return real();
        if ((tagged & 1) != 0 || tagged >= (uint64_t{1} << 54))
            return failed<double>();
        return static_cast<double>(tagged >> 1);
    }
    std::string text()
    {
        const uint64_t length = unsignedInt();
        if (length > m_in.size())
            return failed<std::string>();
        std::string value(m_in.substr(0, length));
        m_in.remove_prefix(length);
        return value;
    }
    /// The next length bytes as they are; empty (and failed) when fewer are left.
    std::string_view bytes(size_t length)
    {
        if (length > m_in.size())
            return failed<std::string_view>();
        const std::string_view value = m_in.substr(0, length);
        m_in.remove_prefix(length);
        return value;
    }
    /// A count of items that take at least one byte each: more than the bytes left is malformed, which keeps a
    /// corrupt count from reserving memory that nothing will fill.
    size_t count()
    {
        const uint64_t n = unsignedInt();
        return n <= m_in.size() ? static_cast<size_t>(n) : failed<size_t>();
    }

private:
    template <typename T> T failed()
    {
        m_ok = false;
        m_in = {};
        return T{};
    }

    std::string_view m_in;
    bool m_ok = true;
};
