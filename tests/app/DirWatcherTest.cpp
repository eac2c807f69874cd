#include "app/DirWatcher.h"

#include "tests/support/TempDir.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

// Waits for the watcher to see a change: its countdown starts.
bool counting(DirWatcher& watcher)
{
    return QTest::qWaitFor([&] { return watcher.countdown().isActive(); }, 10000);
}

} // namespace

TEST(DirWatcherTest, EveryChangeRestartsTheCountdownAndItsEndGivesOneCall)
{
    TempDir dir;
    int calls = 0;
    auto watcher = DirWatcher::create(QString::fromStdString(dir.path()), [&] { ++calls; });
    ASSERT_TRUE(watcher);
    EXPECT_EQ(watcher->countdown().interval(), DirWatcher::kDebounceMs);
    // A countdown that cannot end by itself: the test ends it.
    watcher->countdown().setInterval(24 * 3600 * 1000);
    dir.write("project-1/a.jsonl", "{}");
    ASSERT_TRUE(counting(*watcher));
    watcher->countdown().stop();
    dir.write("project-2/a.jsonl", "{}");
    ASSERT_TRUE(counting(*watcher)) << "a later change starts it again";
    EXPECT_EQ(calls, 0);
    watcher->countdown().start(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls == 1; }, 10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(watcher->countdown().isActive());
}

TEST(DirWatcherTest, MissingFoldersGiveNoWatcherAndReleaseCancelsTheCall)
{
    TempDir dir;
    EXPECT_FALSE(DirWatcher::create(QString::fromStdString(dir.path() + "/missing"), [] {}));
    int calls = 0;
    auto watcher = DirWatcher::create(QString::fromStdString(dir.path()), [&] { ++calls; });
    dir.write("new/a.jsonl", "{}");
    ASSERT_TRUE(counting(*watcher));
    watcher->countdown().start(0);
    watcher.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 0);
}
