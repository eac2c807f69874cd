#pragma once

#include "app/RefreshPipeline.h"
#include "core/StatsBuilder.h"

#include <optional>

/// The running application's side of the worker thread: one builder for the application's whole life, so that a
/// refresh costs what changed since the last one, with the caches written at most once a minute and when the
/// application quits, rather than at every refresh while an agent is writing.
class StatsWorker
{
public:
    static constexpr double kSaveInterval = 60;
    /// Five quiet minutes: an agent at work changes a log every few seconds.
    static constexpr double kReleaseAfter = 300;

    StatsWorker();

    /// One refresh at the current time.
    RefreshResult build();
    /// Writes what the refreshes left unsaved.
    void flush();

private:
    StatsBuilder m_builder;
    std::optional<Stats> m_latest;
    std::optional<Stats> m_saved;
    double m_lastSave = 0;
};
