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
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            m_out.push_back('\\');
            m_out.push_back(c);
        } else if (byte < 0x20) {
            m_out += "\\u00";
            m_out.push_back(hex[byte >> 4]);
            m_out.push_back(hex[byte & 0xF]);
        } else {
            m_out.push_back(c);
        }
    }
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
    const auto end = std::to_chars(buf, buf + sizeof buf, number).ptr;
    m_out.append(buf, end);
}

void JsonWriter::value(bool flag)
{
    separate();
    m_out += flag ? "true" : "false";
}
