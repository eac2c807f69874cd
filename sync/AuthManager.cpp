#include "sync/AuthManager.h"

#include "sync/BackendAnswer.h"
#include "sync/CallbackParams.h"
#include "sync/Pkce.h"
#include "sync/PublicProfile.h"
#include "sync/SessionKeychain.h"
#include "sync/SyncMemory.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QUrlQuery>
#include <algorithm>

namespace {

// What the session keeps of a user object: the e-mail for the settings window, the name and picture for the board.
void takeUser(AuthSession& session, const QJsonObject& user)
{
    const QJsonValue email = user.value(QStringLiteral("email"));
    session.email = email.isString() ? std::optional(email.toString()) : std::nullopt;
    session.displayName = PublicProfile::displayName(user);
    session.avatarUrl = PublicProfile::avatarUrl(user);
}

std::mutex g_sharedMutex;
std::optional<AuthEnvironment> g_sharedEnvironment;
AuthManager* g_shared = nullptr;

bool isCallbackUrl(const QUrl& url)
{
    return url.scheme() == QLatin1String("korvel") && url.host() == QLatin1String("auth") &&
           (url.path().isEmpty() || url.path() == QLatin1String("/"));
}

// An access token goes into an Authorization header: anything but visible ASCII could smuggle in more headers.
bool headerSafe(const QString& token)
{
    return !token.isEmpty() &&
           std::all_of(token.begin(), token.end(), [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7f; });
}

double systemNow()
{
    return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

} // namespace

AuthEnvironment AuthEnvironment::standard()
{
    AuthEnvironment env;
    env.backend = BackendConfig::fromEnvironment();
    env.store = std::make_shared<SessionKeychain>();
    env.now = systemNow;
    return env;
}

AuthManager::AuthManager(AuthEnvironment environment) : m_env(std::move(environment)), m_http(m_env.timeoutMs)
{
    if (!m_env.now)
        m_env.now = systemNow;
    m_session = m_env.store->load();
}

AuthManager::~AuthManager()
{
    m_http.stop();
}

AuthManager& AuthManager::shared()
{
    std::lock_guard lock(g_sharedMutex);
    if (!g_shared) {
        g_shared = new AuthManager(g_sharedEnvironment ? std::move(*g_sharedEnvironment) : AuthEnvironment::standard());
        // Requests still in flight when the application object goes are dropped with their thread.
        qAddPostRoutine([] { g_shared->m_http.stop(); });
    }
    return *g_shared;
}

bool AuthManager::setSharedEnvironment(AuthEnvironment environment)
{
    std::lock_guard lock(g_sharedMutex);
    if (g_shared)
        return false;
    g_sharedEnvironment = std::move(environment);
    return true;
}

bool AuthManager::beginOAuth(const QString& provider)
{
    QUrl url = m_env.backend.url(QStringLiteral("/auth/v1/authorize"));
    if (provider.isEmpty() || !url.isValid())
        return false;
    // A new sign-in replaces any earlier one that still waits: only the latest verifier can redeem a code.
    const QString verifier = Pkce::newVerifier();
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("provider"), provider);
    query.addQueryItem(QStringLiteral("redirect_to"), QString::fromLatin1(kRedirectUrl));
    query.addQueryItem(QStringLiteral("code_challenge"), Pkce::challenge(verifier));
    query.addQueryItem(QStringLiteral("code_challenge_method"), QStringLiteral("s256"));
    url.setQuery(query);
    std::function<bool(const QUrl&)> open;
    {
        std::lock_guard lock(m_mutex);
        open = m_env.openUrl;
        m_pending = PendingSignIn{now(), verifier};
    }
    const bool opened = open && open(url);
    if (!opened)
        cancelSignIn();
    return opened;
}

bool AuthManager::signInPending() const
{
    std::lock_guard lock(m_mutex);
    return m_pending && now() - m_pending->since < kSignInWindow;
}

void AuthManager::cancelSignIn()
{
    std::lock_guard lock(m_mutex);
    m_pending.reset();
}

std::optional<QString> AuthManager::takePendingSignIn()
{
    std::lock_guard lock(m_mutex);
    std::optional<PendingSignIn> pending = std::exchange(m_pending, std::nullopt);
    if (!pending || now() - pending->since >= kSignInWindow)
        return std::nullopt;
    return pending->verifier;
}

void AuthManager::handleCallbackURL(const QUrl& url, std::function<void(const AuthResult&)> completion)
{
    const auto finish = [completion](const AuthResult& result) {
        if (completion)
            completion(result);
    };
    const CallbackParams query = CallbackParams::parse(url.query(QUrl::FullyEncoded));
    const CallbackParams fragment = CallbackParams::parse(url.fragment(QUrl::FullyEncoded));
    // Tokens in a URL show in the command line of the process that the browser starts and in its history: such a
    // callback is never taken, and it does not end the sign-in that waits for the real one.
    if (!isCallbackUrl(url) || fragment.value(QStringLiteral("access_token")) ||
        fragment.value(QStringLiteral("refresh_token"))) {
        debug(QStringLiteral("[korvel] ignored a sign-in callback that is not a sign-in's answer"));
        return finish(AuthError::decode());
    }
    // Without a waiting sign-in any web page or local program could hand Korvel a callback of its choosing.
    const std::optional<QString> verifier = takePendingSignIn();
    if (!verifier) {
        debug(QStringLiteral("[korvel] ignored a sign-in callback that no sign-in of this run asked for"));
        return finish(AuthError::decode());
    }
    const std::optional<QString> code = query.value(QStringLiteral("code"));
    if (code && !code->isEmpty())
        return exchange(*code, *verifier, finish);
    // The authentication server writes a refusal into the query and, for older clients, the fragment too.
    const std::optional<QString> refusal = query.errorMessage() ? query.errorMessage() : fragment.errorMessage();
    finish(AuthError::server(0, refusal.value_or(QStringLiteral("OAuth sign-in failed"))));
}

void AuthManager::exchange(const QString& code, const QString& verifier,
                           std::function<void(const AuthResult&)> completion)
{
    const QJsonObject body{{QStringLiteral("auth_code"), code}, {QStringLiteral("code_verifier"), verifier}};
    post(QStringLiteral("/auth/v1/token"), QStringLiteral("grant_type=pkce"), body, {code, verifier},
         [this, completion](const JsonResult& result) {
             if (const auto* error = std::get_if<AuthError>(&result))
                 return completion(*error);
             std::optional<AuthSession> session = parseSession(std::get<QJsonObject>(result));
             if (!session)
                 return completion(AuthError::decode());
             const QString token = session->accessToken;
             fetchUser(token, [this, session = std::move(*session), completion](const JsonResult& user) {
                 finishSignIn(user, session, completion);
             });
         });
}

void AuthManager::finishSignIn(const JsonResult& user, AuthSession session,
                               const std::function<void(const AuthResult&)>& completion)
{
    if (const auto* error = std::get_if<AuthError>(&user))
        return completion(*error);
    const QJsonObject object = std::get<QJsonObject>(user);
    const QJsonValue id = object.value(QStringLiteral("id"));
    if (!id.isString() || id.toString().isEmpty())
        return completion(AuthError::decode());
    session.userId = id.toString();
    takeUser(session, object);
    transition(std::move(session));
    completion(std::nullopt);
}

void AuthManager::validAccessToken(std::function<void(const TokenResult&)> completion)
{
    std::optional<AuthSession> current;
    uint64_t generation = 0;
    {
        std::lock_guard lock(m_mutex);
        current = m_session;
        generation = m_generation;
    }
    if (!current)
        return completion(AuthError::notSignedIn());
    if (current->expiresAt - now() > kRefreshMargin)
        return completion(current->accessToken);
    refresh(*current, generation, std::move(completion));
}

void AuthManager::refresh(const AuthSession& session, uint64_t generation,
                          std::function<void(const TokenResult&)> completion)
{
    const QJsonObject body{{QStringLiteral("refresh_token"), session.refreshToken}};
    const QStringList secrets{session.accessToken, session.refreshToken};
    post(QStringLiteral("/auth/v1/token"), QStringLiteral("grant_type=refresh_token"), body, secrets,
         [this, generation, completion](const JsonResult& result) {
             // A refresh answers for the session it started from: when that was replaced meanwhile (signed out,
             // signed in again, refreshed by another caller), its outcome is dropped and the current session
             // answers instead.
             if (const auto* error = std::get_if<AuthError>(&result)) {
                 const bool refused =
                     error->kind() == AuthError::Kind::Server && (error->status() == 400 || error->status() == 401);
                 if (!refused || transition(std::nullopt, generation))
                     return completion(*error);
                 return validAccessToken(completion);
             }
             const auto renewed = parseSession(std::get<QJsonObject>(result));
             if (!renewed)
                 return completion(AuthError::decode());
             if (transition(*renewed, generation))
                 return completion(renewed->accessToken);
             validAccessToken(completion);
         });
}

void AuthManager::signOut()
{
    const std::optional<AuthSession> ended = session();
    transition(std::nullopt);
    if (ended)
        revoke(ended->accessToken);
}

void AuthManager::revoke(const QString& accessToken)
{
    // Only this session: the same account signed in elsewhere stays signed in there.
    const QUrl url = m_env.backend.url(QStringLiteral("/auth/v1/logout?scope=local"));
    if (!url.isValid())
        return;
    // Best effort: the session is gone here whatever the backend answers, and nobody waits for the answer.
    send(HttpRequest{"POST",
                     url,
                     {{"apikey", m_env.backend.publishableKey().toUtf8()},
                      {"Authorization", "Bearer " + accessToken.toUtf8()}},
                     std::nullopt},
         [](const HttpAnswer&) {});
}

std::optional<AuthSession> AuthManager::session() const
{
    std::lock_guard lock(m_mutex);
    return m_session;
}

bool AuthManager::sessionInKeyring() const
{
    return m_inKeyring;
}

void AuthManager::setOnChange(std::function<void()> onChange)
{
    std::lock_guard lock(m_mutex);
    m_onChange = std::move(onChange);
}

void AuthManager::setUrlOpener(std::function<bool(const QUrl&)> openUrl)
{
    std::lock_guard lock(m_mutex);
    m_env.openUrl = std::move(openUrl);
}

void AuthManager::setDebugSink(std::function<void(const QString&)> debugLine)
{
    std::lock_guard lock(m_mutex);
    m_env.debugLine = std::move(debugLine);
}

void AuthManager::send(HttpRequest request, std::function<void(const HttpAnswer&)> done)
{
    m_http.send(std::move(request), std::move(done));
}

std::optional<AuthSession> AuthManager::parseSession(const QJsonObject& json) const
{
    const QJsonValue access = json.value(QStringLiteral("access_token"));
    const QJsonValue refresh = json.value(QStringLiteral("refresh_token"));
    const QJsonValue user = json.value(QStringLiteral("user"));
    const QJsonValue id = user.toObject().value(QStringLiteral("id"));
    if (!access.isString() || !refresh.isString() || !user.isObject() || !id.isString() ||
        !headerSafe(access.toString()))
        return std::nullopt;
    const QJsonValue expiresAt = json.value(QStringLiteral("expires_at"));
    const QJsonValue expiresIn = json.value(QStringLiteral("expires_in"));
    const double expiry = expiresAt.isDouble()   ? expiresAt.toDouble()
                          : expiresIn.isDouble() ? now() + expiresIn.toDouble()
                                                 : now() + 3600;
    // A backend that promised years would keep a leaked token in use that long without a refresh.
    AuthSession session;
    session.accessToken = access.toString();
    session.refreshToken = refresh.toString();
    session.expiresAt = std::min(expiry, now() + kLongestTokenLife);
    session.userId = id.toString();
    takeUser(session, user.toObject());
    return session;
}

void AuthManager::fetchUser(const QString& accessToken, std::function<void(const JsonResult&)> completion)
{
    const QUrl url = m_env.backend.url(QStringLiteral("/auth/v1/user"));
    if (!url.isValid())
        return completion(AuthError::network(QStringLiteral("Invalid URL")));
    HttpRequest request{
        "GET",
        url,
        {{"apikey", m_env.backend.publishableKey().toUtf8()}, {"Authorization", "Bearer " + accessToken.toUtf8()}},
        std::nullopt};
    send(std::move(request), [accessToken, completion](const HttpAnswer& answer) {
        completion(BackendAnswer::ofAuth(answer, {accessToken}));
    });
}

void AuthManager::post(const QString& path, const QString& query, const QJsonObject& body, const QStringList& secrets,
                       std::function<void(const JsonResult&)> completion)
{
    const QUrl url = m_env.backend.url(query.isEmpty() ? path : path + u'?' + query);
    if (!url.isValid())
        return completion(AuthError::network(QStringLiteral("Invalid URL")));
    HttpRequest request{"POST",
                        url,
                        {{"apikey", m_env.backend.publishableKey().toUtf8()}, {"Content-Type", "application/json"}},
                        QJsonDocument(body).toJson(QJsonDocument::Compact)};
    send(std::move(request),
         [secrets, completion](const HttpAnswer& answer) { completion(BackendAnswer::ofAuth(answer, secrets)); });
}

bool AuthManager::transition(std::optional<AuthSession> next, std::optional<uint64_t> expected)
{
    std::function<void()> onChange;
    {
        std::lock_guard order(m_storeOrder);
        bool otherUser = false;
        {
            std::lock_guard lock(m_mutex);
            if (expected && *expected != m_generation)
                return false;
            otherUser = !next || !m_session || m_session->userId != next->userId;
            m_session = next;
            ++m_generation;
            onChange = m_onChange;
        }
        // Outside the lock: the preferences tell their listeners at once, and those may read the session.
        if (otherUser)
            SyncMemory::forget();
        store(next);
    }
    if (onChange)
        onChange();
    return true;
}

void AuthManager::store(const std::optional<AuthSession>& next)
{
    SessionStore& keyring = *m_env.store;
    m_inKeyring = !next || keyring.save(*next);
    if (!m_inKeyring && !m_toldSaveFailure.exchange(true))
        debug(QStringLiteral("[korvel] could not store the session in the keyring (%1); you stay signed in for this "
                             "run only")
                  .arg(AuthError::safeText(keyring.lastError())));
    if (!next && !keyring.remove() && !m_toldRemoveFailure.exchange(true))
        debug(QStringLiteral("[korvel] could not remove the session from the keyring (%1); the next start may "
                             "sign you in again")
                  .arg(AuthError::safeText(keyring.lastError())));
}

void AuthManager::debug(const QString& line)
{
    std::function<void(const QString&)> sink;
    {
        std::lock_guard lock(m_mutex);
        sink = m_env.debugLine;
    }
    if (sink)
        sink(line);
}
