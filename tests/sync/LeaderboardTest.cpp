#include "sync/Leaderboard.h"

#include "sync/PublicProfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

QByteArray boardWith(const QJsonValue& scoreList)
{
    const QJsonObject empty{{"top", QJsonArray()}, {"of", 0}};
    return QJsonDocument(QJsonObject{{"score", scoreList}, {"week", empty}, {"today", empty}}).toJson();
}

} // namespace

TEST(LeaderboardTest, AHostileAnswerGivesAtMostTenPlainEntriesOrNoBoard)
{
    for (const QByteArray& broken :
         {QByteArray("<html>502</html>"), QByteArray("[1,2]"), QByteArray("{\"score\":{}}"), boardWith(QJsonValue(7))})
        EXPECT_FALSE(Leaderboard::fromJson(broken)) << broken.constData();

    QJsonArray many;
    for (int i = 0; i < 10000; ++i)
        many.append(QJsonObject{{"rank", i + 1}, {"name", QStringLiteral("n%1").arg(i)}, {"value", 10000 - i}});
    const auto big = Leaderboard::fromJson(boardWith(QJsonObject{{"top", many}, {"of", 10000}}));
    ASSERT_TRUE(big);
    EXPECT_EQ(big->score.top.size(), Leaderboard::kTopCount);

    const QJsonArray odd{
        QJsonObject{{"rank", "1"}, {"name", "string rank"}, {"value", 5}},
        QJsonObject{{"rank", 1.5}, {"name", "half rank"}, {"value", 5}},
        QJsonObject{{"rank", 1}, {"name", 42}, {"value", 5}},
        QJsonObject{{"rank", 1}, {"name", "negative"}, {"value", -3}},
        QJsonObject{{"rank", 2}, {"name", "<img src=x onerror=alert(1)>\u001b[31m\u202eevil"}, {"value", 9}},
        QJsonObject{{"rank", 3}, {"name", QString(60, u'x')}, {"value", 1}},
        QJsonValue("not an entry"),
    };
    const QJsonObject me{{"rank", 900}, {"of", 12}, {"value", 1}};
    const auto board = Leaderboard::fromJson(boardWith(QJsonObject{{"top", odd}, {"of", "12"}, {"me", me}}));
    ASSERT_TRUE(board);
    ASSERT_EQ(board->score.top.size(), 2);
    EXPECT_EQ(board->score.top[0].name, QStringLiteral("<img src=x onerror=alert(1)> [31m evil"));
    EXPECT_EQ(board->score.top[1].name, QString(38, u'x') + QChar(0x2026));
    EXPECT_EQ(board->score.of, 0);
    EXPECT_FALSE(board->score.me) << "a rank past the end of its list is not shown";
}

TEST(LeaderboardTest, TheProfileNameComesFromTheUserNameTheFullNameOrTheMailbox)
{
    const auto user = [](QJsonObject meta, const char* email) {
        return QJsonObject{{"email", email}, {"user_metadata", meta}};
    };
    EXPECT_EQ(PublicProfile::displayName(user({{"user_name", "ada"}, {"full_name", "Ada L"}}, "a@x.org")), "ada");
    EXPECT_EQ(PublicProfile::displayName(user({{"user_name", " \n "}, {"full_name", "Ada L"}}, "a@x.org")), "Ada L");
    EXPECT_EQ(PublicProfile::displayName(user({}, "grace.h@example.org")), "grace.h");
    EXPECT_EQ(PublicProfile::displayName(user({{"full_name", QString(50, u'y')}}, "")), QString(39, u'y'));
    EXPECT_FALSE(PublicProfile::displayName(user({}, "@example.org")));

    EXPECT_EQ(PublicProfile::avatarUrl(user({{"avatar_url", "https://img.example/a.png"}}, "")),
              "https://img.example/a.png");
    for (const char* refused : {"http://img.example/a.png", "javascript:alert(1)", "https://", "https://a b/c.png"})
        EXPECT_FALSE(PublicProfile::avatarUrl(user({{"avatar_url", refused}}, ""))) << refused;

    AuthSession signedIn;
    signedIn.userId = QStringLiteral("u1");
    signedIn.email = QStringLiteral("lin@example.org");
    EXPECT_EQ(PublicProfile::row(signedIn),
              (QJsonObject{{"user_id", "u1"}, {"display_name", "lin"}, {"avatar_url", QJsonValue()}}))
        << "a session stored before names were kept falls back on its e-mail";
}
