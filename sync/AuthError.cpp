#include "sync/AuthError.h"

AuthError::AuthError(Kind kind, int status, QString message)
    : m_kind(kind), m_status(status), m_message(std::move(message))
{
}

AuthError AuthError::network(const QString& message)
{
    return AuthError(Kind::Network, 0, safeText(message));
}

AuthError AuthError::server(int status, const QString& message)
{
    return AuthError(Kind::Server, status, safeText(message));
}

AuthError AuthError::decode()
{
    return AuthError(Kind::Decode, 0, {});
}

AuthError AuthError::notSignedIn()
{
    return AuthError(Kind::NotSignedIn, 0, {});
}

QString AuthError::description() const
{
    switch (m_kind) {
    case Kind::Network:
    case Kind::Server:
        return m_message;
    case Kind::Decode:
        return QStringLiteral("Unexpected response from server");
    case Kind::NotSignedIn:
        return QStringLiteral("Not signed in");
    }
    return {};
}

QString AuthError::safeText(const QString& text)
{
    // Control characters could forge line breaks in a label; format characters (bidi overrides, zero-width
    // marks) could make the text read differently from what it is.
    QString cleaned;
    cleaned.reserve(text.size());
    for (const QChar c : text) {
        const auto category = c.category();
        const bool hidden = category == QChar::Other_Control || category == QChar::Other_Format;
        cleaned.append(hidden ? QChar(u' ') : c);
    }
    cleaned = cleaned.simplified();
    if (cleaned.size() <= kMaxMessageLength)
        return cleaned;
    qsizetype cut = kMaxMessageLength - 1;
    if (cleaned.at(cut - 1).isHighSurrogate())
        --cut;
    return cleaned.left(cut) + QChar(u'\u2026');
}
