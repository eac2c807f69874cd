#include "sync/JsonText.h"

#include <QCborValue>
#include <charconv>
#include <cmath>

namespace JsonText {
namespace {

// Below this every integral double is exactly an integer and reads back from its digits.
constexpr double kExactIntegers = 9007199254740992.0;

QByteArray quoted(const QString& text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        const auto u = static_cast<unsigned char>(c);
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
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (u < 0x20)
                out += "\\u00" + QByteArray::number(u, 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    return out + '"';
}

std::optional<QByteArray> scalar(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return QByteArray("null");
    case QJsonValue::Bool:
        return QByteArray(value.toBool() ? "true" : "false");
    case QJsonValue::String:
        return quoted(value.toString());
    case QJsonValue::Double: {
        const QCborValue cbor = QCborValue::fromJsonValue(value);
        if (cbor.isInteger())
            return QByteArray::number(cbor.toInteger());
        const double d = value.toDouble();
        if (!std::isfinite(d))
            return std::nullopt;
        return number(d);
    }
    default:
        return std::nullopt;
    }
}

std::optional<QByteArray> write(const QJsonObject& object, bool indented)
{
    const QByteArray open = indented ? "{\n  " : "{";
    const QByteArray colon = indented ? " : " : ":";
    const QByteArray comma = indented ? ",\n  " : ",";
    const QByteArray close = indented ? "\n}" : "}";
    if (object.isEmpty())
        return QByteArray(indented ? "{\n\n}" : "{}");
    QByteArray out = open;
    bool first = true;
    // QJsonObject keeps its keys sorted.
    for (auto it = object.begin(); it != object.end(); ++it) {
        const auto value = scalar(it.value());
        if (!value)
            return std::nullopt;
        if (!first)
            out += comma;
        first = false;
        out += quoted(it.key()) + colon + *value;
    }
    return out + close;
}

} // namespace

std::optional<QByteArray> compact(const QJsonObject& object)
{
    return write(object, false);
}

std::optional<QByteArray> pretty(const QJsonObject& object)
{
    return write(object, true);
}

QByteArray number(double value)
{
    if (value == 0)
        return "0";
    if (std::trunc(value) == value && std::fabs(value) < kExactIntegers)
        return QByteArray::number(static_cast<qint64>(value));
    // Plain digits for the usual magnitudes, exponent form below 1e-4 and from 1e17 on.
    const double exponent = std::floor(std::log10(std::fabs(value)));
    const bool plain = exponent >= -4 && exponent < 17;
    char buf[400];
    const auto end =
        std::to_chars(buf, buf + sizeof buf, value, plain ? std::chars_format::fixed : std::chars_format::scientific)
            .ptr;
    return QByteArray(buf, static_cast<qsizetype>(end - buf));
}

} // namespace JsonText
