// The single-instance hand-over between real processes: a running Korvel (the probe, which prints the callback URLs it
// receives) and later starts of the real korvel binary, as one user and across two users.

#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t kVictim = 64000;
constexpr uid_t kIntruder = 64001;

// Home, config, data and runtime folders of one user, owned by that user.
struct UserDirs
{
    TempDir root;
    std::string home = root.mkdir("home");
    std::string runtime = root.mkdir("run");
    /// What XDG_RUNTIME_DIR says; unset when absent.
    std::optional<std::string> runtimeVariable = runtime;

    explicit UserDirs(std::optional<uid_t> owner = std::nullopt)
    {
        chmod(runtime.c_str(), 0700);
        if (owner) {
            chmod(root.path().c_str(), 0755);
            for (const std::string& dir : {home, runtime})
                EXPECT_EQ(chown(dir.c_str(), *owner, *owner), 0);
        }
    }

    std::vector<std::string> env() const
    {
        std::vector<std::string> vars{"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/config",
                                      "XDG_DATA_HOME=" + home + "/data", "QT_QPA_PLATFORM=offscreen"};
        if (runtimeVariable)
            vars.push_back("XDG_RUNTIME_DIR=" + *runtimeVariable);
        return vars;
    }
};

std::vector<std::string> asUser(std::optional<uid_t> uid, const std::string& program)
{
    if (!uid)
        return {program};
    const std::string id = std::to_string(*uid);
    return {"/usr/bin/setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups", program};
}

// A later start: the real binary, as uid when given.
ProgramResult laterStart(const UserDirs& dirs, std::optional<uid_t> uid, const std::string& argument)
{
    std::vector<std::string> command = asUser(uid, KORVEL_BINARY);
    command.push_back(argument);
    return runProgram(command.front(), {command.begin() + 1, command.end()}, dirs.env());
}

// The running instance: the probe, started with a callback URL of its own so that its output shows when it is up.
class Probe
{
public:
    Probe(const UserDirs& dirs, std::optional<uid_t> uid)
    {
        QProcessEnvironment env;
        for (const std::string& var : dirs.env()) {
            const auto eq = var.find('=');
            env.insert(QString::fromStdString(var.substr(0, eq)), QString::fromStdString(var.substr(eq + 1)));
        }
        m_process.setProcessEnvironment(env);
        QStringList command;
        for (const std::string& part : asUser(uid, KORVEL_PROBE))
            command << QString::fromStdString(part);
        command << QStringLiteral("korvel://auth#up");
        m_process.start(command.takeFirst(), command);
    }

    ~Probe()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }

    bool waitUntilUp() { return waitFor("callback korvel://auth#up\n"); }

    bool waitFor(const QString& text)
    {
        return QTest::qWaitFor(
                   [&] {
                       m_out += QString::fromUtf8(m_process.readAllStandardOutput());
                       return m_out.contains(text) || m_process.state() == QProcess::NotRunning;
                   },
                   20000) &&
               m_out.contains(text);
    }

    QString out()
    {
        m_out += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_out;
    }
    QString err() { return QString::fromUtf8(m_process.readAllStandardError()); }
    bool running() const { return m_process.state() == QProcess::Running; }

private:
    QProcess m_process;
    QString m_out;
};

bool canSwitchUsers()
{
    return getuid() == 0 && access("/usr/bin/setpriv", X_OK) == 0;
}

} // namespace

TEST(HandOverTest, ALaterStartHandsItsCallbackToTheRunningInstanceAndLeaves)
{
    UserDirs dirs;
    Probe running(dirs, std::nullopt);
    ASSERT_TRUE(running.waitUntilUp()) << running.err().toStdString();

    const ProgramResult second = laterStart(dirs, std::nullopt, "korvel://auth#access_token=abc&expires_in=60");
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(laterStart(dirs, std::nullopt, "https://example.com/auth#access_token=abc").status, 0);
    EXPECT_EQ(laterStart(dirs, std::nullopt, "korvel://auth#last").status, 0);
    ASSERT_TRUE(running.waitFor("callback korvel://auth#last\n"));
    EXPECT_EQ(running.out(), QStringLiteral("callback korvel://auth#up\n"
                                            "callback korvel://auth#access_token=abc&expires_in=60\n"
                                            "callback korvel://auth#last\n"))
        << "anything but a callback URL is ignored";
}

TEST(HandOverTest, ARunningInstanceThatCannotListenSaysSoAndLaterStartsFailLoudly)
{
    UserDirs dirs;
    ASSERT_EQ(mkdir((dirs.runtime + "/korvel.sock").c_str(), 0700), 0);
    Probe running(dirs, std::nullopt);
    ASSERT_TRUE(running.waitUntilUp());
    EXPECT_TRUE(running.err().contains(QStringLiteral("korvel: cannot listen on ")));
    EXPECT_TRUE(running.running()) << "the application itself keeps running";

    const ProgramResult second = laterStart(dirs, std::nullopt, "korvel://auth#x");
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.err.find("did not take the arguments"), std::string::npos) << second.err;
}

TEST(HandOverTest, AnotherUserCannotTakeOverTheChannel)
{
    if (!canSwitchUsers())
        GTEST_SKIP() << "needs root and setpriv to act as two users";
    UserDirs victim(kVictim);
    UserDirs intruder(kIntruder);

    // The intruder cannot serve in the victim's folder, not even by pointing Korvel at it.
    intruder.runtimeVariable = victim.runtime;
    const ProgramResult refused = laterStart(intruder, kIntruder, "korvel://auth#x");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("belongs to user 64000, not to you (user 64001)"), std::string::npos) << refused.err;

    // The victim's own hand-over works under the victim's uid.
    {
        Probe running(victim, kVictim);
        ASSERT_TRUE(running.waitUntilUp()) << running.err().toStdString();
        EXPECT_EQ(laterStart(victim, kVictim, "korvel://auth#access_token=mine").status, 0);
        EXPECT_TRUE(running.waitFor("callback korvel://auth#access_token=mine\n"));
    }

    // Without a session runtime folder, the intruder takes the victim's fallback folder first and listens in it: the
    // victim's start refuses that folder and hands nothing over.
    const QString fallback = QStringLiteral("/tmp/korvel-runtime-%1").arg(kVictim);
    QDir(fallback).removeRecursively();
    ASSERT_EQ(mkdir(fallback.toLocal8Bit().constData(), 0700), 0);
    ASSERT_EQ(chown(fallback.toLocal8Bit().constData(), kIntruder, kIntruder), 0);
    {
        intruder.runtimeVariable = fallback.toStdString();
        Probe listening(intruder, kIntruder);
        ASSERT_TRUE(listening.waitUntilUp()) << listening.err().toStdString();
        ASSERT_TRUE(QFile::exists(fallback + QStringLiteral("/korvel.sock")));

        victim.runtimeVariable.reset();
        const ProgramResult victimStart = laterStart(victim, kVictim, "korvel://auth#access_token=secret");
        EXPECT_EQ(victimStart.status, 1);
        EXPECT_NE(victimStart.err.find("belongs to user 64001, not to you (user 64000)"), std::string::npos)
            << victimStart.err;
        EXPECT_EQ(listening.out(), QStringLiteral("callback korvel://auth#up\n")) << "nothing reached the intruder";
    }
    QDir(fallback).removeRecursively();
}
