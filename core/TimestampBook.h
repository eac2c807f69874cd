#pragma once

#include "core/FileContribution.h"
#include "core/TimeKit.h"

#include <string>

/// Books a reader's timestamped lines into its contribution: the time range, the active days and the hours.
class TimestampBook
{
public:
    explicit TimestampBook(FileContribution& out) : m_out(out) {}

    /// Records one line at epoch time t and returns its local day and hour.
    const TimeKit::LocalClock::Slot& note(double t)
    {
        const auto& slot = m_clock.at(t);
        if (!m_out.minTs || *m_out.minTs > t)
            m_out.minTs = t;
        if (!m_out.maxTs || *m_out.maxTs < t)
            m_out.maxTs = t;
        // Lines come in runs of the same day; only a new day is worth a set insertion.
        if (slot.dayKey != m_lastDay) {
            m_out.activeDays.insert(slot.dayKey);
            m_lastDay = slot.dayKey;
        }
        if (slot.hour >= 0 && slot.hour < 24)
            m_out.byHour[static_cast<size_t>(slot.hour)] += 1;
        return slot;
    }

private:
    FileContribution& m_out;
    TimeKit::LocalClock m_clock;
    std::string m_lastDay;
};
