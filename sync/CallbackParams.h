#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <optional>

/// The name=value pairs of a sign-in callback's query or fragment ("korvel://auth?code=...").
class CallbackParams
{
public:
    /// The pairs of a query or fragment as it stands in the URL (percent-encoded, "&" between pairs).
    static CallbackParams parse(const QString& encoded);

    bool isEmpty() const { return m_pairs.isEmpty(); }
    /// The percent-decoded value of the first pair with exactly this name; absent when no pair has one.
    std::optional<QString> value(const QString& name) const;

    /// The message of a refused sign-in: "error_description", else "error"; plus signs read as spaces (form
    /// encoding), and percent-decoded once more when that gives valid text (some providers encode it twice).
    /// Absent when the pairs carry neither.
    std::optional<QString> errorMessage() const;

private:
    std::optional<QString> raw(const QString& name) const;

    /// Decoded names with their values as they stand in the URL.
    QList<QPair<QString, std::optional<QString>>> m_pairs;
};
