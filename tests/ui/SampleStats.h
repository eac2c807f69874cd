#pragma once

#include "core/Stats.h"

/// Figures with every kind of value the overlay and the card show, for the render tests.
inline Stats sampleStats()
{
    Stats s;
    s.since = "2025-03-07";
    s.until = "2025-12-31";
    s.todayLinesAdded = 12345;
    s.todayCost = 3.5;
    s.streakCurrent = -1;
    s.streakLongest = 12;
    s.linesAdded = 1000;
    s.linesRemoved = 500;
    s.cost = 1530;
    s.tokensIn = 1.2e6;
    s.tokensOut = 3e5;
    s.sessions = 42;
    return s;
}
