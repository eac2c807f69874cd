// The query of a sign-in callback URL. Any text after "korvel://auth?" parses without harm into pairs whose values
// and error message are well-formed; and pairs written with percent-encoding read back as written, the first of
// each name winning.

#include "sync/CallbackParams.h"
#include "tests/fuzz/Require.h"

#include <QUrl>
#include <cstddef>
#include <cstdint>

namespace {

bool wellFormed(const QString& text)
{
    return QString::fromUtf8(text.toUtf8()) == text;
}

void requireHarmless(const QString& queryText)
{
    const QUrl url(QStringLiteral("korvel://auth?") + queryText);
    const auto params = CallbackParams::parse(url.query(QUrl::FullyEncoded));
    require(params.isEmpty() == url.query(QUrl::FullyEncoded).isEmpty(),
            "a callback has pairs exactly when its query is not empty");
    require(wellFormed(params.errorMessage().value_or(QString())), "the error message is well-formed text");
    for (const char* name : {"code", "access_token", "error", "error_description"})
        if (const auto value = params.value(QString::fromLatin1(name)))
            require(wellFormed(*value), "a value is well-formed text");
}

// Names and values from the input (split at NUL bytes, in turn), written as a callback would write them.
void requireRoundTrip(const QString& input)
{
    const QStringList parts = input.split(QChar(u'\0'));
    QList<QPair<QString, QString>> pairs;
    QString queryText;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        pairs.append({parts[i], parts[i + 1]});
        if (!queryText.isEmpty())
            queryText += u'&';
        queryText +=
            QString::fromLatin1(QUrl::toPercentEncoding(parts[i]) + '=' + QUrl::toPercentEncoding(parts[i + 1]));
    }
    if (pairs.isEmpty())
        return;
    const QUrl url(QStringLiteral("korvel://auth?") + queryText);
    const auto params = CallbackParams::parse(url.query(QUrl::FullyEncoded));
    for (const auto& [name, value] : pairs) {
        QString first = value;
        for (const auto& [earlier, earlierValue] : pairs)
            if (earlier == name) {
                first = earlierValue;
                break;
            }
        require(params.value(name) == first, "a written pair reads back, the first of its name winning");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    requireHarmless(text);
    requireRoundTrip(text);
    return 0;
}
