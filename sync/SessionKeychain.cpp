#include "sync/SessionKeychain.h"

#include <QCoreApplication>
#include <QThread>
#include <future>
#include <mutex>
#include <qt6keychain/keychain.h>

namespace {

// QtKeychain queues its jobs in one process-wide executor that must only ever be used from one thread, and its
// Secret Service calls finish through that thread's event loop: every job of the process runs on this thread.
class KeyringThread
{
public:
    static KeyringThread& instance()
    {
        // Never destroyed: the thread is stopped when the application object goes, and callers may outlive that.
        static KeyringThread* thread = new KeyringThread;
        return *thread;
    }

    /// Runs f on the keyring thread; false once the thread has stopped.
    bool post(std::function<void()> f)
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped)
            return false;
        if (!m_thread.isRunning()) {
            m_context.moveToThread(&m_thread);
            m_thread.start();
            qAddPostRoutine([] { instance().stop(); });
        }
        return QMetaObject::invokeMethod(&m_context, std::move(f), Qt::QueuedConnection);
    }

private:
    KeyringThread() { m_thread.setObjectName(QStringLiteral("korvel.keyring")); }

    void stop()
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_thread.quit();
        // A keyring that never answers must not hold up the end of the program.
        m_thread.wait(1000);
    }

    std::mutex m_mutex;
    QThread m_thread;
    QObject m_context;
    bool m_stopped = false;
};

} // namespace

SessionKeychain::SessionKeychain(int waitMs) : m_waitMs(waitMs) {}

bool SessionKeychain::busAvailable()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // QtKeychain's Secret Service and KWallet back ends both need the session bus; without one named, D-Bus
    // would try to launch a bus of its own, which can hang on a machine without a display.
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
#else
    return true;
#endif
}

SessionKeychain::Outcome SessionKeychain::run(std::function<QKeychain::Job*()> makeJob)
{
    if (!busAvailable())
        return {false, {}, QStringLiteral("no session bus (DBUS_SESSION_BUS_ADDRESS is not set)")};
    auto promise = std::make_shared<std::promise<Outcome>>();
    std::future<Outcome> future = promise->get_future();
    const bool posted = KeyringThread::instance().post([makeJob, promise] {
        QKeychain::Job* job = makeJob();
        QObject::connect(job, &QKeychain::Job::finished, [promise](QKeychain::Job* done) {
            Outcome outcome;
            outcome.ok = done->error() == QKeychain::NoError;
            if (!outcome.ok)
                outcome.error = done->error() == QKeychain::EntryNotFound ? QString() : done->errorString();
            if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(done))
                outcome.data = read->binaryData();
            promise->set_value(std::move(outcome));
        });
        job->start();
    });
    if (!posted)
        return {false, {}, QStringLiteral("the keyring is closed")};
    if (future.wait_for(std::chrono::milliseconds(m_waitMs)) != std::future_status::ready)
        return {false, {}, QStringLiteral("the keyring did not answer within %1 ms").arg(m_waitMs)};
    return future.get();
}

std::optional<AuthSession> SessionKeychain::load()
{
    const Outcome outcome = run([] {
        auto* job = new QKeychain::ReadPasswordJob(QString::fromLatin1(kService));
        job->setKey(QString());
        return job;
    });
    m_lastError = outcome.error;
    return outcome.ok ? AuthSession::fromJson(outcome.data) : std::nullopt;
}

bool SessionKeychain::save(const AuthSession& session)
{
    const QString json = QString::fromUtf8(session.toJson());
    const Outcome outcome = run([json] {
        auto* job = new QKeychain::WritePasswordJob(QString::fromLatin1(kService));
        job->setKey(QString());
        job->setTextData(json);
        return job;
    });
    m_lastError = outcome.error;
    return outcome.ok;
}

bool SessionKeychain::remove()
{
    const Outcome outcome = run([] {
        auto* job = new QKeychain::DeletePasswordJob(QString::fromLatin1(kService));
        job->setKey(QString());
        return job;
    });
    m_lastError = outcome.error;
    // Nothing stored is as good as removed.
    return outcome.ok || outcome.error.isEmpty();
}
