#include "ui/look/Fmt.h"

#include "core/PlainText.h"

#include <QDate>
#include <QLocale>
#include <cmath>

namespace Fmt {

QString num(double v)
{
    if (v >= 1e9)
        return QString::asprintf("%.1fB", v / 1e9);
    if (v >= 1e6)
        return QString::asprintf("%.1fM", v / 1e6);
    if (v >= 1000)
        return QString::asprintf(v >= 10000 ? "%.0fk" : "%.1fk", v / 1000);
    return QString::number(static_cast<long long>(std::round(v)));
}

QString money(double v)
{
    if (v >= 1000)
        return QString::asprintf("$%.1fk", v / 1000);
    if (v < 10)
        return QString::asprintf("$%.2f", v);
    return QString::asprintf("$%.0f", v);
}

QString humanDate(const std::optional<std::string>& dayKey)
{
    if (!dayKey)
        return {};
    const QDate date = QDate::fromString(QString::fromStdString(*dayKey), QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        return {};
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(date, QStringLiteral("MMM d"));
}

QString shown(std::string_view text)
{
    return QString::fromStdString(PlainText::shown(text));
}

QString shown(const QString& text)
{
    return shown(text.toStdString());
}

} // namespace Fmt
