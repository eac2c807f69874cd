#include "tests/app/KorvelRun.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace {

const std::string kSignedOut = "\"user_id\" : \"00000000-0000-0000-0000-000000000000\"";

// No display, no session bus, no keyring: the command must need none of them.
ProgramResult dryRun(const TempDir& home, const std::string& zone = "UTC",
                     const std::string& backend = "https://abc.supabase.co")
{
    return korvel(home, {"--sync-dry-run"}, zone, {"KORVEL_BACKEND_URL=" + backend});
}

// The "name value" pairs of the --stats report (the model's name may hold spaces: it stands alone on its line).
std::map<std::string, double> statsFigures(std::string report)
{
    const auto model = report.find("topModel ");
    report.erase(model, report.find('\n', model) - model);
    std::map<std::string, double> figures;
    std::istringstream words(report);
    for (std::string name, value; words >> name >> value;)
        figures[name] = std::atof(value.c_str());
    return figures;
}

} // namespace

TEST(SyncDryRunCommandTest, SignedOutItPrintsTheRequestOfTheStatsFiguresInEveryZone)
{
    TempDir home;
    const std::time_t now = std::time(nullptr);
    // Work an hour and a day ago, so that "today" depends on where the day ends.
    home.write(".claude/projects/app/recent.jsonl", edit(iso(now - 3600), 4) + reply(iso(now - 3600), 100, "a") +
                                                        edit(iso(now - 30 * 3600), 3) +
                                                        reply(iso(now - 30 * 3600), 50, "b"));
    home.write(".claude/projects/app/old.jsonl", edit(iso(now - 20 * 86400), 2));
    const std::map<QString, std::string> fromStats{{"korvel_score", "score"},       {"streak", "current"},
                                                   {"lines_all", "total"},          {"lines_today", "todayLines"},
                                                   {"cost_today", "todayCost"},     {"cost_all", "cost"},
                                                   {"tokens_today", "todayTokens"}, {"tokens_week", "weekTokens"}};
    const QRegularExpression member(QStringLiteral(R"re(^  "([a-z_]+)" : (.+?)(,?)$)re"));

    for (const char* zone : {"UTC", "Pacific/Kiritimati", "America/Los_Angeles"}) {
        SCOPED_TRACE(zone);
        const std::string before = iso(std::time(nullptr));
        const ProgramResult run = dryRun(home, zone);
        const std::string after = iso(std::time(nullptr));
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        const QStringList lines = QString::fromStdString(run.out).split(u'\n');
        ASSERT_EQ(lines.size(), 2 + 1 + 14 + 1 + 1) << run.out;
        EXPECT_EQ(lines[0], "[korvel --sync-dry-run] would POST https://abc.supabase.co/rest/v1/scores");
        EXPECT_EQ(lines[1], "Headers: apikey=<anon key>, Authorization=Bearer <access_token>, "
                            "Content-Type=application/json, Prefer=resolution=merge-duplicates,return=minimal");
        EXPECT_EQ(lines[2] + lines[17] + lines[18], "{}") << "braces alone on their lines, a line feed at the end";
        QStringList keys;
        for (int i = 3; i < 17; ++i)
            keys << member.match(lines[i]).captured(1);
        EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()) && keys.size() == 14) << keys.join(' ').toStdString();

        const QJsonObject row =
            QJsonDocument::fromJson(QByteArray::fromStdString(run.out.substr(run.out.find('{')))).object();
        const std::string stats = korvel(home, {"--stats"}, zone).out;
        auto figures = statsFigures(stats);
        for (const auto& [key, name] : fromStats)
            EXPECT_EQ(row.value(key).toDouble(), figures[name]) << key.toStdString();
        EXPECT_EQ(row.value("lines_week").toDouble(), 7);
        EXPECT_NE(stats.find("topModel " + row.value("top_model").toString().toStdString() + "\n"), std::string::npos);
        EXPECT_NE(run.out.find(kSignedOut), std::string::npos);
        // The time of the request is UTC whatever the zone: between the two readings of the clock.
        const std::string synced = row.value("last_synced").toString().toStdString();
        EXPECT_TRUE(synced >= before && synced <= after) << synced;
    }
}

TEST(SyncDryRunCommandTest, ABackendThatIsNoHttpsOriginIsRefusedYetTheRequestPrints)
{
    TempDir home;
    const ProgramResult refused = dryRun(home, "UTC", "http://abc.supabase.co");
    EXPECT_EQ(refused.status, 0);
    EXPECT_EQ(refused.err, "korvel: leaderboard sync is off: the backend URL \"http://abc.supabase.co\" is not an "
                           "https origin (plain http is allowed only for 127.0.0.1 and localhost); set "
                           "KORVEL_BACKEND_URL to one such as https://PROJECT.supabase.co\n");
    EXPECT_EQ(refused.out.rfind("[korvel --sync-dry-run] would POST http://abc.supabase.co/rest/v1/scores\n", 0), 0u);
    EXPECT_NE(refused.out.find(kSignedOut + "\n}\n"), std::string::npos);
    EXPECT_EQ(dryRun(home, "UTC", "http://127.0.0.1:54321").err, "");
}
