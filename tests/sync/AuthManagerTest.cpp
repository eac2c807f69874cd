#include "tests/support/WaitUntil.h"
#include "tests/sync/AccountFixture.h"

#include <QUrlQuery>

namespace {

class AuthManagerTest : public AccountFixture
{
protected:
    TokenResult token(AuthManager& auth)
    {
        return await<TokenResult>([&](auto done) { auth.validAccessToken(done); });
    }

    QString errorText(AuthManager& auth) { return std::get<AuthError>(token(auth)).description(); }

    qsizetype exchanges() { return backend.requestsTo("POST /auth/v1/token").size(); }
};

} // namespace

TEST_F(AuthManagerTest, SignInRefreshAndSignOutEachStoreThenTellOnce)
{
    auto auth = account(backend);
    EXPECT_EQ(signIn(*auth, kAda), AuthResult());
    const QUrlQuery asked(lastOpened().query());
    EXPECT_EQ(lastOpened().toString(QUrl::RemoveQuery), backend.baseUrl() + "/auth/v1/authorize");
    EXPECT_EQ(asked.queryItemValue("provider") + ' ' + asked.queryItemValue("redirect_to") + ' ' +
                  asked.queryItemValue("code_challenge_method"),
              "github korvel://auth s256");
    const QList<RecordedRequest> exchange = backend.requestsTo("POST /auth/v1/token");
    ASSERT_EQ(exchange.size(), 1);
    EXPECT_EQ(exchange[0].query, "grant_type=pkce");
    const QString verifier = exchange[0].json().value("code_verifier").toString();
    EXPECT_GE(verifier.size(), 43);
    EXPECT_FALSE(lastOpened().toString().contains(verifier)) << "only its challenge goes through the browser";
    const AuthSession first = auth->session().value_or(AuthSession{});
    EXPECT_EQ(first.userId, kAda.id);
    EXPECT_EQ(first.expiresAt, kStart + 3600);
    const auto users = backend.requestsTo("GET /auth/v1/user");
    ASSERT_EQ(users.size(), 1);
    EXPECT_EQ(users[0].header("apikey"), TestBackend::kPublishableKey);
    EXPECT_EQ(users[0].header("Authorization"), "Bearer " + first.accessToken.toUtf8());

    // A minute before it expires the token is renewed with the refresh token.
    clock = first.expiresAt - AuthManager::kRefreshMargin - 1;
    EXPECT_EQ(token(*auth), TokenResult(first.accessToken));
    clock = first.expiresAt - AuthManager::kRefreshMargin;
    EXPECT_NE(token(*auth), TokenResult(first.accessToken));
    const auto refreshes = backend.requestsTo("POST /auth/v1/token");
    ASSERT_EQ(refreshes.size(), 2);
    EXPECT_EQ(refreshes[1].query, "grant_type=refresh_token");
    EXPECT_EQ(refreshes[1].json(), QJsonObject({{"refresh_token", first.refreshToken}}));
    EXPECT_EQ(store->stored(), auth->session());

    // Signing out does not wait for the backend to revoke the session.
    const QByteArray bearer = "Bearer " + auth->session()->accessToken.toUtf8();
    backend.script("POST /auth/v1/logout", ScriptedAnswer::hold());
    auth->signOut();
    EXPECT_EQ(token(*auth), TokenResult(AuthError::notSignedIn()));
    ASSERT_TRUE(waitUntil([&] { return backend.requestsTo("POST /auth/v1/logout").size() == 1; }));
    EXPECT_EQ(backend.requestsTo("POST /auth/v1/logout")[0].header("Authorization"), bearer);
    EXPECT_EQ(backend.requestsTo("POST /auth/v1/logout")[0].query, "scope=local");
    backend.releaseHeld();
    EXPECT_EQ(store->journal(),
              (std::vector<std::string>{"load", "save", "change", "save", "change", "remove", "change"}))
        << "each change is told once, after the keyring";
}

TEST_F(AuthManagerTest, OnlyTheFirstCodeOfAPendingSignInIsExchangedWithItsVerifier)
{
    auto auth = account(backend);
    const QUrl early = authorize(*auth, kGrace);
    auth->cancelSignIn();
    EXPECT_FALSE(auth->signInPending());
    EXPECT_EQ(handle(*auth, early), AuthError::decode()) << "no sign-in waits";

    // Tokens in a fragment are never taken, and do not end the wait.
    const QUrl code = authorize(*auth, kAda);
    EXPECT_EQ(handle(*auth, QUrl(QStringLiteral("korvel://auth#") + backend.issue(kGrace).fragment())),
              AuthError::decode());
    EXPECT_EQ(handle(*auth, QUrl(QStringLiteral("https://evil.example/?") + code.query())), AuthError::decode());
    EXPECT_TRUE(auth->signInPending());
    EXPECT_EQ(exchanges(), 0);

    // A code caught on its way back is worth nothing with another sign-in's verifier.
    ASSERT_TRUE(auth->beginOAuth(QStringLiteral("github")));
    EXPECT_EQ(handle(*auth, code),
              AuthError::server(400, QStringLiteral("code challenge does not match previously saved code verifier")));
    EXPECT_FALSE(auth->signInPending()) << "the first code ends the wait";

    EXPECT_EQ(signIn(*auth, kAda), AuthResult());
    const QString used = backend.requestsTo("POST /auth/v1/token").last().json().value("auth_code").toString();
    ASSERT_TRUE(auth->beginOAuth(QStringLiteral("github")));
    EXPECT_EQ(handle(*auth, QUrl(QStringLiteral("korvel://auth?code=") + used)),
              AuthError::server(404, QStringLiteral("invalid flow state, no valid flow state found")));

    const QUrl late = authorize(*auth, kGrace);
    clock = kStart + AuthManager::kSignInWindow;
    EXPECT_FALSE(auth->signInPending());
    EXPECT_EQ(handle(*auth, late), AuthError::decode()) << "ten minutes have passed";

    auth->setUrlOpener([](const QUrl&) { return false; });
    EXPECT_FALSE(auth->beginOAuth(QStringLiteral("github")));
    EXPECT_FALSE(auth->signInPending()) << "the browser refused";
    EXPECT_EQ(auth->session()->userId, kAda.id);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(debugLines().filter(QStringLiteral("[korvel] ignored a sign-in callback")).size(), 4);
}

TEST_F(AuthManagerTest, RefusalsAndAnswersThatSignNobodyIn)
{
    auto auth = account(backend);
    EXPECT_TRUE(auth->beginOAuth(QStringLiteral("github")));
    EXPECT_EQ(handle(*auth, backend.followAuthorize(lastOpened()).value_or(QUrl())),
              AuthError::server(0, QStringLiteral("Denied by user")))
        << "the authorize page's refusal, form-encoded";

    const QString route = QStringLiteral("POST /auth/v1/token");
    const std::pair<QString, ScriptedAnswer> cases[] = {
        {route,
         ScriptedAnswer::of(200, R"({"access_token":"abc\r\nX-Injected: 1","refresh_token":"r","user":{"id":"u"}})")},
        {route, ScriptedAnswer::of(200, R"({"access_token":"a","user":{"id":"u"}})")},
        {QStringLiteral("GET /auth/v1/user"), ScriptedAnswer::of(401, R"({"code":401,"msg":"invalid JWT"})")},
        {QStringLiteral("GET /auth/v1/user"), ScriptedAnswer::of(200, R"(["id"])")},
    };
    const AuthError errors[] = {AuthError::decode(), AuthError::decode(),
                                AuthError::server(401, QStringLiteral("invalid JWT")), AuthError::decode()};
    for (int i = 0; i < 4; ++i) {
        backend.script(cases[i].first, cases[i].second);
        EXPECT_EQ(signIn(*auth, kAda), errors[i]) << cases[i].second.body.toStdString();
    }
    EXPECT_EQ(backend.requestsTo("GET /auth/v1/user").size(), 2) << "a token that would break its header is never sent";
    EXPECT_EQ(store->journal(), std::vector<std::string>{"load"});
}

TEST_F(AuthManagerTest, ALongerTokenLifeThanADayIsCutToADay)
{
    auto auth = account(backend);
    const IssuedSession issued = backend.issue(kAda);
    for (const char* expiry : {R"("expires_in":8640000)", R"("expires_at":4000000000,"expires_in":60)"}) {
        backend.script("POST /auth/v1/token",
                       ScriptedAnswer::of(200, R"({"access_token":")" + issued.accessToken.toUtf8() +
                                                   R"(","refresh_token":"r",)" + expiry + R"(,"user":{"id":"u"}})"));
        ASSERT_EQ(signIn(*auth, kAda), AuthResult());
        EXPECT_EQ(auth->session()->expiresAt, kStart + AuthManager::kLongestTokenLife) << expiry;
    }
}

TEST_F(AuthManagerTest, ARefusedRefreshSignsOutAndOtherFailuresKeepTheSession)
{
    const AuthSession stored = storedSession(kAda, 30);
    auto auth = account(backend);
    // Server texts are cut, cleaned of control characters and never carry a token.
    backend.script("POST /auth/v1/token",
                   ScriptedAnswer::of(500, R"({"msg":"refresh token )" + stored.refreshToken.toUtf8() + " and " +
                                               stored.accessToken.toUtf8() + R"( refused"})"));
    EXPECT_EQ(errorText(*auth), QStringLiteral("refresh token [hidden] and [hidden] refused"));
    backend.script("POST /auth/v1/token", ScriptedAnswer::of(500, R"({"msg":"one
two)" + QByteArray(400, 'x') + R"("})"));
    EXPECT_EQ(errorText(*auth),
              QStringLiteral("one two ") + QString(AuthError::kMaxMessageLength - 9, u'x') + u'\u2026');
    backend.script("POST /auth/v1/token", ScriptedAnswer::of(200, R"({"access_token":"a","refresh_token":"r"})"));
    EXPECT_EQ(token(*auth), TokenResult(AuthError::decode()));
    auto impatient = account(backend, 300);
    for (const ScriptedAnswer& late : {ScriptedAnswer::late(3000), ScriptedAnswer::silence()}) {
        backend.script("POST /auth/v1/token", late);
        EXPECT_EQ(token(*impatient), TokenResult(AuthError::network(QStringLiteral("The request timed out"))));
    }
    EXPECT_EQ(auth->session(), stored);
    EXPECT_EQ(changes, 0);

    backend.script("POST /auth/v1/token", ScriptedAnswer::of(401));
    EXPECT_EQ(token(*auth), TokenResult(AuthError::server(401, QStringLiteral("Request failed (401)"))));
    EXPECT_FALSE(store->stored());
    EXPECT_EQ(changes, 1);
}

TEST_F(AuthManagerTest, ARefreshThatLostItsSessionChangesNothing)
{
    storedSession(kAda, 0);
    auto auth = account(backend);
    backend.script("POST /auth/v1/token", ScriptedAnswer::hold());
    Awaited<TokenResult> pending;
    auth->validAccessToken(pending.callback());
    ASSERT_TRUE(waitUntil([&] { return backend.requests().size() == 1; }));
    auth->signOut();
    backend.releaseHeld();
    EXPECT_EQ(pending.get(), TokenResult(AuthError::notSignedIn()));
    EXPECT_FALSE(store->stored()) << "the renewed session of a signed-out user is dropped";
    EXPECT_EQ(changes, 1);
}

TEST_F(AuthManagerTest, AFailedKeyringWriteKeepsTheSessionForThisRunAndSaysSoOnce)
{
    store->setFailing(true);
    auto auth = account(backend);
    ASSERT_EQ(signIn(*auth, kAda), AuthResult());
    ASSERT_EQ(signIn(*auth, kAda), AuthResult());
    EXPECT_TRUE(auth->session());
    EXPECT_FALSE(auth->sessionInKeyring());
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(debugLines().filter(QStringLiteral("keyring")),
              QStringList(QStringLiteral("[korvel] could not store the session in the keyring (the test store refuses "
                                         "writes); you stay signed in for this run only")));
    for (const QString& line : debugLines())
        EXPECT_FALSE(line.contains(auth->session()->accessToken) || line.contains(auth->session()->refreshToken));
    store->setFailing(false);
    ASSERT_EQ(signIn(*auth, kAda), AuthResult());
    EXPECT_TRUE(auth->sessionInKeyring());
}
