#pragma once

#include "sync/AuthError.h"
#include "sync/HttpClient.h"

#include <QJsonObject>
#include <QStringList>
#include <variant>

/// How the backend's answers become results. Messages taken from an answer never carry the secrets that went out
/// with the request: any of them found in a message is replaced.
namespace BackendAnswer {

/// The body as a JSON object; empty when there is none, it does not parse, or it is not an object.
QJsonObject bodyObject(const QByteArray& body);

/// An answer of the authentication API: the body on a 2xx status, else the error (its message the first string
/// of "error_description", "msg", "message", "error", else "Request failed (STATUS)").
std::variant<QJsonObject, AuthError> ofAuth(const HttpAnswer& answer, const QStringList& secrets);

/// An answer of the data API (the score upsert, its delete): success on a 2xx status, else the error (its message
/// "message" or "error", else failed + " (STATUS)", as in "Sync failed (500)").
AuthResult ofRest(const HttpAnswer& answer, const QStringList& secrets, const QString& failed);

/// text with every non-empty secret replaced by "[hidden]".
QString redact(QString text, const QStringList& secrets);

} // namespace BackendAnswer
