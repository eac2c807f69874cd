#include "sync/PublicProfile.h"

#include "sync/AuthError.h"

#include <QUrl>

namespace PublicProfile {
namespace {

std::optional<QString> shown(const QJsonValue& value)
{
    QString text = AuthError::safeText(value.toString()).trimmed();
    if (text.size() > kNameLength)
        text.truncate(text.at(kNameLength - 1).isHighSurrogate() ? kNameLength - 1 : kNameLength);
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

} // namespace

std::optional<QString> displayName(const QJsonObject& user)
{
    const QJsonObject meta = user.value(QStringLiteral("user_metadata")).toObject();
    for (const char* key : {"user_name", "full_name"})
        if (auto name = shown(meta.value(QLatin1String(key))))
            return name;
    const QString email = user.value(QStringLiteral("email")).toString();
    return shown(QJsonValue(email.left(email.indexOf(u'@'))));
}

std::optional<QString> avatarUrl(const QJsonObject& user)
{
    const QString text =
        user.value(QStringLiteral("user_metadata")).toObject().value(QStringLiteral("avatar_url")).toString();
    const QUrl url(text, QUrl::StrictMode);
    if (text.size() > 2048 || !url.isValid() || url.scheme() != QLatin1String("https") || url.host().isEmpty() ||
        text.contains(u' '))
        return std::nullopt;
    return url.toString(QUrl::FullyEncoded);
}

QJsonObject row(const AuthSession& session)
{
    QString name = session.displayName.value_or(QString());
    if (name.isEmpty() && session.email)
        name = displayName(QJsonObject{{QStringLiteral("email"), *session.email}}).value_or(QString());
    if (name.isEmpty())
        name = QStringLiteral("Korvel user");
    return QJsonObject{
        {QStringLiteral("user_id"), session.userId},
        {QStringLiteral("display_name"), name},
        {QStringLiteral("avatar_url"), session.avatarUrl ? QJsonValue(*session.avatarUrl) : QJsonValue()},
    };
}

} // namespace PublicProfile
