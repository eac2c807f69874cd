// The single-instance hand-over between real processes: a running Korvel (the probe, which prints the callback URLs it
// receives) and later starts of the real korvel binary, as one user and as two.

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

// A user's home and runtime folder, owned by that user (the test's own when none is given), and a command line run
// as that user.
struct User
{
    std::optional<uid_t> uid;
    TempDir root;
    std::string home = root.mkdir("home");
    std::string runtime = root.mkdir("run");
    std::optional<std::string> runtimeVariable = runtime;

    explicit User(std::optional<uid_t> id = std::nullopt) : uid(id)
    {
        chmod(runtime.c_str(), 0700);
        chmod(root.path().c_str(), 0755);
        for (const std::string& dir : {home, runtime})
            EXPECT_EQ(chown(dir.c_str(), uid.value_or(getuid()), uid.value_or(getgid())), 0);
    }

    std::vector<std::string> env() const
    {
        std::vector<std::string> vars{"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/config",
                                      "XDG_DATA_HOME=" + home + "/data", "QT_QPA_PLATFORM=offscreen"};
        if (runtimeVariable)
            vars.push_back("XDG_RUNTIME_DIR=" + *runtimeVariable);
        return vars;
    }

    std::vector<std::string> command(const std::string& program, const std::string& argument) const
    {
        if (!uid)
            return {program, argument};
        const std::string id = std::to_string(*uid);
        return {"/usr/bin/setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups", program, argument};
    }

    // A later start of the real binary.
    ProgramResult start(const std::string& argument) const
    {
        const std::vector<std::string> line = command(KORVEL_BINARY, argument);
        return runProgram(line.front(), {line.begin() + 1, line.end()}, env());
    }
};

// The running instance, started with a callback URL of its own: its output shows when it is up.
class Probe
{
public:
    explicit Probe(const User& user)
    {
        QProcessEnvironment env;
        for (const std::string& var : user.env())
            env.insert(QString::fromStdString(var.substr(0, var.find('='))),
                       QString::fromStdString(var.substr(var.find('=') + 1)));
        m_process.setProcessEnvironment(env);
        QStringList line;
        for (const std::string& part : user.command(KORVEL_PROBE, "korvel://auth#up"))
            line << QString::fromStdString(part);
        m_process.start(line.takeFirst(), line);
    }

    ~Probe()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }

    bool waitFor(const QString& text)
    {
        const bool settled =
            QTest::qWaitFor([&] { return out().contains(text) || m_process.state() == QProcess::NotRunning; }, 20000);
        return settled && out().contains(text);
    }

    QString out() { return m_out += QString::fromUtf8(m_process.readAllStandardOutput()); }
    QString err() { return QString::fromUtf8(m_process.readAllStandardError()); }

private:
    QProcess m_process;
    QString m_out;
};

} // namespace

TEST(HandOverTest, ALaterStartHandsItsCallbackToTheRunningInstanceAndLeaves)
{
    User user;
    Probe running(user);
    ASSERT_TRUE(running.waitFor("callback korvel://auth#up\n")) << running.err().toStdString();
    const ProgramResult second = user.start("korvel://auth#access_token=abc&expires_in=60");
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(user.start("https://example.com/auth#access_token=abc").status, 0);
    EXPECT_EQ(user.start("korvel://auth#last").status, 0);
    ASSERT_TRUE(running.waitFor("callback korvel://auth#last\n"));
    EXPECT_EQ(running.out(), QStringLiteral("callback korvel://auth#up\n"
                                            "callback korvel://auth#access_token=abc&expires_in=60\n"
                                            "callback korvel://auth#last\n"))
        << "anything but a callback URL is ignored";
}

TEST(HandOverTest, AnotherUserCannotTakeOverTheChannel)
{
    if (getuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0)
        GTEST_SKIP() << "needs root and setpriv to act as two users";
    User victim(kVictim);
    User intruder(kIntruder);
    {
        Probe running(victim);
        ASSERT_TRUE(running.waitFor("callback korvel://auth#up\n")) << running.err().toStdString();
        EXPECT_EQ(victim.start("korvel://auth#access_token=mine").status, 0);
        EXPECT_TRUE(running.waitFor("callback korvel://auth#access_token=mine\n"));

        // Pointed at the victim's folder, the intruder's Korvel refuses it (and could not create a socket there).
        intruder.runtimeVariable = victim.runtime;
        const ProgramResult refused = intruder.start("korvel://auth#x");
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.err.find("belongs to user 64000, not to you (user 64001)"), std::string::npos) << refused.err;
    }

    // Without a session runtime folder, the intruder creates the victim's fallback folder first and listens in it:
    // the victim's start refuses the folder, and nothing reaches the intruder.
    const std::string fallback = "/tmp/korvel-runtime-" + std::to_string(kVictim);
    QDir(QString::fromStdString(fallback)).removeRecursively();
    ASSERT_EQ(mkdir(fallback.c_str(), 0700), 0);
    ASSERT_EQ(chown(fallback.c_str(), kIntruder, kIntruder), 0);
    intruder.runtimeVariable = fallback;
    {
        Probe listening(intruder);
        ASSERT_TRUE(listening.waitFor("callback korvel://auth#up\n")) << listening.err().toStdString();
        victim.runtimeVariable.reset();
        const ProgramResult victimStart = victim.start("korvel://auth#access_token=secret");
        EXPECT_EQ(victimStart.status, 1);
        EXPECT_NE(victimStart.err.find("belongs to user 64001, not to you (user 64000)"), std::string::npos)
            << victimStart.err;
        EXPECT_EQ(listening.out(), QStringLiteral("callback korvel://auth#up\n"));
    }
    QDir(QString::fromStdString(fallback)).removeRecursively();
}
