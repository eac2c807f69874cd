#pragma once

#include "core/Stats.h"
#include "sync/AuthManager.h"
#include "sync/StatsSync.h"
#include "tests/support/Awaited.h"
#include "tests/support/MemorySessionStore.h"
#include "tests/support/PrefsGuard.h"
#include "tests/support/TestBackend.h"

#include <QStringList>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <type_traits>

/// Runs an asynchronous account call and waits for its completion (a network error when none came).
template <typename Result, typename Call> Result await(Call call)
{
    Awaited<Result> done;
    call(done.callback());
    return done.get().value_or(AuthError::network(QStringLiteral("no completion")));
}

/// An account against the local test backend: an in-memory keyring (or keyring, when set), a clock the test moves,
/// a browser that only records what it was asked to open, and the debug lines and change notices collected.
class AccountFixture : public ::testing::Test
{
protected:
    static constexpr double kStart = 2'000'000'000;

    PrefsGuard prefs;
    TestBackend backend;
    std::shared_ptr<MemorySessionStore> store = std::make_shared<MemorySessionStore>();
    std::shared_ptr<SessionStore> keyring;
    std::atomic<double> clock{kStart};
    std::atomic<int> changes{0};

    AccountFixture()
    {
        backend.setClock([this] { return clock.load(); });
    }

    std::unique_ptr<AuthManager> account(const TestBackend& backend, int timeoutMs = 5000, const QString& baseUrl = {})
    {
        AuthEnvironment env;
        env.backend = BackendConfig::make(baseUrl.isEmpty() ? backend.baseUrl() : baseUrl,
                                          QString::fromLatin1(TestBackend::kPublishableKey));
        env.store = keyring ? keyring : store;
        env.now = [this] { return clock.load(); };
        env.openUrl = [this](const QUrl& url) {
            locked([&] { m_opened = url; });
            return true;
        };
        env.debugLine = [this](const QString& line) { locked([&] { m_debug.append(line); }); };
        env.timeoutMs = timeoutMs;
        auto auth = std::make_unique<AuthManager>(std::move(env));
        auth->setOnChange([this] {
            ++changes;
            store->note("change");
        });
        return auth;
    }

    /// A session the backend accepts, already in the keyring before the account is created.
    AuthSession storedSession(const BackendUser& user, double expiresIn = 3600, TestBackend* issuer = nullptr)
    {
        const IssuedSession issued = (issuer ? *issuer : backend).issue(user);
        const AuthSession session{issued.accessToken, issued.refreshToken, clock + expiresIn, user.id, user.email};
        store = std::make_shared<MemorySessionStore>(session);
        return session;
    }

    /// Starts a sign-in as user and plays the browser: the callback URL that the backend redirects to.
    QUrl authorize(AuthManager& auth, const BackendUser& user)
    {
        backend.setAuthorizeUser(user);
        EXPECT_TRUE(auth.beginOAuth(QStringLiteral("github")));
        return backend.followAuthorize(lastOpened()).value_or(QUrl());
    }

    AuthResult handle(AuthManager& auth, const QUrl& callback)
    {
        return await<AuthResult>([&](auto done) { auth.handleCallbackURL(callback, done); });
    }

    /// Signs in through the browser flow: beginOAuth, the backend's authorize redirect, the callback.
    AuthResult signIn(AuthManager& auth, const BackendUser& user) { return handle(auth, authorize(auth, user)); }

    AuthResult syncNow(AuthManager& auth, const Stats& stats)
    {
        return await<AuthResult>([&](auto done) { StatsSync::syncNow(auth, stats, done); });
    }

    QUrl lastOpened()
    {
        return locked([&] { return m_opened; });
    }
    QStringList debugLines()
    {
        return locked([&] { return m_debug; });
    }

private:
    template <typename F> std::invoke_result_t<F> locked(F f)
    {
        std::lock_guard lock(m_mutex);
        return f();
    }

    std::mutex m_mutex;
    QUrl m_opened;
    QStringList m_debug;
};

/// Figures that pass every rule of the scores table.
inline Stats sampleStats()
{
    Stats s;
    s.tokensIn = 40000;
    s.tokensOut = 5678;
    s.linesAdded = 1000;
    s.linesRemoved = 200;
    s.cost = 20.125;
    s.weekLinesAdded = 700;
    s.weekCost = 7.5;
    s.todayLinesAdded = 120;
    s.todayCost = 1.25;
    s.weekTokens = 21000;
    s.todayTokens = 3000;
    s.streakCurrent = 6;
    s.topModel = "claude-opus-4-6";
    s.crackedScore = 41;
    return s;
}

inline const BackendUser kAda{QStringLiteral("0b7e3c1a-4d2f-4a55-9c1e-6f1d2a3b4c5d"),
                              QStringLiteral("ada@example.org")};
inline const BackendUser kGrace{QStringLiteral("5f0c9a8b-7e6d-4c3b-8a29-1b0c9d8e7f6a"), std::nullopt};

inline void PrintTo(const AuthError& e, std::ostream* os)
{
    *os << "AuthError(" << e.status() << ", \"" << e.description().toStdString() << "\")";
}
