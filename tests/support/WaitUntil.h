#pragma once

#include <chrono>
#include <thread>

/// Waits for a condition that another thread makes true (a completion ran, a request arrived); false when it did
/// not hold within the limit, which only a broken program reaches.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
