#pragma once

#include "sync/SessionStore.h"

#include <mutex>
#include <string>
#include <vector>

/// A session store in memory for tests: it can be told to fail, and it writes every call into a journal that tests
/// share with their own observers (an onChange that notes "change" shows whether it came after the write).
class MemorySessionStore final : public SessionStore
{
public:
    explicit MemorySessionStore(std::optional<AuthSession> stored = std::nullopt) : m_stored(std::move(stored)) {}

    std::optional<AuthSession> load() override
    {
        note("load");
        return stored();
    }
    bool save(const AuthSession& session) override { return write("save", session); }
    bool remove() override { return write("remove", std::nullopt); }

    QString lastError() const override
    {
        std::lock_guard lock(m_mutex);
        return m_failing ? QStringLiteral("the test store refuses writes") : QString();
    }

    void setFailing(bool failing)
    {
        std::lock_guard lock(m_mutex);
        m_failing = failing;
    }

    std::optional<AuthSession> stored() const
    {
        std::lock_guard lock(m_mutex);
        return m_stored;
    }

    void note(const std::string& event)
    {
        std::lock_guard lock(m_mutex);
        m_journal.push_back(event);
    }

    std::vector<std::string> journal() const
    {
        std::lock_guard lock(m_mutex);
        return m_journal;
    }

private:
    bool write(const std::string& event, const std::optional<AuthSession>& session)
    {
        std::lock_guard lock(m_mutex);
        m_journal.push_back(event);
        if (!m_failing)
            m_stored = session;
        return !m_failing;
    }

    mutable std::mutex m_mutex;
    std::optional<AuthSession> m_stored;
    std::vector<std::string> m_journal;
    bool m_failing = false;
};
