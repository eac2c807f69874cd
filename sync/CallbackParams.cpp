#include "sync/CallbackParams.h"

#include <QStringDecoder>
#include <QUrl>

namespace {

QString percentDecoded(const QString& text)
{
    return QUrl::fromPercentEncoding(text.toUtf8());
}

bool isHex(QChar c)
{
    return c.isDigit() || (c.toLower() >= u'a' && c.toLower() <= u'f');
}

// Unchanged when text holds a percent sign that starts no escape, or the escapes do not form UTF-8.
QString decodedOnceMore(const QString& text)
{
    for (qsizetype i = text.indexOf(u'%'); i >= 0; i = text.indexOf(u'%', i + 1))
        if (i + 2 >= text.size() || !isHex(text.at(i + 1)) || !isHex(text.at(i + 2)))
            return text;
    const QByteArray bytes = QByteArray::fromPercentEncoding(text.toUtf8());
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(bytes);
    return utf8.hasError() ? text : decoded;
}

} // namespace

CallbackParams CallbackParams::parse(const QString& encoded)
{
    CallbackParams parsed;
    if (encoded.isEmpty())
        return parsed;
    for (const QString& pair : encoded.split(u'&')) {
        const qsizetype eq = pair.indexOf(u'=');
        if (eq < 0)
            parsed.m_pairs.append({percentDecoded(pair), std::nullopt});
        else
            parsed.m_pairs.append({percentDecoded(pair.left(eq)), pair.mid(eq + 1)});
    }
    return parsed;
}

std::optional<QString> CallbackParams::raw(const QString& name) const
{
    for (const auto& [n, v] : m_pairs)
        if (n == name)
            return v;
    return std::nullopt;
}

std::optional<QString> CallbackParams::value(const QString& name) const
{
    const auto text = raw(name);
    return text ? std::optional(percentDecoded(*text)) : std::nullopt;
}

std::optional<QString> CallbackParams::errorMessage() const
{
    auto message = raw(QStringLiteral("error_description"));
    if (!message)
        message = raw(QStringLiteral("error"));
    if (!message)
        return std::nullopt;
    // The authentication server writes these form-encoded, with plus signs for spaces.
    return decodedOnceMore(percentDecoded(QString(*message).replace(u'+', u' ')));
}
