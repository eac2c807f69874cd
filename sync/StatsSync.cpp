#include "sync/StatsSync.h"

#include "core/TimeKit.h"
#include "prefs/Prefs.h"
#include "sync/AuthManager.h"
#include "sync/BackendAnswer.h"
#include "sync/JsonText.h"
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

void recordSync(const Stats& stats, double now)
{
    Prefs::setText(PrefKey::LastSyncDate, dayKey(now));
    Prefs::setReal(PrefKey::LastSyncTimestamp, now);
    Prefs::setText(PrefKey::LastSyncSignature, signature(stats));
}

} // namespace

void maybeSync(AuthManager& auth, std::shared_ptr<SyncThrottle> throttle, const Stats& stats)
{
    if (!auth.session() || !Prefs::leaderboardOptIn() || Prefs::flag(PrefKey::PrivateMode) || !auth.backend().usable())
        return;
    const double now = auth.now();
    if (now - Prefs::real(PrefKey::LastSyncTimestamp) < kMinInterval)
        return;
    if (Prefs::text(PrefKey::LastSyncSignature) == signature(stats))
        return;
    if (!throttle->tryBegin(now, kMinInterval))
        return;
    syncNow(auth, stats, [throttle](const AuthResult&) { throttle->finish(); });
}

void syncNow(AuthManager& auth, const Stats& stats, std::function<void(const AuthResult&)> completion)
{
    // Private mode promises that nothing leaves the computer, whoever asks.
    if (Prefs::flag(PrefKey::PrivateMode))
        return completion(AuthError::server(0, QStringLiteral("Private mode is on -- nothing leaves this computer")));
    auth.validAccessToken([&auth, stats, completion](const TokenResult& token) {
        if (const auto* error = std::get_if<AuthError>(&token))
            return completion(*error);
        const auto session = auth.session();
        if (!session)
            return completion(AuthError::notSignedIn());
        upsert(auth, payload(stats, session->userId, auth.now()), std::get<QString>(token),
               [&auth, stats, completion](const AuthResult& result) {
                   if (!result)
                       recordSync(stats, auth.now());
                   completion(result);
               });
    });
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

QString signature(const Stats& stats)
{
    QByteArray tokens = JsonText::number(stats.tokensIn + stats.tokensOut);
    if (!tokens.contains('.') && !tokens.contains('e') && !tokens.contains('n'))
        tokens += ".0";
    return QStringLiteral("%1|%2|%3")
        .arg(stats.linesAdded + stats.linesRemoved)
        .arg(QString::fromLatin1(tokens))
        .arg(stats.crackedScore);
}

QString dayKey(double when)
{
    return QString::fromStdString(TimeKit::dateKey(when));
}

void upsert(AuthManager& auth, const QJsonObject& body, const QString& token,
            std::function<void(const AuthResult&)> completion)
{
    const QUrl url = auth.backend().url(QStringLiteral("/rest/v1/scores"));
    if (!url.isValid())
        return completion(AuthError::network(QStringLiteral("Invalid URL")));
    HttpRequest request{"POST",
                        url,
                        {{"apikey", auth.backend().publishableKey().toUtf8()},
                         {"Authorization", "Bearer " + token.toUtf8()},
                         {"Content-Type", "application/json"},
                         {"Prefer", "resolution=merge-duplicates,return=minimal"}},
                        JsonText::compact(body)};
    auth.send(std::move(request),
              [token, completion](const HttpAnswer& answer) { completion(BackendAnswer::ofUpsert(answer, {token})); });
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
