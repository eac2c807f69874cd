#include "tests/support/WaitUntil.h"
#include "tests/sync/AccountFixture.h"

#include <QTcpServer>

namespace {

class AuthManagerTest : public AccountFixture
{
protected:
    TestBackend backend;

    // A callback as the backend would send it for a fresh session of user, with the fragment given.
    AuthResult callback(AuthManager& auth, const QString& fragment)
    {
        EXPECT_TRUE(auth.beginOAuth(QStringLiteral("google")));
        Awaited<AuthResult> done;
        auth.handleCallbackURL(QUrl(QStringLiteral("korvel://auth#") + fragment), done.callback());
        return done.get().value_or(AuthError::network(QStringLiteral("no completion")));
    }

    TokenResult token(AuthManager& auth)
    {
        Awaited<TokenResult> done;
        auth.validAccessToken(done.callback());
        return done.get().value_or(AuthError::network(QStringLiteral("no completion")));
    }
};

} // namespace

TEST_F(AuthManagerTest, SignInThroughTheBrowserStoresTheSessionThenTellsOnce)
{
    auto auth = account(backend);
    EXPECT_EQ(signIn(*auth, backend, kAda), AuthResult());
    EXPECT_EQ(lastOpened().toString(),
              backend.baseUrl() + "/auth/v1/authorize?provider=github&redirect_to=korvel://auth");

    const auto session = auth->session();
    ASSERT_TRUE(session);
    EXPECT_EQ(session->userId, kAda.id);
    EXPECT_EQ(session->email, kAda.email);
    EXPECT_EQ(session->expiresAt, kStart + 3600);
    EXPECT_FALSE(session->refreshToken.isEmpty());
    EXPECT_EQ(store->stored(), session);
    EXPECT_EQ(store->journal(), (std::vector<std::string>{"load", "save", "change"}));
    EXPECT_EQ(changes, 1);

    const auto users = backend.requestsTo("GET /auth/v1/user");
    ASSERT_EQ(users.size(), 1);
    EXPECT_EQ(users[0].header("apikey"), TestBackend::kPublishableKey);
    EXPECT_EQ(users[0].header("Authorization"), "Bearer " + session->accessToken.toUtf8());

    // Signing out forgets it here and in the keyring, and tells once, after the keyring.
    auth->signOut();
    EXPECT_FALSE(auth->session());
    EXPECT_FALSE(store->stored());
    EXPECT_EQ(store->journal().back(), "change");
    EXPECT_EQ(store->journal().at(store->journal().size() - 2), "remove");
    EXPECT_EQ(changes, 2);
}

TEST_F(AuthManagerTest, OnlyTheFirstCallbackOfAPendingSignInIsTaken)
{
    auto auth = account(backend);
    const QUrl forged(QStringLiteral("korvel://auth#") + backend.issue(kGrace).fragment());
    const auto handle = [&](const QUrl& url) {
        Awaited<AuthResult> done;
        auth->handleCallbackURL(url, done.callback());
        return done.get().value_or(AuthError::network(QStringLiteral("no completion")));
    };

    EXPECT_EQ(handle(forged), AuthError::decode()) << "no sign-in was started";
    ASSERT_TRUE(auth->beginOAuth(QStringLiteral("github")));
    EXPECT_EQ(handle(QUrl(QStringLiteral("https://evil.example/#") + backend.issue(kGrace).fragment())),
              AuthError::decode())
        << "not a callback";
    clock = kStart + AuthManager::kSignInWindow;
    EXPECT_EQ(handle(forged), AuthError::decode()) << "ten minutes have passed";

    ASSERT_TRUE(auth->beginOAuth(QStringLiteral("github")));
    EXPECT_EQ(handle(forged), AuthResult());
    EXPECT_EQ(auth->session()->userId, kGrace.id);
    EXPECT_EQ(handle(QUrl(QStringLiteral("korvel://auth#") + backend.issue(kAda).fragment())), AuthError::decode())
        << "a second callback of the same sign-in";
    EXPECT_EQ(auth->session()->userId, kGrace.id);
    EXPECT_EQ(backend.requestsTo("GET /auth/v1/user").size(), 1) << "refused callbacks send nothing";

    auth->setUrlOpener([](const QUrl&) { return false; });
    EXPECT_FALSE(auth->beginOAuth(QStringLiteral("github")));
    EXPECT_EQ(handle(forged), AuthError::decode()) << "the browser refused, so no sign-in is pending";
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(debugLines().filter(QStringLiteral("[korvel] ignored a sign-in callback")).size(), 5);
}

TEST_F(AuthManagerTest, CallbackFragmentsAndTheirExpiry)
{
    auto auth = account(backend);
    const IssuedSession ada = backend.issue(kAda);
    const QString access = QStringLiteral("access_token=") + ada.accessToken;

    EXPECT_EQ(callback(*auth, QString()), AuthError::decode());
    EXPECT_EQ(callback(*auth, QStringLiteral("error=access_denied&error_description=Denied%20by%20user")),
              AuthError::server(0, QStringLiteral("Denied by user")));
    EXPECT_EQ(callback(*auth, QStringLiteral("error_description=Denied%2520by%2520user")),
              AuthError::server(0, QStringLiteral("Denied by user")))
        << "encoded twice";
    EXPECT_EQ(callback(*auth, QStringLiteral("error_description=100%25%20sure")),
              AuthError::server(0, QStringLiteral("100% sure")))
        << "a second decoding that fails leaves the text";
    EXPECT_EQ(callback(*auth, QStringLiteral("state=x")), AuthError::server(0, QStringLiteral("OAuth sign-in failed")));
    EXPECT_EQ(callback(*auth, QStringLiteral("access_token=abc%0D%0AX-Injected:%201")), AuthError::decode());
    EXPECT_TRUE(backend.requests().isEmpty()) << "a token that would break its header is never sent";
    EXPECT_FALSE(auth->session());

    struct Case
    {
        QString extra;
        double expiresAt;
    };
    for (const Case& c : {Case{QString(), kStart + 3600}, Case{QStringLiteral("&expires_in=120"), kStart + 120},
                          Case{QStringLiteral("&expires_in=120&expires_at=2000000500"), 2000000500},
                          Case{QStringLiteral("&expires_at=soon&expires_in=9"), kStart + 9}}) {
        ASSERT_EQ(callback(*auth, access + c.extra), AuthResult()) << c.extra.toStdString();
        EXPECT_EQ(auth->session()->expiresAt, c.expiresAt) << c.extra.toStdString();
        EXPECT_EQ(auth->session()->refreshToken, QString()) << "no refresh_token in the fragment";
    }
}

TEST_F(AuthManagerTest, UserAnswersThatSignNobodyIn)
{
    auto auth = account(backend);
    const QString access = QStringLiteral("access_token=") + backend.issue(kAda).accessToken;
    struct Case
    {
        ScriptedAnswer answer;
        AuthError error;
    };
    const Case cases[] = {
        {ScriptedAnswer::of(401, R"({"code":401,"msg":"invalid JWT"})"),
         AuthError::server(401, QStringLiteral("invalid JWT"))},
        {ScriptedAnswer::of(403, R"({"error":"forbidden","error_description":"Email not confirmed"})"),
         AuthError::server(403, QStringLiteral("Email not confirmed"))},
        {ScriptedAnswer::of(502), AuthError::server(502, QStringLiteral("Request failed (502)"))},
        {ScriptedAnswer::of(200, R"({"email":"x@y.z"})"), AuthError::decode()},
        {ScriptedAnswer::of(200, R"({"id":42})"), AuthError::decode()},
        {ScriptedAnswer::of(200, "{not json"), AuthError::decode()},
        {ScriptedAnswer::of(200, R"(["id"])"), AuthError::decode()},
        {ScriptedAnswer::of(200), AuthError::decode()},
    };
    for (const Case& c : cases) {
        backend.script("GET /auth/v1/user", c.answer);
        EXPECT_EQ(callback(*auth, access), c.error) << c.answer.body.toStdString();
    }
    EXPECT_FALSE(auth->session());
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(store->journal(), std::vector<std::string>{"load"});
}

TEST_F(AuthManagerTest, TokensAreRefreshedAMinuteBeforeTheyExpire)
{
    const AuthSession stored = storedSession(backend, kAda, 61);
    auto auth = account(backend);
    EXPECT_EQ(auth->session(), stored) << "loaded from the keyring at creation";
    EXPECT_EQ(token(*auth), TokenResult(stored.accessToken));
    EXPECT_TRUE(backend.requests().isEmpty());

    clock = clock + 1;
    const TokenResult renewed = token(*auth);
    ASSERT_TRUE(std::holds_alternative<QString>(renewed));
    EXPECT_NE(std::get<QString>(renewed), stored.accessToken);
    const auto refreshes = backend.requestsTo("POST /auth/v1/token");
    ASSERT_EQ(refreshes.size(), 1);
    EXPECT_EQ(refreshes[0].query, "grant_type=refresh_token");
    EXPECT_EQ(refreshes[0].header("apikey"), TestBackend::kPublishableKey);
    EXPECT_EQ(refreshes[0].header("Content-Type"), "application/json");
    EXPECT_EQ(refreshes[0].json(), QJsonObject({{"refresh_token", stored.refreshToken}}));
    EXPECT_EQ(auth->session()->accessToken, std::get<QString>(renewed));
    EXPECT_EQ(store->stored(), auth->session());
    EXPECT_EQ(changes, 1);

    auth->signOut();
    EXPECT_EQ(token(*auth), TokenResult(AuthError::notSignedIn()));
}

TEST_F(AuthManagerTest, ARefusedRefreshSignsOutAndOtherFailuresKeepTheSession)
{
    const AuthSession stored = storedSession(backend, kAda, 30);
    auto auth = account(backend);
    auto impatient = account(backend, kShortTimeoutMs);
    struct Case
    {
        ScriptedAnswer answer;
        TokenResult result;
    };
    const Case kept[] = {
        {ScriptedAnswer::of(500, R"({"msg":"boom"})"), AuthError::server(500, QStringLiteral("boom"))},
        {ScriptedAnswer::of(429, R"({"message":"Too many requests"})"),
         AuthError::server(429, QStringLiteral("Too many requests"))},
        {ScriptedAnswer::of(200, "{oops"), AuthError::decode()},
        {ScriptedAnswer::of(200, R"("a string")"), AuthError::decode()},
        {ScriptedAnswer::of(200, R"({"access_token":"a","refresh_token":"r"})"), AuthError::decode()},
    };
    for (const Case& c : kept) {
        backend.script("POST /auth/v1/token", c.answer);
        EXPECT_EQ(token(*auth), c.result) << c.answer.body.toStdString();
        EXPECT_EQ(auth->session(), stored);
    }
    for (const ScriptedAnswer& late : {ScriptedAnswer::late(10 * kShortTimeoutMs), ScriptedAnswer::silence()}) {
        backend.script("POST /auth/v1/token", late);
        EXPECT_EQ(token(*impatient), TokenResult(AuthError::network(QStringLiteral("The request timed out"))));
        EXPECT_EQ(impatient->session(), stored);
    }
    EXPECT_EQ(changes, 0);

    backend.script("POST /auth/v1/token", ScriptedAnswer::of(401));
    EXPECT_EQ(token(*auth), TokenResult(AuthError::server(401, QStringLiteral("Request failed (401)"))));
    EXPECT_FALSE(auth->session());
    EXPECT_FALSE(store->stored());
    EXPECT_EQ(changes, 1);

    // A session whose sign-in brought no refresh token asks with an empty one, which the backend refuses.
    ASSERT_EQ(callback(*auth, QStringLiteral("access_token=") + backend.issue(kGrace).accessToken +
                                  QStringLiteral("&expires_in=10")),
              AuthResult());
    EXPECT_EQ(token(*auth),
              TokenResult(AuthError::server(400, QStringLiteral("Invalid Refresh Token: Refresh Token Not Found"))));
    EXPECT_EQ(backend.requestsTo("POST /auth/v1/token").last().json(), QJsonObject({{"refresh_token", ""}}));
    EXPECT_FALSE(auth->session());
}

TEST_F(AuthManagerTest, UnreachableBackendsAreNetworkErrors)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    storedSession(backend, kAda, 0);
    auto auth = account(backend, 5000, base);
    const TokenResult result = token(*auth);
    ASSERT_TRUE(std::holds_alternative<AuthError>(result));
    EXPECT_EQ(std::get<AuthError>(result).kind(), AuthError::Kind::Network);
    EXPECT_EQ(std::get<AuthError>(result).description(), QStringLiteral("Connection refused"));
    EXPECT_TRUE(auth->session());

    auto refused = account(backend, 5000, QStringLiteral("http://example.com"));
    EXPECT_FALSE(refused->beginOAuth(QStringLiteral("github")));
    EXPECT_EQ(token(*refused), TokenResult(AuthError::network(QStringLiteral("Invalid URL"))));
}

TEST_F(AuthManagerTest, ARefreshThatLostItsSessionChangesNothing)
{
    storedSession(backend, kAda, 0);
    auto auth = account(backend);
    backend.script("POST /auth/v1/token", ScriptedAnswer::hold());
    Awaited<TokenResult> pending;
    auth->validAccessToken(pending.callback());
    ASSERT_TRUE(waitUntil([&] { return backend.requests().size() == 1; }));
    auth->signOut();
    backend.releaseHeld();
    EXPECT_EQ(pending.get(), TokenResult(AuthError::notSignedIn()));
    EXPECT_FALSE(auth->session()) << "the renewed session of a signed-out user is dropped";
    EXPECT_FALSE(store->stored());
    EXPECT_EQ(changes, 1);
}

TEST_F(AuthManagerTest, ServerTextsAreCutCleanedAndNeverCarryTokens)
{
    const AuthSession stored = storedSession(backend, kAda, 0);
    auto auth = account(backend);
    const QByteArray echo = R"({"msg":"refresh token )" + stored.refreshToken.toUtf8() + R"( and )" +
                            stored.accessToken.toUtf8() + R"( refused"})";
    backend.script("POST /auth/v1/token", ScriptedAnswer::of(500, echo));
    const TokenResult echoed = token(*auth);
    ASSERT_TRUE(std::holds_alternative<AuthError>(echoed));
    const QString text = std::get<AuthError>(echoed).description();
    EXPECT_FALSE(text.contains(stored.refreshToken)) << text.toStdString();
    EXPECT_FALSE(text.contains(stored.accessToken.left(40))) << text.toStdString();
    EXPECT_TRUE(text.startsWith(QStringLiteral("refresh token [hidden] and [hidden]"))) << text.toStdString();

    const QByteArray noisy = R"({"msg":"line one\nline\u0007two\u202e)" + QByteArray(400, 'x') + R"("})";
    backend.script("POST /auth/v1/token", ScriptedAnswer::of(500, noisy));
    const QString cleaned = std::get<AuthError>(token(*auth)).description();
    EXPECT_EQ(cleaned.size(), AuthError::kMaxMessageLength);
    EXPECT_TRUE(cleaned.startsWith(QStringLiteral("line one line two x"))) << cleaned.toStdString();
    EXPECT_TRUE(cleaned.endsWith(QChar(u'\u2026')));
}

TEST_F(AuthManagerTest, AFailedKeyringWriteKeepsTheSessionForThisRunAndSaysSoOnce)
{
    store->setFailing(true);
    auto auth = account(backend);
    ASSERT_EQ(signIn(*auth, backend, kAda), AuthResult());
    ASSERT_EQ(signIn(*auth, backend, kAda), AuthResult());
    EXPECT_TRUE(auth->session());
    EXPECT_EQ(changes, 2);
    const QStringList lines = debugLines().filter(QStringLiteral("keyring"));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0], QStringLiteral("[korvel] could not store the session in the keyring (the test store refuses "
                                       "writes); you stay signed in for this run only"));
    for (const QString& line : debugLines()) {
        EXPECT_FALSE(line.contains(auth->session()->accessToken));
        EXPECT_FALSE(line.contains(auth->session()->refreshToken));
    }
}
