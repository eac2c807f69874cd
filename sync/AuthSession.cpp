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
    if (email)
        o.insert(QStringLiteral("email"), *email);
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
    const QJsonValue email = o.value(QStringLiteral("email"));
    if (!access.isString() || !refresh.isString() || !expires.isDouble() || !user.isString())
        return std::nullopt;
    if (!email.isUndefined() && !email.isNull() && !email.isString())
        return std::nullopt;
    AuthSession s{access.toString(), refresh.toString(), expires.toDouble(), user.toString(), std::nullopt};
    if (email.isString())
        s.email = email.toString();
    return s;
}
