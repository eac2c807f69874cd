#include "core/JsonWriter.h"

#include <charconv>
#include <cmath>

void JsonWriter::separate()
{
    if (m_needComma)
        m_out.push_back(',');
    m_needComma = true;
}

void JsonWriter::beginObject()
{
    separate();
    m_out.push_back('{');
    m_needComma = false;
}

void JsonWriter::endObject()
{
    m_out.push_back('}');
    m_needComma = true;
}

void JsonWriter::beginArray()
{
    separate();
    m_out.push_back('[');
    m_needComma = false;
}

void JsonWriter::endArray()
{
    m_out.push_back(']');
    m_needComma = true;
}

void JsonWriter::key(std::string_view name)
{
    value(name);
    m_out.push_back(':');
    m_needComma = false;
}

void JsonWriter::value(std::string_view text)
{
    separate();
    static constexpr char hex[] = "0123456789abcdef";
    m_out.push_back('"');
    size_t run = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\')
            continue;
        m_out.append(text.data() + run, i - run);
        run = i + 1;
        if (byte == '"' || byte == '\\') {
            m_out.push_back('\\');
            m_out.push_back(static_cast<char>(byte));
        } else {
            m_out += "\\u00";
            m_out.push_back(hex[byte >> 4]);
            m_out.push_back(hex[byte & 0xF]);
        }
    }
    m_out.append(text.data() + run, text.size() - run);
    m_out.push_back('"');
}

void JsonWriter::value(int64_t number)
{
    separate();
    char buf[24];
    const auto end = std::to_chars(buf, buf + sizeof buf, number).ptr;
    m_out.append(buf, end);
}

void JsonWriter::value(double number)
{
    separate();
    if (!std::isfinite(number)) {
        m_ok = false;
        m_out += "null";
        return;
    }
    char buf[32];
    // Whole token counts are the common case; written as integers they read back the same and cost far less.
    constexpr double kExactIntegers = 9007199254740992.0;
    const bool whole = std::fabs(number) < kExactIntegers && number == std::trunc(number) && !std::signbit(number);
    const auto end = whole ? std::to_chars(buf, buf + sizeof buf, static_cast<int64_t>(number)).ptr
                           : std::to_chars(buf, buf + sizeof buf, number).ptr;
    m_out.append(buf, end);
}

void JsonWriter::value(bool flag)
{
    separate();
    m_out += flag ? "true" : "false";
}

void JsonWriter::null()
{
    separate();
    m_out += "null";
}
