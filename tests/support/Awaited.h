#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>

/// The value of a completion that runs on some thread, once.
template <typename T> class Awaited
{
public:
    /// The completion to hand to the operation.
    std::function<void(const T&)> callback() const
    {
        return [promise = m_promise](const T& value) { promise->set_value(value); };
    }

    /// The value, once the completion ran; absent when it did not run within the limit.
    std::optional<T> get(std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        if (!m_value && m_future.wait_for(limit) == std::future_status::ready)
            m_value = m_future.get();
        return m_value;
    }

private:
    std::shared_ptr<std::promise<T>> m_promise = std::make_shared<std::promise<T>>();
    std::future<T> m_future = m_promise->get_future();
    std::optional<T> m_value;
};
