#include "bench/JsonOut.h"

#include <charconv>
#include <cstdio>

namespace {

bool needsEscape(unsigned char c)
{
    return c < 0x20 || c == '"' || c == '\\';
}

void appendEscape(std::string& out, unsigned char c)
{
    switch (c) {
    case '"':
        out += "\\\"";
        break;
    case '\\':
        out += "\\\\";
        break;
    case '\n':
        out += "\\n";
        break;
    case '\t':
        out += "\\t";
        break;
    case '\r':
        out += "\\r";
        break;
    case '\b':
        out += "\\b";
        break;
    case '\f':
        out += "\\f";
        break;
    default: {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", c);
        out += buf;
    }
    }
}

} // namespace

void appendJsonString(std::string& out, std::string_view value)
{
    out.push_back('"');
    size_t runStart = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        if (!needsEscape(c))
            continue;
        out.append(value.data() + runStart, i - runStart);
        appendEscape(out, c);
        runStart = i + 1;
    }
    out.append(value.data() + runStart, value.size() - runStart);
    out.push_back('"');
}

void JsonOut::separate()
{
    if (m_afterKey)
        m_afterKey = false;
    else if (m_needComma)
        m_out.push_back(',');
}

JsonOut& JsonOut::open()
{
    separate();
    m_out.push_back('{');
    m_needComma = false;
    return *this;
}

JsonOut& JsonOut::close()
{
    m_out.push_back('}');
    m_needComma = true;
    return *this;
}

JsonOut& JsonOut::openArray()
{
    separate();
    m_out.push_back('[');
    m_needComma = false;
    return *this;
}

JsonOut& JsonOut::closeArray()
{
    m_out.push_back(']');
    m_needComma = true;
    return *this;
}

JsonOut& JsonOut::key(std::string_view name)
{
    separate();
    appendJsonString(m_out, name);
    m_out.push_back(':');
    m_afterKey = true;
    return *this;
}

JsonOut& JsonOut::str(std::string_view value)
{
    separate();
    appendJsonString(m_out, value);
    m_needComma = true;
    return *this;
}

JsonOut& JsonOut::num(int64_t value)
{
    separate();
    char buf[24];
    const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    m_out.append(buf, end);
    m_needComma = true;
    return *this;
}

JsonOut& JsonOut::decimal(double value)
{
    separate();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", value);
    m_out += buf;
    m_needComma = true;
    return *this;
}

JsonOut& JsonOut::flag(bool value)
{
    separate();
    m_out += value ? "true" : "false";
    m_needComma = true;
    return *this;
}

JsonOut& JsonOut::null()
{
    separate();
    m_out += "null";
    m_needComma = true;
    return *this;
}

void JsonOut::endLine()
{
    m_out.push_back('\n');
    m_needComma = false;
    m_afterKey = false;
}
