#pragma once

#include <mutex>
#include <optional>

/// Spaces out the automatic syncs: a new one may start only when none is in flight and the last one started at
/// least the interval ago, whether it succeeded or not, so that a failing backend is not asked again at every
/// refresh.
class SyncThrottle
{
public:
    /// Marks a sync as started at now and returns true, or returns false when one may not start yet.
    bool tryBegin(double now, double interval);
    /// Marks the sync in flight as finished.
    void finish();
    bool inFlight() const;

private:
    mutable std::mutex m_mutex;
    std::optional<double> m_lastStart;
    bool m_inFlight = false;
};
