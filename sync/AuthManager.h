#pragma once

#include "sync/AuthError.h"
#include "sync/AuthSession.h"
#include "sync/BackendConfig.h"
#include "sync/HttpClient.h"
#include "sync/SessionStore.h"

#include <QJsonObject>
#include <QStringList>
#include <QUrl>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>

/// What the account reads and writes outside itself, so that tests can stand in for it.
struct AuthEnvironment
{
    BackendConfig backend;
    std::shared_ptr<SessionStore> store;
    /// The current time, seconds since 1970.
    std::function<double()> now;
    /// Opens a URL in the default browser; true when the system accepted it. Without one sign-in cannot start.
    std::function<bool(const QUrl&)> openUrl;
    /// Receives the "--debug" lines; without one none are written.
    std::function<void(const QString&)> debugLine;
    int timeoutMs = HttpClient::kDefaultTimeoutMs;

    /// The real one: the backend from the build and the environment, the keyring, the system clock.
    static AuthEnvironment standard();
};

/// An access token, or why there is none.
using TokenResult = std::variant<QString, AuthError>;

/// The account: sign-in through the browser (authorization code with PKCE), the session in memory and in the keyring,
/// fresh access tokens, sign-out. Network completions, and with them session changes and onChange, run on the HTTP
/// client's thread; the session is read and replaced under a lock, and changes reach the keyring in the order they
/// were made.
class AuthManager
{
public:
    static constexpr const char* kRedirectUrl = "korvel://auth";
    /// A token with less than this many seconds left is refreshed before use.
    static constexpr double kRefreshMargin = 60;
    /// How long a sign-in started with beginOAuth waits for its callback, in seconds.
    static constexpr double kSignInWindow = 600;
    /// The longest life an access token is taken to have, in seconds, whatever the backend says.
    static constexpr double kLongestTokenLife = 24 * 3600;

    explicit AuthManager(AuthEnvironment environment);
    ~AuthManager();
    AuthManager(const AuthManager&) = delete;
    AuthManager& operator=(const AuthManager&) = delete;

    /// The process's account, created on first use (loading the keyring) and never destroyed.
    static AuthManager& shared();
    /// Sets what shared() is created with; false, changing nothing, once it exists.
    static bool setSharedEnvironment(AuthEnvironment environment);

    /// Opens the backend's authorize page for provider ("github", "google") in the browser, with the challenge of a
    /// fresh code verifier kept in memory, and waits for its callback; true when the browser accepted the URL.
    bool beginOAuth(const QString& provider);
    /// True while a sign-in that beginOAuth started waits for its callback.
    bool signInPending() const;
    /// Stops waiting for the callback; a callback arriving later is refused.
    void cancelSignIn();
    /// Completes a sign-in from the "korvel://auth?code=..." redirect: the code is exchanged once, with the
    /// verifier, for a session. Only the first code or error of a sign-in that beginOAuth started in this process
    /// less than ten minutes ago is taken; any other callback, and one carrying tokens in its fragment, ends with
    /// decode and changes nothing.
    void handleCallbackURL(const QUrl& url, std::function<void(const AuthResult&)> completion = {});
    /// A token valid for more than a minute, refreshed first when needed. A refresh refused with 400 or 401 signs
    /// out; the completion runs at once on the caller's thread when no request is needed.
    void validAccessToken(std::function<void(const TokenResult&)> completion);
    /// Forgets the session, here and in the keyring, and asks the backend to revoke it without waiting for the
    /// answer.
    void signOut();

    std::optional<AuthSession> session() const;
    /// False when the keyring could not store the current session: it lasts for this run only.
    bool sessionInKeyring() const;
    /// Called after every change of the session, once the keyring holds it; maybe off the GUI thread.
    void setOnChange(std::function<void()> onChange);
    void setUrlOpener(std::function<bool(const QUrl&)> openUrl);
    void setDebugSink(std::function<void(const QString&)> debugLine);

    const BackendConfig& backend() const { return m_env.backend; }
    double now() const { return m_env.now(); }
    /// Sends a request with the account's HTTP client; done runs on its thread.
    void send(HttpRequest request, std::function<void(const HttpAnswer&)> done);
    /// The session in a token answer: "access_token", "refresh_token" and the user's "id" must be strings. Its
    /// expiry is at most a day away.
    std::optional<AuthSession> parseSession(const QJsonObject& json) const;

private:
    using JsonResult = std::variant<QJsonObject, AuthError>;

    void fetchUser(const QString& accessToken, std::function<void(const JsonResult&)> completion);
    void post(const QString& path, const QString& query, const QJsonObject& body, const QStringList& secrets,
              std::function<void(const JsonResult&)> completion);
    void refresh(const AuthSession& session, uint64_t generation, std::function<void(const TokenResult&)> completion);
    void exchange(const QString& code, const QString& verifier, std::function<void(const AuthResult&)> completion);
    void finishSignIn(const JsonResult& user, AuthSession session,
                      const std::function<void(const AuthResult&)>& completion);
    /// The verifier of the sign-in waiting for its callback, which it ends; absent when none waits.
    std::optional<QString> takePendingSignIn();
    void revoke(const QString& accessToken);
    /// Replaces the session, then the keyring item, then calls onChange; the leaderboard's memory of the last sync
    /// goes when the user does. With expected set, does nothing and returns false when the session changed since
    /// that generation.
    bool transition(std::optional<AuthSession> next, std::optional<uint64_t> expected = std::nullopt);
    void store(const std::optional<AuthSession>& next);
    void debug(const QString& line);

    AuthEnvironment m_env;
    mutable std::mutex m_mutex;
    std::optional<AuthSession> m_session;
    uint64_t m_generation = 0;
    struct PendingSignIn
    {
        double since;
        QString verifier;
    };
    std::optional<PendingSignIn> m_pending;
    std::atomic<bool> m_inKeyring{true};
    std::function<void()> m_onChange;
    /// Held across a change and its keyring write, so that the keyring sees the changes in order.
    std::mutex m_storeOrder;
    std::atomic<bool> m_toldSaveFailure{false};
    std::atomic<bool> m_toldRemoveFailure{false};
    HttpClient m_http;
};
