// The fragment of a sign-in callback URL. Any text after "korvel://auth#" parses without harm into pairs whose
// values, expiry and error message are well-formed; and pairs written with percent-encoding read back as written,
// the first of each name winning.

#include "sync/CallbackFragment.h"
#include "tests/fuzz/Require.h"

#include <QUrl>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

constexpr double kNow = 1767225600; // 2026-01-01T00:00:00Z

bool wellFormed(const QString& text)
{
    return QString::fromUtf8(text.toUtf8()) == text;
}

void requireHarmless(const QString& fragmentText)
{
    const QUrl url(QStringLiteral("korvel://auth#") + fragmentText);
    const auto fragment = CallbackFragment::of(url);
    require(fragment.has_value() == !url.fragment(QUrl::FullyEncoded).isEmpty(),
            "a callback has pairs exactly when its fragment is not empty");
    if (!fragment)
        return;
    const double expiry = fragment->expiry(kNow);
    require(std::isfinite(expiry), "the expiry is a finite time");
    require(wellFormed(fragment->errorMessage()), "the error message is well-formed text");
    for (const char* name : {"access_token", "refresh_token", "error", "error_description"})
        if (const auto value = fragment->value(QString::fromLatin1(name)))
            require(wellFormed(*value), "a value is well-formed text");
}

// Names and values from the input (split at NUL bytes, in turn), written as a callback would write them.
void requireRoundTrip(const QString& input)
{
    const QStringList parts = input.split(QChar(u'\0'));
    QList<QPair<QString, QString>> pairs;
    QString fragmentText;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        pairs.append({parts[i], parts[i + 1]});
        if (!fragmentText.isEmpty())
            fragmentText += u'&';
        fragmentText +=
            QString::fromLatin1(QUrl::toPercentEncoding(parts[i]) + '=' + QUrl::toPercentEncoding(parts[i + 1]));
    }
    if (pairs.isEmpty())
        return;
    const auto fragment = CallbackFragment::of(QUrl(QStringLiteral("korvel://auth#") + fragmentText));
    require(fragment.has_value(), "written pairs make a fragment");
    for (const auto& [name, value] : pairs) {
        QString first = value;
        for (const auto& [earlier, earlierValue] : pairs)
            if (earlier == name) {
                first = earlierValue;
                break;
            }
        require(fragment->value(name) == first, "a written pair reads back, the first of its name winning");
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
