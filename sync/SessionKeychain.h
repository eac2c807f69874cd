#pragma once

#include "sync/SessionStore.h"

#include <QByteArray>
#include <functional>

namespace QKeychain {
class Job;
}

/// The session in the desktop keyring through QtKeychain (the Secret Service on Linux, the Keychain on macOS): one
/// item of service "dev.korvel.session". Every QtKeychain job runs on one keyring thread shared by the process; a
/// caller waits at most waitMs for it. Without a session bus the keyring is not tried at all, so that nothing
/// hangs or starts a bus of its own.
class SessionKeychain final : public SessionStore
{
public:
    static constexpr const char* kService = "dev.korvel.session";
    static constexpr int kDefaultWaitMs = 3000;

    explicit SessionKeychain(int waitMs = kDefaultWaitMs);

    std::optional<AuthSession> load() override;
    bool save(const AuthSession& session) override;
    bool remove() override;
    QString lastError() const override { return m_lastError; }

    /// Whether a session bus is named in the environment (DBUS_SESSION_BUS_ADDRESS); the keyring is only tried then.
    static bool busAvailable();

private:
    struct Outcome
    {
        bool ok = false;
        QByteArray data;
        QString error;
    };

    Outcome run(std::function<QKeychain::Job*()> makeJob);

    int m_waitMs;
    QString m_lastError;
};
