#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

/// The signed-in session. Its JSON form (one key per field, named as the field; optional fields left out when absent)
/// lives only in the keyring item.
struct AuthSession
{
    /// Bearer token for the backend.
    QString accessToken;
    /// Obtains a new access token; may be empty.
    QString refreshToken;
    /// Expiry of the access token, seconds since 1970-01-01 UTC.
    double expiresAt = 0;
    /// The backend's user id.
    QString userId;
    std::optional<QString> email;
    /// The name and picture shown on the leaderboard, from the sign-in's user metadata.
    std::optional<QString> displayName = std::nullopt;
    std::optional<QString> avatarUrl = std::nullopt;

    QByteArray toJson() const;
    /// All or nothing: absent when a required field is missing or of the wrong type.
    static std::optional<AuthSession> fromJson(const QByteArray& json);

    bool operator==(const AuthSession&) const = default;
};
