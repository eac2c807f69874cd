#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>
#include <chrono>
#include <ctime>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const std::string kPost = "[korvel --sync-dry-run] would POST https://abc.supabase.co/rest/v1/scores";
const std::string kHeaders = "Headers: apikey=<anon key>, Authorization=Bearer <access_token>, "
                             "Content-Type=application/json, Prefer=resolution=merge-duplicates,return=minimal";

ProgramResult korvel(const TempDir& home, const std::string& command, const std::string& zone,
                     const std::string& backend = "https://abc.supabase.co", const std::string& bus = "")
{
    // No display, no session bus, no keyring: the command must need none of them.
    std::vector<std::string> env{"HOME=" + home.path(), "TZ=" + zone, "XDG_DATA_HOME=" + home.path() + "/data",
                                 "KORVEL_BACKEND_URL=" + backend};
    if (!bus.empty())
        env.push_back("DBUS_SESSION_BUS_ADDRESS=" + bus);
    return runProgram(KORVEL_BINARY, {command}, env);
}

std::string iso(std::time_t t)
{
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&t));
    return buf;
}

std::string edit(std::time_t t, int added)
{
    std::string lines;
    for (int i = 0; i < added; ++i)
        lines += std::string(i ? "," : "") + "\"+a\"";
    return R"({"type":"user","timestamp":")" + iso(t) + R"(","toolUseResult":{"filePath":"/p/f)" +
           std::to_string(added) + R"(","structuredPatch":[{"lines":[)" + lines + "]}]}}\n";
}

std::string reply(std::time_t t, int output)
{
    return R"({"type":"assistant","timestamp":")" + iso(t) + R"(","requestId":"r)" + std::to_string(t) +
           R"(","message":{"id":"m)" + std::to_string(t) +
           R"(","model":"claude-opus-4-6","usage":{"input_tokens":1000,"output_tokens":)" + std::to_string(output) +
           "}}}\n";
}

// The "name value" pairs of the --stats report (the model's name may hold spaces: it stands alone on its line).
std::map<std::string, std::string> statsFigures(const std::string& report)
{
    std::map<std::string, std::string> figures;
    std::istringstream lines(report);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("topModel ", 0) == 0) {
            figures["topModel"] = line.substr(9);
            continue;
        }
        std::istringstream words(line);
        for (std::string name, value; words >> name >> value;)
            figures[name] = value;
    }
    return figures;
}

} // namespace

TEST(SyncDryRunCommandTest, SignedOutItPrintsTheRequestLaidOutInEveryZone)
{
    TempDir home;
    const std::time_t now = std::time(nullptr);
    // Work an hour and a day ago, so that "today" depends on where the day ends.
    home.write(".claude/projects/app/recent.jsonl",
               edit(now - 3600, 4) + reply(now - 3600, 100) + edit(now - 30 * 3600, 3) + reply(now - 30 * 3600, 50));
    home.write(".claude/projects/app/old.jsonl", edit(now - 20 * 86400, 2));
    const QStringList keys{"cost_all",     "cost_today",  "cost_week",  "korvel_score", "last_synced",
                           "lines_all",    "lines_today", "lines_week", "streak",       "tokens_all",
                           "tokens_today", "tokens_week", "top_model",  "user_id"};
    const QRegularExpression member(QStringLiteral(R"re(^  "([a-z_]+)" : (.+?)(,?)$)re"));

    for (const char* zone : {"UTC", "Pacific/Kiritimati", "America/Los_Angeles"}) {
        SCOPED_TRACE(zone);
        const std::time_t before = std::time(nullptr);
        const ProgramResult run = korvel(home, "--sync-dry-run", zone);
        const std::time_t after = std::time(nullptr);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        const QStringList lines = QString::fromStdString(run.out).split(u'\n');
        ASSERT_EQ(lines.size(), 2 + 1 + 14 + 1 + 1) << run.out;
        EXPECT_EQ(lines[0].toStdString(), kPost);
        EXPECT_EQ(lines[1].toStdString(), kHeaders);
        EXPECT_EQ(lines[2], QStringLiteral("{"));
        for (int i = 0; i < 14; ++i) {
            const auto m = member.match(lines[3 + i]);
            ASSERT_TRUE(m.hasMatch()) << lines[3 + i].toStdString();
            EXPECT_EQ(m.captured(1), keys[i]) << "sorted keys";
            EXPECT_EQ(m.captured(3).isEmpty(), i == 13) << "commas between members";
        }
        EXPECT_EQ(lines[17], QStringLiteral("}"));
        EXPECT_EQ(lines[18], QString()) << "a line feed ends the output";

        const QJsonObject row =
            QJsonDocument::fromJson(QByteArray::fromStdString(run.out.substr(run.out.find('{')))).object();
        auto stats = statsFigures(korvel(home, "--stats", zone).out);
        const auto number = [&](const char* key) { return std::stod(stats[key]); };
        EXPECT_EQ(row.value("user_id"), QStringLiteral("00000000-0000-0000-0000-000000000000"));
        EXPECT_EQ(row.value("korvel_score").toDouble(), number("score"));
        EXPECT_EQ(row.value("streak").toDouble(), number("current"));
        EXPECT_EQ(row.value("lines_all").toDouble(), number("total"));
        EXPECT_EQ(row.value("lines_today").toDouble(), number("todayLines"));
        EXPECT_EQ(row.value("cost_today").toDouble(), number("todayCost"));
        EXPECT_EQ(row.value("cost_all").toDouble(), number("cost"));
        EXPECT_EQ(row.value("tokens_today").toDouble(), number("todayTokens"));
        EXPECT_EQ(row.value("tokens_week").toDouble(), number("weekTokens"));
        EXPECT_EQ(row.value("top_model").toString().toStdString(), stats["topModel"]);
        EXPECT_EQ(row.value("lines_week").toDouble(), 7);
        // The time of the request is UTC whatever the zone: between the two readings of the clock.
        const QString synced = row.value("last_synced").toString();
        EXPECT_TRUE(synced.toStdString() >= iso(before) && synced.toStdString() <= iso(after)) << synced.toStdString();
    }
}

TEST(SyncDryRunCommandTest, ABackendThatIsNoHttpsOriginIsRefusedYetTheRequestPrints)
{
    TempDir home;
    const ProgramResult refused = korvel(home, "--sync-dry-run", "UTC", "http://abc.supabase.co");
    EXPECT_EQ(refused.status, 0);
    EXPECT_EQ(refused.err, "korvel: leaderboard sync is off: the backend URL \"http://abc.supabase.co\" is not an "
                           "https origin (plain http is allowed only for 127.0.0.1 and localhost); set "
                           "KORVEL_BACKEND_URL to one such as https://PROJECT.supabase.co\n");
    EXPECT_EQ(refused.out.rfind("[korvel --sync-dry-run] would POST http://abc.supabase.co/rest/v1/scores\n", 0), 0u);
    EXPECT_NE(refused.out.find("\"user_id\" : \"00000000-0000-0000-0000-000000000000\"\n}\n"), std::string::npos);

    const ProgramResult local = korvel(home, "--sync-dry-run", "UTC", "http://127.0.0.1:54321");
    EXPECT_EQ(local.err, "");
    EXPECT_EQ(local.out.rfind("[korvel --sync-dry-run] would POST http://127.0.0.1:54321/rest/v1/scores\n", 0), 0u);
}

TEST(SyncDryRunCommandTest, ASessionBusThatNeverAnswersHoldsItUpOnlyBriefly)
{
    TempDir home;
    // A socket that accepts connections and never says a word: the keyring lookup must give up by itself.
    const std::string path = home.path() + "/bus";
    const int silent = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(silent, 8), 0);
    const auto start = std::chrono::steady_clock::now();
    const ProgramResult run = korvel(home, "--sync-dry-run", "UTC", "https://abc.supabase.co", "unix:path=" + path);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    close(silent);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\"user_id\" : \"00000000-0000-0000-0000-000000000000\""), std::string::npos) << run.out;
    EXPECT_LT(seconds, 8) << "the keyring wait is bounded (3 s)";
}
