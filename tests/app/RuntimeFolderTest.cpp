#include "app/RuntimeFolder.h"

#include "tests/support/TempDir.h"

#include <QDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Sets XDG_RUNTIME_DIR for one test and puts the old value back.
class RuntimeDirGuard
{
public:
    explicit RuntimeDirGuard(const std::string& value)
    {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR"))
            m_old = old;
        setenv("XDG_RUNTIME_DIR", value.c_str(), 1);
    }
    ~RuntimeDirGuard()
    {
        if (m_old)
            setenv("XDG_RUNTIME_DIR", m_old->c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }
    RuntimeDirGuard(const RuntimeDirGuard&) = delete;
    RuntimeDirGuard& operator=(const RuntimeDirGuard&) = delete;

private:
    std::optional<std::string> m_old;
};

} // namespace

TEST(RuntimeFolderTest, UsesThePrivateSessionFolder)
{
    TempDir dir;
    chmod(dir.path().c_str(), 0700);
    const RuntimeDirGuard guard(dir.path());
    const RuntimeFolder::Result result = RuntimeFolder::locate();
    EXPECT_EQ(result.path, QString::fromStdString(dir.path()));
    EXPECT_EQ(result.error, QString());
}

TEST(RuntimeFolderTest, RefusesAFolderOthersCanReachOrThatIsMissing)
{
    TempDir dir;
    chmod(dir.path().c_str(), 0755);
    {
        const RuntimeDirGuard guard(dir.path());
        const RuntimeFolder::Result open = RuntimeFolder::locate();
        EXPECT_TRUE(open.path.isEmpty());
        EXPECT_TRUE(open.error.contains(QStringLiteral("(XDG_RUNTIME_DIR) is open to other users (mode 0755)")))
            << open.error.toStdString();
    }
    const RuntimeDirGuard missing(dir.path() + "/gone");
    EXPECT_TRUE(RuntimeFolder::locate().error.contains(QStringLiteral("cannot be used: No such file or directory")));
}

TEST(RuntimeFolderTest, RefusesAnotherUsersFolderAndALinkInTheFallback)
{
    TempDir dir;
    const std::string theirs = dir.mkdir("theirs");
    chmod(theirs.c_str(), 0700);
    if (getuid() == 0) {
        ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
        EXPECT_TRUE(RuntimeFolder::check(QString::fromStdString(theirs), "XDG_RUNTIME_DIR", false)
                        .contains(QStringLiteral("belongs to user 65534, not to you (user 0)")));
    }
    const std::string mine = dir.mkdir("mine");
    chmod(mine.c_str(), 0700);
    const std::string link = dir.path() + "/link";
    ASSERT_EQ(symlink(mine.c_str(), link.c_str()), 0);
    EXPECT_EQ(RuntimeFolder::check(QString::fromStdString(link), "XDG_RUNTIME_DIR", false), QString());
    EXPECT_TRUE(RuntimeFolder::check(QString::fromStdString(link), "fallback", true)
                    .contains(QStringLiteral("is a symbolic link")));
}

TEST(RuntimeFolderTest, WithoutASessionFolderMakesItsOwnPrivateOne)
{
    const QString own = QStringLiteral("/tmp/korvel-runtime-%1").arg(getuid());
    const bool existed = QDir(own).exists();
    const RuntimeDirGuard relative("relative/is/ignored");
    const RuntimeFolder::Result result = RuntimeFolder::locate();
    EXPECT_EQ(result.path, own);
    struct stat st
    {
    };
    ASSERT_EQ(stat(own.toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    if (!existed)
        QDir().rmdir(own);
}
