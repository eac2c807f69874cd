#include "app/SingleInstance.h"

#include <QTest>
#include <gtest/gtest.h>

TEST(SingleInstanceTest, ALaterStartHandsItsArgumentsToTheRunningOne)
{
    const QString name = QStringLiteral("korvel-test-%1").arg(QCoreApplication::applicationPid());
    SingleInstance first(name);
    EXPECT_FALSE(first.handOff({QStringLiteral("korvel")})) << "nobody is running yet";
    ASSERT_TRUE(first.listen());
    QStringList received;
    first.onMessage = [&](const QStringList& args) { received = args; };

    const SingleInstance second(name);
    EXPECT_TRUE(second.handOff({QStringLiteral("korvel"), QStringLiteral("korvel://auth#token")}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, 3000));
    EXPECT_EQ(received, (QStringList{QStringLiteral("korvel"), QStringLiteral("korvel://auth#token")}));
}
