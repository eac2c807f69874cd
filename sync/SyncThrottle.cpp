#include "sync/SyncThrottle.h"

bool SyncThrottle::tryBegin(double now, double interval)
{
    std::lock_guard lock(m_mutex);
    // A start ahead of the clock (which was set back) holds nothing back: the last sync's own time still does.
    if (m_lastStart && *m_lastStart > now)
        m_lastStart.reset();
    if (m_inFlight || (m_lastStart && now - *m_lastStart < interval))
        return false;
    m_lastStart = now;
    m_inFlight = true;
    return true;
}

void SyncThrottle::finish()
{
    std::lock_guard lock(m_mutex);
    m_inFlight = false;
}

bool SyncThrottle::inFlight() const
{
    std::lock_guard lock(m_mutex);
    return m_inFlight;
}
