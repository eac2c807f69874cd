#include "sync/AuthManager.h"

#include "sync/BackendAnswer.h"
#include "sync/CallbackFragment.h"
#include "sync/SessionKeychain.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QUrlQuery>
#include <algorithm>

namespace {

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
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("provider"), provider);
    query.addQueryItem(QStringLiteral("redirect_to"), QString::fromLatin1(kRedirectUrl));
    url.setQuery(query);
    std::function<bool(const QUrl&)> open;
    {
        std::lock_guard lock(m_mutex);
        open = m_env.openUrl;
        m_pendingSince = now();
    }
    const bool opened = open && open(url);
    if (!opened) {
        std::lock_guard lock(m_mutex);
        m_pendingSince.reset();
    }
    return opened;
}

bool AuthManager::takePendingSignIn()
{
    std::lock_guard lock(m_mutex);
    const bool pending = m_pendingSince && now() - *m_pendingSince < kSignInWindow;
    m_pendingSince.reset();
    return pending;
}

void AuthManager::handleCallbackURL(const QUrl& url, std::function<void(const AuthResult&)> completion)
{
    const auto finish = [completion](const AuthResult& result) {
        if (completion)
            completion(result);
    };
    // Without this check any web page or local program could sign Korvel into an account of its choosing, and the
    // user's figures would then be written to that account's row.
    if (!isCallbackUrl(url) || !takePendingSignIn()) {
        debug(QStringLiteral("[korvel] ignored a sign-in callback that no sign-in of this run asked for"));
        return finish(AuthError::decode());
    }
    const auto fragment = CallbackFragment::of(url);
    if (!fragment)
        return finish(AuthError::decode());
    const auto accessToken = fragment->value(QStringLiteral("access_token"));
    if (!accessToken || accessToken->isEmpty())
        return finish(AuthError::server(0, fragment->errorMessage()));
    if (!headerSafe(*accessToken))
        return finish(AuthError::decode());
    const QString refreshToken = fragment->value(QStringLiteral("refresh_token")).value_or(QString());
    const double expiry = fragment->expiry(now());
    fetchUser(*accessToken,
              [=, this](const JsonResult& user) { finishSignIn(user, *accessToken, refreshToken, expiry, finish); });
}

void AuthManager::finishSignIn(const JsonResult& user, const QString& accessToken, const QString& refreshToken,
                               double expiry, const std::function<void(const AuthResult&)>& completion)
{
    if (const auto* error = std::get_if<AuthError>(&user))
        return completion(*error);
    const QJsonObject object = std::get<QJsonObject>(user);
    const QJsonValue id = object.value(QStringLiteral("id"));
    if (!id.isString() || id.toString().isEmpty())
        return completion(AuthError::decode());
    const QJsonValue email = object.value(QStringLiteral("email"));
    AuthSession session{accessToken, refreshToken, expiry, id.toString(),
                        email.isString() ? std::optional(email.toString()) : std::nullopt};
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
    transition(std::nullopt);
}

std::optional<AuthSession> AuthManager::session() const
{
    std::lock_guard lock(m_mutex);
    return m_session;
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
    const QJsonValue email = user.toObject().value(QStringLiteral("email"));
    const QJsonValue expiresAt = json.value(QStringLiteral("expires_at"));
    const QJsonValue expiresIn = json.value(QStringLiteral("expires_in"));
    const double expiry = expiresAt.isDouble()   ? expiresAt.toDouble()
                          : expiresIn.isDouble() ? now() + expiresIn.toDouble()
                                                 : now() + 3600;
    return AuthSession{access.toString(), refresh.toString(), expiry, id.toString(),
                       email.isString() ? std::optional(email.toString()) : std::nullopt};
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
        {
            std::lock_guard lock(m_mutex);
            if (expected && *expected != m_generation)
                return false;
            m_session = next;
            ++m_generation;
            onChange = m_onChange;
        }
        store(next);
    }
    if (onChange)
        onChange();
    return true;
}

void AuthManager::store(const std::optional<AuthSession>& next)
{
    SessionStore& keyring = *m_env.store;
    if (next && !keyring.save(*next) && !m_toldSaveFailure.exchange(true))
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
