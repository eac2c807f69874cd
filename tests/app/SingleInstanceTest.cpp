#include "app/SingleInstance.h"

#include "app/HandOverMessage.h"
#include "tests/support/TempDir.h"

#include <QLocalSocket>
#include <QTest>
#include <future>
#include <gtest/gtest.h>

namespace {

using Outcome = SingleInstance::Outcome;

QString folderOf(const TempDir& dir)
{
    return QString::fromStdString(dir.path());
}

// A later start runs in its own thread: it blocks until the running instance, served by this thread's event loop,
// confirms.
std::future<Outcome> startLater(const QString& folder, const QStringList& args, int patienceMs = 5000)
{
    return std::async(std::launch::async, [=] { return SingleInstance(folder, patienceMs).start(args); });
}

Outcome await(std::future<Outcome>& later)
{
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return later.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000));
    return later.get();
}

} // namespace

TEST(SingleInstanceTest, FirstStartHoldsTheFolderLaterStartsHandTheirArgumentsOverAndGarbageIsDropped)
{
    TempDir dir;
    dir.write("korvel.sock", "left behind by a crash");
    SingleInstance first(folderOf(dir));
    ASSERT_EQ(first.start({QStringLiteral("korvel")}), Outcome::First);
    EXPECT_EQ(first.error(), QString()) << "a stale socket is replaced";
    QList<QStringList> received;
    first.onMessage = [&](const QStringList& args) { received << args; };

    QLocalSocket oversized;
    oversized.connectToServer(first.socketPath());
    ASSERT_TRUE(oversized.waitForConnected(1000));
    oversized.write(QByteArray("\xff\xff\xff\xff", 4) + QByteArray(100, 'x'));
    EXPECT_TRUE(QTest::qWaitFor([&] { return oversized.state() == QLocalSocket::UnconnectedState; }, 5000));

    for (const QStringList& args : {QStringList{"korvel", "korvel://auth#token=\u00e9"}, QStringList{}}) {
        auto later = startLater(folderOf(dir), args);
        EXPECT_EQ(await(later), Outcome::HandedOver);
    }
    EXPECT_EQ(received, (QList<QStringList>{{"korvel", "korvel://auth#token=\u00e9"}, {}}));
}

TEST(SingleInstanceTest, WireFormRejectsWhatItCannotTrust)
{
    const QByteArray message = HandOverMessage::encode({QStringLiteral("a"), QString(), QStringLiteral("b c")});
    EXPECT_EQ(HandOverMessage::decode(message).args, (QStringList{"a", "", "b c"}));
    EXPECT_EQ(HandOverMessage::decode(message.left(7)).state, HandOverMessage::Decoded::Partial);
    // Trailing bytes, an argument without its end, a length over the limit.
    for (const QByteArray& bad : {message + 'x', QByteArray::fromHex("0000000161"), QByteArray::fromHex("00010001")})
        EXPECT_EQ(HandOverMessage::decode(bad).state, HandOverMessage::Decoded::Invalid) << bad.toHex().toStdString();
}

TEST(SingleInstanceTest, AFirstStartThatCannotListenSaysSoAndLaterStartsGiveUp)
{
    TempDir dir;
    dir.write("korvel.sock/blocker", "a folder where the socket should go");
    SingleInstance first(folderOf(dir));
    ASSERT_EQ(first.start({}), Outcome::First);
    EXPECT_TRUE(first.error().startsWith(QStringLiteral("korvel: cannot listen on ") + first.socketPath()))
        << first.error().toStdString();

    SingleInstance second(folderOf(dir), 300);
    EXPECT_EQ(second.start({QStringLiteral("korvel://auth#x")}), Outcome::Failed);
    EXPECT_TRUE(second.error().contains(QStringLiteral("did not take the arguments"))) << second.error().toStdString();
}
