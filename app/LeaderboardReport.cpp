#include "app/LeaderboardReport.h"

#include "app/CoreApplication.h"
#include "app/TextTable.h"
#include "prefs/Prefs.h"
#include "sync/AuthManager.h"
#include "sync/LeaderboardFetch.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <future>
#include <unistd.h>

namespace LeaderboardReport {
namespace {

std::string ownLine(const BoardList& list, bool signedIn)
{
    if (!signedIn)
        return "Sign in to see your rank.";
    if (!list.me)
        return "You're not on this list yet.";
    return "You: #" + TableFormat::count(list.me->rank) + " of " + TableFormat::count(list.me->of) + " (" +
           TableFormat::count(list.me->value) + ")";
}

QJsonValue standing(const std::optional<BoardStanding>& me)
{
    if (!me)
        return QJsonValue();
    return QJsonObject{{"rank", static_cast<qint64>(me->rank)},
                       {"of", static_cast<qint64>(me->of)},
                       {"value", static_cast<qint64>(me->value)}};
}

} // namespace

void printText(const Leaderboard& board, bool signedIn, std::ostream& out)
{
    const bool colour = ::isatty(STDOUT_FILENO) && !std::getenv("NO_COLOR");
    bool first = true;
    for (const Leaderboard::ListRow& row : Leaderboard::kLists) {
        const BoardList& list = board.*row.list;
        out << (first ? "" : "\n") << row.title << " (" << TableFormat::count(list.of) << " on the list)\n";
        first = false;
        TextTable table({{"Rank"}, {"Name", TextTable::Align::Left}, {row.title}});
        for (const BoardEntry& entry : list.top)
            table.add(
                {"#" + TableFormat::count(entry.rank), entry.name.toStdString(), TableFormat::count(entry.value)});
        table.print(out, colour);
        out << ownLine(list, signedIn) << '\n';
    }
}

void printJson(const Leaderboard& board, std::ostream& out)
{
    QJsonObject json{{"version", 1}};
    for (const Leaderboard::ListRow& row : Leaderboard::kLists) {
        const BoardList& list = board.*row.list;
        QJsonArray top;
        for (const BoardEntry& entry : list.top)
            top.append(QJsonObject{{"rank", static_cast<qint64>(entry.rank)},
                                   {"name", entry.name},
                                   {"value", static_cast<qint64>(entry.value)}});
        json.insert(QLatin1String(row.key),
                    QJsonObject{{"top", top}, {"of", static_cast<qint64>(list.of)}, {"me", standing(list.me)}});
    }
    out << QJsonDocument(json).toJson(QJsonDocument::Indented).toStdString();
}

int run(const Invocation& invocation, std::ostream& out, std::ostream& err)
{
    const auto app = ensureCoreApplication();
    const bool json = CommandLine::wantsJson(invocation);
    if (Prefs::flag(PrefKey::PrivateMode)) {
        if (json)
            out << "{\n    \"privateMode\": true,\n    \"version\": 1\n}\n";
        else
            out << LeaderboardFetch::kPrivateModeText.toStdString() << '\n';
        return 0;
    }
    AuthManager& auth = AuthManager::shared();
    std::promise<LeaderboardFetch::Result> answer;
    LeaderboardFetch::fetch(auth, [&answer](const LeaderboardFetch::Result& result) { answer.set_value(result); });
    const LeaderboardFetch::Result result = answer.get_future().get();
    if (const auto* error = std::get_if<AuthError>(&result)) {
        err << "korvel: the leaderboard could not be read: " << error->description().toStdString() << '\n';
        return 1;
    }
    const Leaderboard& board = std::get<Leaderboard>(result);
    if (json)
        printJson(board, out);
    else
        printText(board, auth.session().has_value(), out);
    return 0;
}

} // namespace LeaderboardReport
