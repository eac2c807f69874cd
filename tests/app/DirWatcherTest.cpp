#include "app/DirWatcher.h"

#include "tests/support/TempDir.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

TEST(DirWatcherTest, ABurstOfChangesGivesOneCallAfterTheLast)
{
    TempDir dir;
    int calls = 0;
    QElapsedTimer sinceLast;
    qint64 delay = -1;
    auto watcher = DirWatcher::create(QString::fromStdString(dir.path()), [&] {
        ++calls;
        delay = sinceLast.elapsed();
    });
    ASSERT_TRUE(watcher);
    for (int i = 0; i < 5; ++i) {
        dir.write("project-" + std::to_string(i) + "/a.jsonl", "{}");
        sinceLast.start();
        QTest::qWait(150);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls > 0; }, 5000));
    QTest::qWait(500);
    EXPECT_EQ(calls, 1);
    EXPECT_GE(delay, DirWatcher::kDebounceMs - 100) << "one call, the debounce after the last change";
}

TEST(DirWatcherTest, AppendsInsideSubfoldersAreNotSeen)
{
    TempDir dir;
    const std::string log = dir.write("project/a.jsonl", "{}\n");
    int calls = 0;
    auto watcher = DirWatcher::create(QString::fromStdString(dir.path()), [&] { ++calls; });
    ASSERT_TRUE(watcher);
    dir.write("project/a.jsonl", "{}\n{}\n");
    QTest::qWait(DirWatcher::kDebounceMs + 500);
    EXPECT_EQ(calls, 0);
}

TEST(DirWatcherTest, MissingFoldersGiveNoWatcherAndReleaseCancelsTheCall)
{
    TempDir dir;
    EXPECT_FALSE(DirWatcher::create(QString::fromStdString(dir.path() + "/missing"), [] {}));
    int calls = 0;
    auto watcher = DirWatcher::create(QString::fromStdString(dir.path()), [&] { ++calls; });
    dir.write("new/a.jsonl", "{}");
    QTest::qWait(200);
    watcher.reset();
    QTest::qWait(DirWatcher::kDebounceMs + 300);
    EXPECT_EQ(calls, 0);
}
