#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// Appends JSON text to a string and places the commas itself; strings are escaped as JSON requires.
class JsonOut
{
public:
    explicit JsonOut(std::string& out) : m_out(out) {}

    JsonOut& open();
    JsonOut& close();
    JsonOut& openArray();
    JsonOut& closeArray();
    JsonOut& key(std::string_view name);
    JsonOut& str(std::string_view value);
    JsonOut& num(int64_t value);
    /// A number with one decimal, as percentages are written.
    JsonOut& decimal(double value);
    JsonOut& flag(bool value);
    JsonOut& null();

    JsonOut& str(std::string_view name, std::string_view value) { return key(name).str(value); }
    JsonOut& num(std::string_view name, int64_t value) { return key(name).num(value); }
    JsonOut& decimal(std::string_view name, double value) { return key(name).decimal(value); }
    JsonOut& flag(std::string_view name, bool value) { return key(name).flag(value); }
    JsonOut& null(std::string_view name) { return key(name).null(); }
    JsonOut& open(std::string_view name) { return key(name).open(); }
    JsonOut& openArray(std::string_view name) { return key(name).openArray(); }

    /// Ends the current line; the next value starts a new document.
    void endLine();

private:
    void separate();

    std::string& m_out;
    bool m_needComma = false;
    bool m_afterKey = false;
};

/// Appends value to out as a quoted JSON string.
void appendJsonString(std::string& out, std::string_view value);
