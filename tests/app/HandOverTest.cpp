// The single-instance hand-over between real processes: a running Korvel (the probe, which prints the callback URLs it
// receives) and later starts of the real korvel binary, as one user and as two, and the sign-in that a handed-over
// callback completes against the local backend.

#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestBackend.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QUrlQuery>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr uid_t kVictim = 64000;
constexpr uid_t kIntruder = 64001;
const BackendUser kAda{QStringLiteral("0b7e3c1a-4d2f-4a55-9c1e-6f1d2a3b4c5d"), QStringLiteral("ada@example.org")};
const BackendUser kMallory{QStringLiteral("5f0c9a8b-7e6d-4c3b-8a29-1b0c9d8e7f6a"), std::nullopt};
const QString kIgnored = QStringLiteral("[korvel] ignored a sign-in callback");

// A user's home and runtime folder, owned by that user (the test's own when none is given), and a command line run
// as that user.
struct User
{
    std::optional<uid_t> uid;
    TempDir root;
    std::string home = root.mkdir("home");
    std::string runtime = root.mkdir("run");
    std::optional<std::string> runtimeVariable = runtime;
    /// More "NAME=value" entries for every process of this user.
    std::vector<std::string> extraEnv;
    /// A command that every process of this user is started through (prlimit, say).
    std::vector<std::string> wrapper;

    explicit User(std::optional<uid_t> id = std::nullopt) : uid(id)
    {
        chmod(runtime.c_str(), 0700);
        chmod(root.path().c_str(), 0755);
        for (const std::string& dir : {home, runtime})
            EXPECT_EQ(chown(dir.c_str(), uid.value_or(getuid()), uid.value_or(getgid())), 0);
    }

    std::vector<std::string> env() const
    {
        std::vector<std::string> vars = extraEnv;
        vars.insert(vars.end(), {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/config",
                                 "XDG_DATA_HOME=" + home + "/data", "QT_QPA_PLATFORM=offscreen"});
        if (runtimeVariable)
            vars.push_back("XDG_RUNTIME_DIR=" + *runtimeVariable);
        return vars;
    }

    std::vector<std::string> command(const std::string& program, const std::vector<std::string>& args) const
    {
        std::vector<std::string> line{program};
        if (uid) {
            const std::string id = std::to_string(*uid);
            line = {"/usr/bin/setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups", program};
        }
        line.insert(line.end(), args.begin(), args.end());
        line.insert(line.begin(), wrapper.begin(), wrapper.end());
        return line;
    }

    // A later start of the real binary. One that wrongly became the running instance would never leave: it is ended
    // (status 124) so that the test fails instead of hanging.
    ProgramResult start(const std::string& argument) const
    {
        std::vector<std::string> line = command(KORVEL_BINARY, {argument});
        line.insert(line.begin(), "30");
        return runProgram("/usr/bin/timeout", line, env());
    }

    // Every process of this user talks to backend instead of the built-in one.
    void use(const TestBackend& backend)
    {
        extraEnv = {"KORVEL_BACKEND_URL=" + backend.baseUrl().toStdString(),
                    std::string("KORVEL_PUBLISHABLE_KEY=") + TestBackend::kPublishableKey};
    }
};

// The running instance. Started with a callback URL of its own, its output shows when it is up; with
// KORVEL_PROBE_SIGN_IN among probeEnv it starts a sign-in and prints the page it would open.
class Probe
{
public:
    explicit Probe(const User& user, const std::vector<std::string>& args = {"korvel://auth#up"},
                   const std::vector<std::string>& probeEnv = {})
    {
        QProcessEnvironment env;
        std::vector<std::string> vars = user.env();
        vars.insert(vars.end(), probeEnv.begin(), probeEnv.end());
        for (const std::string& var : vars)
            env.insert(QString::fromStdString(var.substr(0, var.find('='))),
                       QString::fromStdString(var.substr(var.find('=') + 1)));
        m_process.setProcessEnvironment(env);
        QStringList line;
        for (const std::string& part : user.command(KORVEL_PROBE, args))
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
        return settle([&] { return out().contains(text); });
    }

    bool waitForErr(const QString& text)
    {
        return settle([&] { return err().contains(text); });
    }

    /// The rest of the first whole output line that begins with prefix; empty when none came.
    QString waitForLine(const QString& prefix)
    {
        const QRegularExpression line(QStringLiteral("^") + QRegularExpression::escape(prefix) +
                                          QStringLiteral("(.*)\n"),
                                      QRegularExpression::MultilineOption);
        settle([&] { return line.match(out()).hasMatch(); });
        return line.match(out()).captured(1);
    }

    QString out() { return m_out += QString::fromUtf8(m_process.readAllStandardOutput()); }
    qint64 pid() const { return m_process.processId(); }
    QString err() { return m_err += QString::fromUtf8(m_process.readAllStandardError()); }

private:
    bool settle(const std::function<bool()>& done)
    {
        // Settled also when the probe died, so that a crash fails at once with its output.
        return QTest::qWaitFor([&] { return done() || m_process.state() == QProcess::NotRunning; }, 20000) && done();
    }

    QProcess m_process;
    QString m_out;
    QString m_err;
};

} // namespace

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

TEST(HandOverTest, AHandedOverCallbackCompletesTheSignInThatTheRunningInstanceStarted)
{
    TestBackend backend;
    backend.setAuthorizeUser(kAda);
    User user;
    user.use(backend);
    Probe running(user, {"--debug"}, {"KORVEL_PROBE_SIGN_IN=github"});
    const QUrl authorize(running.waitForLine(QStringLiteral("open ")));
    ASSERT_TRUE(authorize.isValid()) << running.err().toStdString();
    const std::optional<QUrl> callback = backend.followAuthorize(authorize);
    ASSERT_TRUE(callback && callback->toString().startsWith("korvel://auth?code=")) << "no token in the URL";

    // A later start hands over what it was given and leaves; what is no callback URL is ignored.
    EXPECT_EQ(user.start("https://example.com/auth?code=abc").status, 0);
    const ProgramResult second = user.start(callback->toString(QUrl::FullyEncoded).toStdString());
    EXPECT_EQ(second.status, 0) << second.err;
    ASSERT_TRUE(running.waitFor(QStringLiteral("stored session of ") + kAda.id + u'\n')) << running.err().toStdString();
    const QList<RecordedRequest> exchanged = backend.requestsTo(QStringLiteral("POST /auth/v1/token"));
    ASSERT_EQ(exchanged.size(), 1);
    EXPECT_EQ(exchanged[0].json().value("auth_code").toString(),
              QUrlQuery(callback->query()).queryItemValue(QStringLiteral("code")));

    // The sign-in is over: a further callback, another account's, is refused without a word to the backend.
    EXPECT_EQ(user.start("korvel://auth#" + backend.issue(kMallory).fragment().toStdString()).status, 0);
    EXPECT_EQ(user.start(callback->toString(QUrl::FullyEncoded).toStdString()).status, 0);
    ASSERT_TRUE(running.waitForErr(kIgnored)) << running.err().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return running.err().count(kIgnored) == 2; }, 20000))
        << running.err().toStdString();
    EXPECT_EQ(backend.requestsTo(QStringLiteral("POST /auth/v1/token")).size(), 1);
    EXPECT_EQ(backend.requestsTo(QStringLiteral("GET /auth/v1/user")).size(), 1);
    EXPECT_EQ(running.out().count(QStringLiteral("stored session")), 1);
    EXPECT_FALSE(running.out().contains(QStringLiteral("example.com"))) << running.out().toStdString();
}

namespace {

int openDescriptors(qint64 pid)
{
    return static_cast<int>(
        QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::NoDotAndDotDot | QDir::System).size());
}

int connectTo(const std::string& path)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

TEST(HandOverTest, ABurstOfIdleConnectionsLeavesTheChannelOpen)
{
    User user;
    user.wrapper = {"/usr/bin/prlimit", "--nofile=256:256", "--"};
    Probe running(user);
    ASSERT_TRUE(running.waitFor(QStringLiteral("callback korvel://auth#up"))) << running.err().toStdString();
    const std::string socketPath = user.runtime + "/korvel.sock";
    const int before = openDescriptors(running.pid());

    // More idle connections than the running instance may open files: it serves a few, closes the rest, and
    // closes the idle ones it served after a while, so that a later start is heard.
    std::vector<int> idle;
    for (int i = 0; i < 300; ++i)
        idle.push_back(connectTo(socketPath));
    const ProgramResult later = user.start("korvel://auth#later");
    EXPECT_EQ(later.status, 0) << later.err;
    EXPECT_TRUE(running.waitFor(QStringLiteral("callback korvel://auth#later"))) << running.err().toStdString();
    for (const int fd : idle)
        if (fd >= 0)
            close(fd);

    for (int i = 0; i < 20000; ++i)
        if (const int fd = connectTo(socketPath); fd >= 0)
            close(fd);
    EXPECT_TRUE(QTest::qWaitFor([&] { return openDescriptors(running.pid()) <= before; }, 10000))
        << openDescriptors(running.pid()) << " descriptors open, " << before << " before";
    EXPECT_EQ(user.start("korvel://auth#last").status, 0);
    EXPECT_TRUE(running.waitFor(QStringLiteral("callback korvel://auth#last")));
}
