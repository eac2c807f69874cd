#include "sync/StatsSync.h"

#include "core/TimeKit.h"
#include "prefs/Prefs.h"
#include "sync/AuthManager.h"
#include "sync/BackendAnswer.h"
#include "sync/JsonText.h"
#include "sync/PublicProfile.h"
#include "sync/SyncMemory.h"
#include "sync/SyncThrottle.h"

#include <QDateTime>
#include <cmath>

namespace StatsSync {
namespace {

QJsonValue integer(int64_t value)
{
    return QJsonValue(static_cast<qint64>(value));
}

QString utcSeconds(double when)
{
    const auto seconds = static_cast<qint64>(std::floor(when));
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(Qt::ISODate);
}

AuthError privateModeRefusal()
{
    return AuthError::server(0, QStringLiteral("Private mode is on -- nothing leaves this computer"));
}

bool stillSignedInAs(const AuthManager& auth, const QString& userId)
{
    const auto session = auth.session();
    return session && session->userId == userId;
}

// Seconds since the last sync; a time ahead of the clock (which was set back) is taken as now from here on, so that
// it holds syncs back for one interval instead of until the clock catches up.
double sinceLastSync(double now)
{
    const double last = Prefs::real(PrefKey::LastSyncTimestamp);
    if (last <= now)
        return now - last;
    Prefs::setReal(PrefKey::LastSyncTimestamp, now);
    return 0;
}

// Runs call with a token for the signed-in user, or completes with why there is none.
void withToken(AuthManager& auth, std::function<void(const QString& token, const QString& userId)> call,
               std::function<void(const AuthResult&)> completion)
{
    auth.validAccessToken([&auth, call, completion](const TokenResult& token) {
        if (const auto* error = std::get_if<AuthError>(&token))
            return completion(*error);
        const auto session = auth.session();
        if (!session)
            return completion(AuthError::notSignedIn());
        call(std::get<QString>(token), session->userId);
    });
}

// One write of the data API as the signed-in user: a merging upsert when there is a body, else a delete.
void write(AuthManager& auth, const QByteArray& method, const QString& path, const std::optional<QJsonObject>& body,
           const QString& token, const QString& failed, std::function<void(const AuthResult&)> completion)
{
    const QUrl url = auth.backend().url(path);
    if (!url.isValid())
        return completion(AuthError::network(QStringLiteral("Invalid URL")));
    HttpRequest request{
        method,
        url,
        {{"apikey", auth.backend().publishableKey().toUtf8()}, {"Authorization", "Bearer " + token.toUtf8()}},
        std::nullopt};
    if (body) {
        request.headers.append(QPair<QByteArray, QByteArray>("Content-Type", "application/json"));
        request.headers.append(QPair<QByteArray, QByteArray>("Prefer", "resolution=merge-duplicates,return=minimal"));
        request.body = JsonText::compact(*body);
    }
    auth.send(std::move(request), [token, failed, completion](const HttpAnswer& answer) {
        completion(BackendAnswer::ofRest(answer, {token}, failed));
    });
}

} // namespace

void maybeSync(AuthManager& auth, std::shared_ptr<SyncThrottle> throttle, const Stats& stats)
{
    const auto session = auth.session();
    if (!session || Prefs::flag(PrefKey::PrivateMode) || !auth.backend().configured())
        return;
    const double now = auth.now();
    if (!Prefs::leaderboardOptIn()) {
        if (SyncMemory::rowKept() && throttle->tryBegin(now, kMinInterval))
            leave(auth, [throttle](const AuthResult&) { throttle->finish(); });
        return;
    }
    if (sinceLastSync(now) < kMinInterval)
        return;
    // A new day makes yesterday's "today" wrong on the board even when no figure changed here.
    if (Prefs::text(PrefKey::LastSyncSignature) == signature(payload(stats, session->userId, now)) &&
        Prefs::text(PrefKey::LastSyncDate) == dayKey(now))
        return;
    if (!throttle->tryBegin(now, kMinInterval))
        return;
    syncNow(auth, stats, [throttle](const AuthResult&) { throttle->finish(); });
}

void syncNow(AuthManager& auth, const Stats& stats, std::function<void(const AuthResult&)> completion)
{
    // Private mode promises that nothing leaves the computer, whoever asks.
    if (Prefs::flag(PrefKey::PrivateMode))
        return completion(privateModeRefusal());
    const auto send = [&auth, stats, completion](const QString& token, const QString& userId) {
        const QJsonObject row = payload(stats, userId, auth.now());
        upsert(auth, row, token, [&auth, row, token, userId, completion](const AuthResult& result) {
            // The memory of a sync belongs to its user: one who signed out meanwhile left nothing to remember.
            if (!result && stillSignedInAs(auth, userId))
                SyncMemory::record(signature(row), auth.now());
            const auto session = auth.session();
            if (result || !session || session->userId != userId)
                return completion(result);
            // The name goes with the score, so that the board can show whose it is.
            write(auth, "POST", QStringLiteral("/rest/v1/profiles"), PublicProfile::row(*session), token,
                  QStringLiteral("Sync failed"), completion);
        });
    };
    withToken(auth, send, completion);
}

void leave(AuthManager& auth, std::function<void(const AuthResult&)> completion)
{
    if (Prefs::flag(PrefKey::PrivateMode))
        return completion(privateModeRefusal());
    const auto send = [&auth, completion](const QString& token, const QString& userId) {
        const QString filter = QStringLiteral("?user_id=eq.") + QString::fromLatin1(QUrl::toPercentEncoding(userId));
        const QString failed = QStringLiteral("Leaving failed");
        // The name goes first: a score left behind by a failure is removed at the next try, a name would not be.
        write(auth, "DELETE", QStringLiteral("/rest/v1/profiles") + filter, std::nullopt, token, failed,
              [&auth, filter, failed, token, userId, completion](const AuthResult& result) {
                  if (result)
                      return completion(result);
                  write(auth, "DELETE", QStringLiteral("/rest/v1/scores") + filter, std::nullopt, token, failed,
                        [&auth, userId, completion](const AuthResult& removed) {
                            if (!removed && stillSignedInAs(auth, userId))
                                SyncMemory::forget();
                            completion(removed);
                        });
              });
    };
    withToken(auth, send, completion);
}

QJsonObject payload(const Stats& stats, const QString& userId, double now)
{
    const QJsonValue topModel =
        stats.topModel ? QJsonValue(QString::fromStdString(*stats.topModel)) : QJsonValue(QJsonValue::Null);
    return QJsonObject{
        {QStringLiteral("user_id"), userId},
        {QStringLiteral("korvel_score"), integer(stats.crackedScore)},
        {QStringLiteral("streak"), integer(stats.streakCurrent)},
        {QStringLiteral("top_model"), topModel},
        {QStringLiteral("lines_today"), integer(stats.todayLinesAdded)},
        {QStringLiteral("lines_week"), integer(stats.weekLinesAdded)},
        {QStringLiteral("lines_all"), integer(stats.linesAdded + stats.linesRemoved)},
        {QStringLiteral("cost_today"), stats.todayCost},
        {QStringLiteral("cost_week"), stats.weekCost},
        {QStringLiteral("cost_all"), stats.cost},
        {QStringLiteral("tokens_today"), stats.todayTokens},
        {QStringLiteral("tokens_week"), stats.weekTokens},
        {QStringLiteral("tokens_all"), stats.tokensIn + stats.tokensOut},
        {QStringLiteral("last_synced"), utcSeconds(now)},
    };
}

QString signature(const QJsonObject& row)
{
    QJsonObject members = row;
    members.remove(QStringLiteral("last_synced"));
    // A row that cannot be written cannot be sent either; its empty signature matches no stored one.
    return QString::fromUtf8(JsonText::compact(members).value_or(QByteArray()));
}

QString dayKey(double when)
{
    return QString::fromStdString(TimeKit::dateKey(when));
}

void upsert(AuthManager& auth, const QJsonObject& body, const QString& token,
            std::function<void(const AuthResult&)> completion)
{
    write(auth, "POST", QStringLiteral("/rest/v1/scores"), body, token, QStringLiteral("Sync failed"),
          std::move(completion));
}

void dryRunPrint(const AuthManager& auth, const Stats& stats, std::ostream& out)
{
    const auto session = auth.session();
    const QString userId = session ? session->userId : QString::fromLatin1(kSignedOutUserId);
    out << "[korvel --sync-dry-run] would POST " << auth.backend().baseUrl().toStdString() << "/rest/v1/scores\n";
    out << "Headers: apikey=<anon key>, Authorization=Bearer <access_token>, Content-Type=application/json, "
           "Prefer=resolution=merge-duplicates,return=minimal\n";
    const auto json = JsonText::pretty(payload(stats, userId, auth.now()));
    if (json)
        out << json->toStdString() << '\n';
}

} // namespace StatsSync
