#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <optional>

/// JSON text of a flat object, keys in sorted order. Integers are written exactly; other numbers in the shortest
/// form that reads back as the same double, integral ones without a fraction (45678), very small or large ones
/// in exponent form (1.5e-05). Strings are UTF-8 with quotes, backslashes and control characters escaped.
namespace JsonText {

/// One line, no spaces: the body of a request.
std::optional<QByteArray> compact(const QJsonObject& object);

/// One member per line, two-space indentation and " : " between key and value, as the platform's pretty printer
/// lays it out. Absent when a value cannot be written (a number that is not finite, a nested value).
std::optional<QByteArray> pretty(const QJsonObject& object);

/// A double as written in both forms.
QByteArray number(double value);

} // namespace JsonText
