#include "app/StatsWorker.h"

#include "app/LogSettings.h"
#include "core/StatsCache.h"
#include "core/TimeKit.h"

StatsWorker::StatsWorker()
    : m_builder(StatsBuilder::Options{.watch = true, .saveInterval = kSaveInterval, .releaseAfter = kReleaseAfter})
{
}

RefreshResult StatsWorker::build()
{
    const double now = TimeKit::now();
    Stats stats = m_builder.build(LogSettings::locations(), now);
    m_latest = stats;
    if (m_saved != m_latest && (now - m_lastSave >= kSaveInterval || now < m_lastSave)) {
        if (StatsCache::save(stats))
            m_saved = stats;
        m_lastSave = now;
    }
    return {std::move(stats), static_cast<int64_t>(m_builder.lastReport().unreadable.size())};
}

void StatsWorker::flush()
{
    m_builder.flush();
    if (m_latest && m_saved != m_latest && StatsCache::save(*m_latest))
        m_saved = m_latest;
}
