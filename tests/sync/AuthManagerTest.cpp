#include "tests/support/WaitUntil.h"
#include "tests/sync/AccountFixture.h"

namespace {

class AuthManagerTest : public AccountFixture
{
protected:
    AuthResult handle(AuthManager& auth, const QUrl& url)
    {
        return await<AuthResult>([&](auto done) { auth.handleCallbackURL(url, done); });
    }

    // The callback of a sign-in that this account started, with the fragment given.
    AuthResult callback(AuthManager& auth, const QString& fragment)
    {
        EXPECT_TRUE(auth.beginOAuth(QStringLiteral("google")));
        return handle(auth, QUrl(QStringLiteral("korvel://auth#") + fragment));
    }

    TokenResult token(AuthManager& auth)
    {
        return await<TokenResult>([&](auto done) { auth.validAccessToken(done); });
    }

    QString errorText(AuthManager& auth) { return std::get<AuthError>(token(auth)).description(); }
};

} // namespace

TEST_F(AuthManagerTest, SignInRefreshAndSignOutEachStoreThenTellOnce)
{
    auto auth = account(backend);
    EXPECT_EQ(signIn(*auth, kAda), AuthResult());
    EXPECT_EQ(lastOpened().toString(),
              backend.baseUrl() + "/auth/v1/authorize?provider=github&redirect_to=korvel://auth");
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
    ASSERT_EQ(refreshes.size(), 1);
    EXPECT_EQ(refreshes[0].query, "grant_type=refresh_token");
    EXPECT_EQ(refreshes[0].header("apikey"), TestBackend::kPublishableKey);
    EXPECT_EQ(refreshes[0].json(), QJsonObject({{"refresh_token", first.refreshToken}}));
    EXPECT_EQ(store->stored(), auth->session());

    auth->signOut();
    EXPECT_EQ(token(*auth), TokenResult(AuthError::notSignedIn()));
    EXPECT_EQ(store->journal(),
              (std::vector<std::string>{"load", "save", "change", "save", "change", "remove", "change"}))
        << "each change is told once, after the keyring";
}

TEST_F(AuthManagerTest, OnlyTheFirstCallbackOfAPendingSignInIsTaken)
{
    auto auth = account(backend);
    const QUrl forged(QStringLiteral("korvel://auth#") + backend.issue(kGrace).fragment());
    EXPECT_EQ(handle(*auth, forged), AuthError::decode()) << "no sign-in was started";
    ASSERT_TRUE(auth->beginOAuth(QStringLiteral("github")));
    EXPECT_EQ(handle(*auth, QUrl(QStringLiteral("https://evil.example/#") + backend.issue(kGrace).fragment())),
              AuthError::decode());
    clock = kStart + AuthManager::kSignInWindow;
    EXPECT_EQ(handle(*auth, forged), AuthError::decode()) << "ten minutes have passed";

    ASSERT_TRUE(auth->beginOAuth(QStringLiteral("github")));
    EXPECT_EQ(handle(*auth, forged), AuthResult());
    EXPECT_EQ(handle(*auth, QUrl(QStringLiteral("korvel://auth#") + backend.issue(kAda).fragment())),
              AuthError::decode())
        << "a second callback of the same sign-in";
    EXPECT_EQ(auth->session()->userId, kGrace.id);
    EXPECT_EQ(backend.requestsTo("GET /auth/v1/user").size(), 1) << "refused callbacks send nothing";

    auth->setUrlOpener([](const QUrl&) { return false; });
    EXPECT_FALSE(auth->beginOAuth(QStringLiteral("github")));
    EXPECT_EQ(handle(*auth, forged), AuthError::decode()) << "the browser refused, so no sign-in is pending";
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(debugLines().filter(QStringLiteral("[korvel] ignored a sign-in callback")).size(), 5);
}

TEST_F(AuthManagerTest, RefusalsAndUserAnswersThatSignNobodyIn)
{
    auto auth = account(backend);
    EXPECT_TRUE(auth->beginOAuth(QStringLiteral("github")));
    EXPECT_EQ(handle(*auth, backend.followAuthorize(lastOpened()).value_or(QUrl())),
              AuthError::server(0, QStringLiteral("Denied by user")))
        << "the authorize page's refusal, form-encoded";
    EXPECT_EQ(callback(*auth, QStringLiteral("access_token=abc%0D%0AX-Injected:%201")), AuthError::decode());
    EXPECT_EQ(backend.requests().size(), 1) << "a token that would break its header is never sent";

    const QString access = QStringLiteral("access_token=") + backend.issue(kAda).accessToken;
    const std::pair<ScriptedAnswer, AuthError> cases[] = {
        {ScriptedAnswer::of(401, R"({"code":401,"msg":"invalid JWT"})"),
         AuthError::server(401, QStringLiteral("invalid JWT"))},
        {ScriptedAnswer::of(502), AuthError::server(502, QStringLiteral("Request failed (502)"))},
        {ScriptedAnswer::of(200, "{not json"), AuthError::decode()},
        {ScriptedAnswer::of(200, R"(["id"])"), AuthError::decode()},
        {ScriptedAnswer::of(200), AuthError::decode()},
    };
    for (const auto& [answer, error] : cases) {
        backend.script("GET /auth/v1/user", answer);
        EXPECT_EQ(callback(*auth, access), error) << answer.body.toStdString();
    }
    EXPECT_EQ(store->journal(), std::vector<std::string>{"load"});
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
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(debugLines().filter(QStringLiteral("keyring")),
              QStringList(QStringLiteral("[korvel] could not store the session in the keyring (the test store refuses "
                                         "writes); you stay signed in for this run only")));
    for (const QString& line : debugLines())
        EXPECT_FALSE(line.contains(auth->session()->accessToken) || line.contains(auth->session()->refreshToken));
}
