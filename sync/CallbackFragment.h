#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <optional>

/// The name=value pairs in the fragment of a sign-in callback URL ("korvel://auth#access_token=...").
class CallbackFragment
{
public:
    /// The pairs of url's fragment; absent when it has none or an empty one.
    static std::optional<CallbackFragment> of(const QUrl& url);

    /// The percent-decoded value of the first pair with exactly this name; absent when no pair has one.
    std::optional<QString> value(const QString& name) const;

    /// When the access token expires: "expires_at" when it is a decimal number, else now plus "expires_in" when
    /// that is one, else now plus an hour.
    double expiry(double now) const;

    /// The message of a refused sign-in: "error_description", else "error", else "OAuth sign-in failed"; plus signs
    /// read as spaces (form encoding), and percent-decoded once more when that gives valid text (some providers
    /// encode it twice).
    QString errorMessage() const;

private:
    std::optional<QString> raw(const QString& name) const;

    /// Decoded names with their values as they stand in the URL.
    QList<QPair<QString, std::optional<QString>>> m_pairs;
};
