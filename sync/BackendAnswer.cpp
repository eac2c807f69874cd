#include "sync/BackendAnswer.h"

#include <QJsonDocument>
#include <initializer_list>
#include <optional>

namespace BackendAnswer {
namespace {

std::optional<QString> firstString(const QJsonObject& body, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        const QJsonValue v = body.value(QLatin1String(name));
        if (v.isString())
            return v.toString();
    }
    return std::nullopt;
}

AuthError failure(const HttpAnswer& answer, const QString& message, const QStringList& secrets)
{
    if (answer.transportError)
        return AuthError::network(redact(*answer.transportError, secrets));
    return AuthError::server(answer.status, redact(message, secrets));
}

bool succeeded(const HttpAnswer& answer)
{
    return !answer.transportError && answer.status >= 200 && answer.status <= 299;
}

} // namespace

QJsonObject bodyObject(const QByteArray& body)
{
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    return doc.isObject() ? doc.object() : QJsonObject();
}

std::variant<QJsonObject, AuthError> ofAuth(const HttpAnswer& answer, const QStringList& secrets)
{
    const QJsonObject body = bodyObject(answer.body);
    if (succeeded(answer))
        return body;
    const auto message = firstString(body, {"error_description", "msg", "message", "error"});
    return failure(answer, message.value_or(QStringLiteral("Request failed (%1)").arg(answer.status)), secrets);
}

AuthResult ofRest(const HttpAnswer& answer, const QStringList& secrets, const QString& failed)
{
    if (succeeded(answer))
        return std::nullopt;
    const auto message = firstString(bodyObject(answer.body), {"message", "error"});
    return failure(answer, message.value_or(QStringLiteral("%1 (%2)").arg(failed).arg(answer.status)), secrets);
}

QString redact(QString text, const QStringList& secrets)
{
    for (const QString& secret : secrets)
        if (!secret.isEmpty())
            text.replace(secret, QStringLiteral("[hidden]"));
    return text;
}

} // namespace BackendAnswer
