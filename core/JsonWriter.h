#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// Compact JSON text built in one string. Strings are escaped (quotes, backslash and every control character),
/// doubles are written in the shortest form that reads back as the same value.
class JsonWriter
{
public:
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    void key(std::string_view name);
    void value(std::string_view text);
    /// Without it a literal would pick the bool overload.
    void value(const char* text) { value(std::string_view(text)); }
    void value(int64_t number);
    void value(double number);
    void value(bool flag);
    void null();

    /// False once a value could not be written (a double that is not finite); the text is then unusable.
    bool ok() const { return m_ok; }
    std::string take() { return std::move(m_out); }

private:
    void separate();

    std::string m_out;
    bool m_needComma = false;
    bool m_ok = true;
};
