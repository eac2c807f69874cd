#include "app/RuntimeFolder.h"

#include "tests/support/TempDir.h"

#include <QDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What locate() says with XDG_RUNTIME_DIR set to value for the call.
RuntimeFolder::Result locateWith(const std::string& value)
{
    const QByteArray old = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(value));
    RuntimeFolder::Result result = RuntimeFolder::locate();
    old.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", old);
    return result;
}

bool says(const QString& error, const char* text)
{
    return error.contains(QLatin1String(text));
}

} // namespace

TEST(RuntimeFolderTest, UsesOnlyAFolderOfThisUserClosedToOthers)
{
    TempDir dir;
    chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(locateWith(dir.path()).path, QString::fromStdString(dir.path()));
    chmod(dir.path().c_str(), 0755);
    const QString open = locateWith(dir.path()).error;
    EXPECT_TRUE(says(open, "(XDG_RUNTIME_DIR) is open to other users (mode 0755)")) << open.toStdString();
    EXPECT_TRUE(says(locateWith(dir.path() + "/gone").error, "cannot be used: No such file or directory"));

    const std::string theirs = dir.mkdir("theirs");
    chmod(theirs.c_str(), 0700);
    if (getuid() == 0 && chown(theirs.c_str(), 65534, 65534) == 0) {
        EXPECT_TRUE(says(locateWith(theirs).error, "belongs to user 65534, not to you (user 0)"));
    }
}

TEST(RuntimeFolderTest, WithoutASessionFolderMakesItsOwnAndRefusesALinkThere)
{
    const QString own = QStringLiteral("/tmp/korvel-runtime-%1").arg(getuid());
    const bool existed = QDir(own).exists();
    EXPECT_EQ(locateWith("relative/is/ignored").path, own);
    struct stat st
    {
    };
    ASSERT_EQ(stat(own.toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    if (!existed)
        QDir().rmdir(own);

    TempDir dir;
    const std::string link = dir.path() + "/link";
    ASSERT_EQ(symlink(dir.mkdir("mine").c_str(), link.c_str()), 0);
    chmod((dir.path() + "/mine").c_str(), 0700);
    EXPECT_EQ(RuntimeFolder::check(QString::fromStdString(link), "XDG_RUNTIME_DIR", false), QString());
    EXPECT_TRUE(says(RuntimeFolder::check(QString::fromStdString(link), "fallback", true), "is a symbolic link"));
}
