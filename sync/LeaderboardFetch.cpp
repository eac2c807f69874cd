#include "sync/LeaderboardFetch.h"

#include "prefs/Prefs.h"
#include "sync/AuthManager.h"
#include "sync/BackendAnswer.h"
#include "sync/JsonText.h"

namespace LeaderboardFetch {

void fetch(AuthManager& auth, std::function<void(const Result&)> completion)
{
    if (Prefs::flag(PrefKey::PrivateMode))
        return completion(AuthError::server(0, kPrivateModeText));
    if (!auth.backend().configured())
        return completion(AuthError::network(QStringLiteral("No leaderboard server is set up")));
    const QUrl url = auth.backend().url(QStringLiteral("/rest/v1/rpc/board"));
    const auto session = auth.session();
    const QJsonObject body{{QStringLiteral("me"), session ? QJsonValue(session->userId) : QJsonValue()}};
    HttpRequest request{"POST",
                        url,
                        {{"apikey", auth.backend().publishableKey().toUtf8()}, {"Content-Type", "application/json"}},
                        JsonText::compact(body)};
    auth.send(std::move(request), [completion](const HttpAnswer& answer) {
        if (const AuthResult failed = BackendAnswer::ofRest(answer, {}, QStringLiteral("The leaderboard failed")))
            return completion(*failed);
        if (auto board = Leaderboard::fromJson(answer.body))
            return completion(std::move(*board));
        completion(AuthError::decode());
    });
}

} // namespace LeaderboardFetch
