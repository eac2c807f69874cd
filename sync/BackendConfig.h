#pragma once

#include <QString>
#include <QUrl>

/// Where the backend lives: its base URL (an https origin) and its publishable key. Built-in values come from the
/// build (CMake cache); the environment variables KORVEL_BACKEND_URL and KORVEL_PUBLISHABLE_KEY override them.
class BackendConfig
{
public:
    /// The built-in values, each overridden by its environment variable when that is set and not empty.
    static BackendConfig fromEnvironment();
    /// Checks the values: a base URL that is not an https origin (plain http only for 127.0.0.1 and localhost) or
    /// a key that cannot be sent as a header leaves the configuration unusable, with the reason in problem().
    static BackendConfig make(const QString& baseUrl, const QString& publishableKey);

    /// The base URL as configured (one trailing slash removed).
    const QString& baseUrl() const { return m_baseUrl; }
    const QString& publishableKey() const { return m_key; }
    /// False when sync must stay off.
    bool usable() const { return m_problem.isEmpty(); }
    /// False also for a usable URL under ".invalid", a name that never resolves, as the built-in placeholder is:
    /// sign-in could only open a browser error page.
    bool configured() const;
    /// Why sync is off, as one line for standard error; empty when usable.
    const QString& problem() const { return m_problem; }

    /// The base URL followed directly by path (which may carry a query); invalid when unusable.
    QUrl url(const QString& path) const;

private:
    QString m_baseUrl;
    QString m_key;
    QString m_problem;
};
