#include "sync/BackendConfig.h"

#include "sync/AuthError.h"

#include <cstdlib>

#ifndef KORVEL_DEFAULT_BACKEND_URL
#error "KORVEL_DEFAULT_BACKEND_URL comes from the build"
#endif
#ifndef KORVEL_DEFAULT_PUBLISHABLE_KEY
#error "KORVEL_DEFAULT_PUBLISHABLE_KEY comes from the build"
#endif

namespace {

QString fromEnv(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return QString::fromUtf8(value && *value ? value : fallback);
}

bool isOrigin(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment() ||
        !url.path().isEmpty())
        return false;
    const QString scheme = url.scheme();
    if (scheme == QLatin1String("https"))
        return true;
    const QString host = url.host();
    return scheme == QLatin1String("http") &&
           (host == QLatin1String("127.0.0.1") || host == QLatin1String("localhost"));
}

bool sendableAsHeader(const QString& key)
{
    if (key.isEmpty())
        return false;
    for (const QChar c : key)
        if (c.unicode() < 0x21 || c.unicode() > 0x7e)
            return false;
    return true;
}

} // namespace

BackendConfig BackendConfig::fromEnvironment()
{
    return make(fromEnv("KORVEL_BACKEND_URL", KORVEL_DEFAULT_BACKEND_URL),
                fromEnv("KORVEL_PUBLISHABLE_KEY", KORVEL_DEFAULT_PUBLISHABLE_KEY));
}

BackendConfig BackendConfig::make(const QString& baseUrl, const QString& publishableKey)
{
    BackendConfig config;
    config.m_baseUrl = baseUrl.endsWith(u'/') ? baseUrl.chopped(1) : baseUrl;
    config.m_key = publishableKey;
    if (!isOrigin(QUrl(config.m_baseUrl, QUrl::StrictMode)))
        config.m_problem = QStringLiteral("korvel: leaderboard sync is off: the backend URL \"%1\" is not an https "
                                          "origin (plain http is allowed only for 127.0.0.1 and localhost); set "
                                          "KORVEL_BACKEND_URL to one such as https://PROJECT.supabase.co")
                               .arg(AuthError::safeText(config.m_baseUrl));
    else if (!sendableAsHeader(publishableKey))
        config.m_problem = QStringLiteral("korvel: leaderboard sync is off: the publishable key is empty or holds "
                                          "characters that cannot be sent in a header; check KORVEL_PUBLISHABLE_KEY");
    return config;
}

bool BackendConfig::configured() const
{
    return usable() && !QUrl(m_baseUrl).host().endsWith(QLatin1String(".invalid"));
}

QUrl BackendConfig::url(const QString& path) const
{
    if (!usable())
        return {};
    return QUrl(m_baseUrl + path, QUrl::StrictMode);
}
