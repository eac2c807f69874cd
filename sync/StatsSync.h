#pragma once

#include "core/Stats.h"
#include "sync/AuthError.h"

#include <QJsonObject>
#include <QString>
#include <functional>
#include <memory>
#include <ostream>

class AuthManager;
class SyncThrottle;

/// Publishes the user's score row to the leaderboard table "scores" with a PostgREST upsert, followed by their name
/// in "profiles", and removes both when the user leaves the board. Its memory is three preferences (last sync date,
/// time and signature, see SyncMemory); the account is the one it is handed.
namespace StatsSync {

/// The least number of seconds between two automatic syncs.
constexpr double kMinInterval = 90;
/// The user id the dry run prints when signed out.
constexpr const char* kSignedOutUserId = "00000000-0000-0000-0000-000000000000";

/// After every statistics refresh: syncs only when signed in to a configured backend, opted in, not in private mode,
/// at least 90 seconds after the last sync (or attempt; a last sync in the future counts as now), and with a changed
/// signature or on a new local day. Opted out, it removes a row that may still be on the board instead, at the same
/// pace. Returns at once. The throttle is held until the request it lets through has finished.
void maybeSync(AuthManager& auth, std::shared_ptr<SyncThrottle> throttle, const Stats& stats);

/// Gets a valid token, upserts the row, records the sync and upserts the profile; completes with no error when both
/// were written. Refused without a request while private mode is on.
void syncNow(AuthManager& auth, const Stats& stats, std::function<void(const AuthResult&)> completion);

/// The row: the 14 members, "last_synced" the given time in UTC, whole seconds.
QJsonObject payload(const Stats& stats, const QString& userId, double now);

/// Removes the user's profile and row from the board and, once both are gone, the memory of the last sync. Refused
/// without a request while private mode is on.
void leave(AuthManager& auth, std::function<void(const AuthResult&)> completion);

/// The change detector: every member of the row but "last_synced", as one text.
QString signature(const QJsonObject& row);

/// The local calendar day of a time (seconds since 1970), YYYY-MM-DD.
QString dayKey(double when);

/// POSTs body to "/rest/v1/scores" as a merging upsert; completes on the HTTP client's thread.
void upsert(AuthManager& auth, const QJsonObject& body, const QString& token,
            std::function<void(const AuthResult&)> completion);

/// Prints the request that a sync would send (URL, headers with placeholders, the row pretty-printed with sorted
/// keys); sends nothing and applies no gate.
void dryRunPrint(const AuthManager& auth, const Stats& stats, std::ostream& out);

} // namespace StatsSync
