#pragma once

#include "sync/AuthSession.h"

#include <QJsonObject>
#include <QString>
#include <optional>

/// The name and picture a user shows on the leaderboard, taken from the sign-in's user object and written to the
/// table "profiles" next to the score row.
namespace PublicProfile {

/// The longest display name the table takes, in characters.
constexpr int kNameLength = 39;

/// The display name of a user object: its metadata's "user_name", else "full_name", else the part of "email"
/// before the "@"; plain text, cut to kNameLength. Absent when none of them has a character to show.
std::optional<QString> displayName(const QJsonObject& user);
/// The metadata's "avatar_url" when it is an https URL; absent otherwise.
std::optional<QString> avatarUrl(const QJsonObject& user);

/// The row for session's user: "user_id", "display_name" (a stand-in when the session knows no name) and
/// "avatar_url" (null when none).
QJsonObject row(const AuthSession& session);

} // namespace PublicProfile
