// The board's two readers outside the app, against the local backend on a real PostgreSQL: the static page in a
// real browser (Debian's chromium, headless) and `korvel --leaderboard`.

#include "tests/support/PostgresServer.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestBackend.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

constexpr const char* kChromium = "/usr/bin/chromium";

class BoardReadersTest : public ::testing::Test
{
protected:
    static inline std::unique_ptr<PostgresServer> database;
    static inline std::string setUpError;

    // Twelve readers scoring 99 down to 43 (two of them tied at 78), one with markup for a name.
    static void SetUpTestSuite()
    {
        database = std::make_unique<PostgresServer>();
        if (!database->running())
            return;
        setUpError = database->createScoresTable(KORVEL_SOURCE_DIR, {});
        if (!setUpError.empty())
            return;
        setUpError = database
                         ->sql(R"(
            insert into auth.users (id)
                select ('00000000-0000-4000-8000-' || lpad(n::text, 12, '0'))::uuid from generate_series(1, 12) n;
            insert into public.profiles
                select ('00000000-0000-4000-8000-' || lpad(n::text, 12, '0'))::uuid,
                       case n when 3 then '<i>x</i>' else 'reader ' || n end, null
                from generate_series(1, 12) n;
            insert into public.scores
                select ('00000000-0000-4000-8000-' || lpad(n::text, 12, '0'))::uuid,
                       case n when 4 then 78 else 104 - 5 * n - (n > 4)::int end, 1, null, 10 * n, 20 * n, 100000,
                       0, 0, 0, 0, 0, 0, now()
                from generate_series(1, 12) n;)")
                         .error;
    }

    static void TearDownTestSuite() { database.reset(); }

    void SetUp() override
    {
        if (!database->running())
            GTEST_SKIP() << "no PostgreSQL: " << database->problem();
        ASSERT_EQ(setUpError, "");
        backend = std::make_unique<TestBackend>(database.get());
    }

    std::unique_ptr<TestBackend> backend;
    TempDir home;

    ProgramResult korvel(const std::vector<std::string>& args, const std::string& url)
    {
        return runProgram(KORVEL_BINARY, args,
                          {"HOME=" + home.path(), "XDG_CONFIG_HOME=" + home.path() + "/config",
                           "XDG_DATA_HOME=" + home.path() + "/data", "KORVEL_BACKEND_URL=" + url,
                           std::string("KORVEL_PUBLISHABLE_KEY=") + TestBackend::kPublishableKey});
    }
};

// The text of the cells of one class in the page's list, in order.
QStringList cells(const QString& dom, const QString& list, const QString& cellClass)
{
    const qsizetype from = dom.indexOf(QStringLiteral("data-list=\"%1\"").arg(list));
    const QString section = dom.mid(from, dom.indexOf(QStringLiteral("</section>"), from) - from);
    QStringList out;
    const QRegularExpression cell(QStringLiteral("<td class=\"%1\">(.*?)</td>").arg(cellClass));
    for (auto it = cell.globalMatch(section); it.hasNext();)
        out << it.next().captured(1);
    return out;
}

} // namespace

TEST_F(BoardReadersTest, ThePageShowsTheTopTenOfEachListAsText)
{
    if (!std::filesystem::exists(kChromium))
        GTEST_SKIP() << "chromium is not installed (apt-get install chromium)";
    TempDir site;
    std::filesystem::copy_file(std::string(KORVEL_SOURCE_DIR) + "/backend/web/index.html", site.path() + "/index.html");
    std::ofstream(site.path() + "/config.js") << "window.KORVEL_BOARD = { url: \"" << backend->baseUrl().toStdString()
                                              << "\", publishableKey: \"" << TestBackend::kPublishableKey << "\" };\n";
    backend->serveFolder(QString::fromStdString(site.path()));

    // The flags keep a headless chromium off the network it would otherwise try at every start.
    const ProgramResult page =
        runProgram(kChromium,
                   {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                    "--disable-background-networking", "--disable-component-update", "--disable-sync",
                    "--user-data-dir=" + home.path() + "/chromium", "--virtual-time-budget=20000", "--dump-dom",
                    backend->baseUrl().toStdString() + "/web/index.html"},
                   {"HOME=" + home.path(), "PATH=/usr/bin:/bin"});
    ASSERT_EQ(page.status, 0) << page.err;
    const QString dom = QString::fromStdString(page.out);
    ASSERT_TRUE(dom.contains(QStringLiteral("data-loaded=\"true\""))) << page.out;

    EXPECT_EQ(cells(dom, "score", "rank"), (QStringList{"#1", "#2", "#3", "#4", "#4", "#6", "#7", "#8", "#9", "#10"}));
    const QStringList names = cells(dom, "score", "name");
    ASSERT_EQ(names.size(), 10);
    EXPECT_EQ(names[0], QStringLiteral("reader 1"));
    EXPECT_EQ(names[2], QStringLiteral("&lt;i&gt;x&lt;/i&gt;")) << "a name is text, not markup";
    EXPECT_EQ(cells(dom, "score", "value").mid(0, 2), (QStringList{"99", "94"}));
    EXPECT_EQ(cells(dom, "today", "value").first(), QStringLiteral("120")) << "the most lines today lead that list";
    EXPECT_TRUE(dom.contains(QStringLiteral("12 on the list")));
}

TEST_F(BoardReadersTest, TheCommandLinePrintsTheBoardOrSaysWhyNot)
{
    const ProgramResult json = korvel({"--leaderboard", "--json"}, backend->baseUrl().toStdString());
    ASSERT_EQ(json.status, 0) << json.err;
    const QJsonObject board = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
    const QJsonArray top = board["score"]["top"].toArray();
    ASSERT_EQ(top.size(), 10);
    EXPECT_EQ(top[0].toObject(), (QJsonObject{{"rank", 1}, {"name", "reader 1"}, {"value", 99}}));
    EXPECT_EQ(board["week"]["of"].toInt(), 12);
    EXPECT_TRUE(board["score"]["me"].isNull()) << "signed out, there is no own rank";

    const ProgramResult text = korvel({"--leaderboard"}, backend->baseUrl().toStdString());
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("Score (12 on the list)"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Sign in to see your rank."), std::string::npos);

    const ProgramResult unreachable = korvel({"--leaderboard"}, "http://127.0.0.1:1");
    EXPECT_EQ(unreachable.status, 1);
    EXPECT_EQ(unreachable.err, "korvel: the leaderboard could not be read: Connection refused\n");

    std::filesystem::create_directories(home.path() + "/config/Korvel");
    std::ofstream(home.path() + "/config/Korvel/Korvel.conf") << "[General]\nkorvel.privateMode=true\n";
    const qsizetype asked = backend->requests().size();
    const ProgramResult privately = korvel({"--leaderboard"}, backend->baseUrl().toStdString());
    EXPECT_EQ(privately.status, 0);
    EXPECT_EQ(privately.out, "Private mode is on \u2014 nothing leaves this computer\n");
    EXPECT_EQ(backend->requests().size(), asked) << "private mode sends nothing";
}
