#pragma once

#include "sync/AuthError.h"
#include "sync/Leaderboard.h"

#include <functional>
#include <variant>

class AuthManager;

/// Reads the leaderboard from the backend with the publishable key: POST "/rest/v1/rpc/board" with the signed-in
/// user's id, so that the answer carries their own ranks.
namespace LeaderboardFetch {

using Result = std::variant<Leaderboard, AuthError>;

/// What a reader of the board shows instead of it while private mode is on.
inline const QString kPrivateModeText = QStringLiteral("Private mode is on \u2014 nothing leaves this computer");

/// Completes on the HTTP client's thread with the board or why there is none. In private mode, or without a
/// configured backend, it completes at once on the caller's thread without a request.
void fetch(AuthManager& auth, std::function<void(const Result&)> completion);

} // namespace LeaderboardFetch
