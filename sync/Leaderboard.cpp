#include "sync/Leaderboard.h"

#include "sync/AuthError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace {

// A JSON number that is a whole count within the range a client can show.
std::optional<int64_t> count(const QJsonValue& value, int64_t least)
{
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || d < static_cast<double>(least) || d > 9.0e15)
        return std::nullopt;
    return static_cast<int64_t>(d);
}

QString shownName(const QJsonValue& value)
{
    QString name = AuthError::safeText(value.toString()).trimmed();
    if (name.size() > Leaderboard::kNameLength) {
        qsizetype cut = Leaderboard::kNameLength - 1;
        // Never split a character written as a surrogate pair.
        if (name.at(cut - 1).isHighSurrogate())
            --cut;
        name = name.left(cut) + QChar(0x2026);
    }
    return name;
}

std::optional<BoardEntry> entry(const QJsonValue& value)
{
    const QJsonObject o = value.toObject();
    const auto rank = count(o.value(QStringLiteral("rank")), 1);
    const auto figure = count(o.value(QStringLiteral("value")), 0);
    const QJsonValue name = o.value(QStringLiteral("name"));
    if (!rank || !figure || !name.isString())
        return std::nullopt;
    return BoardEntry{*rank, shownName(name), *figure};
}

std::optional<BoardStanding> standing(const QJsonValue& value)
{
    const QJsonObject o = value.toObject();
    const auto rank = count(o.value(QStringLiteral("rank")), 1);
    const auto of = count(o.value(QStringLiteral("of")), 1);
    const auto figure = count(o.value(QStringLiteral("value")), 0);
    if (!rank || !of || !figure || *rank > *of)
        return std::nullopt;
    return BoardStanding{*rank, *of, *figure};
}

std::optional<BoardList> list(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    BoardList out;
    for (const QJsonValue& item : o.value(QStringLiteral("top")).toArray()) {
        if (out.top.size() == Leaderboard::kTopCount)
            break;
        if (const auto e = entry(item))
            out.top.append(*e);
    }
    out.of = count(o.value(QStringLiteral("of")), 0).value_or(0);
    out.me = standing(o.value(QStringLiteral("me")));
    return out;
}

} // namespace

const Leaderboard::ListRow Leaderboard::kLists[3] = {
    {"Score", "score", &Leaderboard::score},
    {"Lines this week", "week", &Leaderboard::week},
    {"Lines today", "today", &Leaderboard::today},
};

std::optional<Leaderboard> Leaderboard::fromJson(const QByteArray& json)
{
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    if (!doc.isObject())
        return std::nullopt;
    Leaderboard board;
    for (const ListRow& row : kLists) {
        auto read = list(doc.object().value(QLatin1String(row.key)));
        if (!read)
            return std::nullopt;
        board.*row.list = std::move(*read);
    }
    return board;
}
