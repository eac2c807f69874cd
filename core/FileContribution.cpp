#include "core/FileContribution.h"

void ModelAcc::add(const ModelAcc& other)
{
    messages += other.messages;
    input += other.input;
    output += other.output;
    cacheRead += other.cacheRead;
    cacheWrite += other.cacheWrite;
}

void FileContribution::noteTimestamp(double t, const std::string& dayKey, int hour)
{
    if (!minTs || *minTs > t)
        minTs = t;
    if (!maxTs || *maxTs < t)
        maxTs = t;
    activeDays.insert(dayKey);
    if (hour >= 0 && hour < 24)
        byHour[static_cast<size_t>(hour)] += 1;
}
