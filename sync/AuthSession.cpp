#include "sync/AuthSession.h"

#include <QJsonDocument>
#include <QJsonObject>

QByteArray AuthSession::toJson() const
{
    QJsonObject o{
        {QStringLiteral("accessToken"), accessToken},
        {QStringLiteral("refreshToken"), refreshToken},
        {QStringLiteral("expiresAt"), expiresAt},
        {QStringLiteral("userId"), userId},
    };
    const auto optional = [&o](const char* key, const std::optional<QString>& value) {
        if (value)
            o.insert(QLatin1String(key), *value);
    };
    optional("email", email);
    optional("displayName", displayName);
    optional("avatarUrl", avatarUrl);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<AuthSession> AuthSession::fromJson(const QByteArray& json)
{
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    if (!doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    const QJsonValue access = o.value(QStringLiteral("accessToken"));
    const QJsonValue refresh = o.value(QStringLiteral("refreshToken"));
    const QJsonValue expires = o.value(QStringLiteral("expiresAt"));
    const QJsonValue user = o.value(QStringLiteral("userId"));
    if (!access.isString() || !refresh.isString() || !expires.isDouble() || !user.isString())
        return std::nullopt;
    AuthSession s;
    s.accessToken = access.toString();
    s.refreshToken = refresh.toString();
    s.expiresAt = expires.toDouble();
    s.userId = user.toString();
    for (auto [key, field] :
         {std::pair{"email", &s.email}, {"displayName", &s.displayName}, {"avatarUrl", &s.avatarUrl}}) {
        const QJsonValue value = o.value(QLatin1String(key));
        if (!value.isUndefined() && !value.isNull() && !value.isString())
            return std::nullopt;
        if (value.isString())
            *field = value.toString();
    }
    return s;
}
