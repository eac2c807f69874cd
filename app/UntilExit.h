#pragma once

#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

/// An object a command needs until its process ends. Its memory is left to the system instead of being freed piece
/// by piece: a build's fold of thousands of logs takes a fifth of a report's time to free, for nothing.
template <typename T, typename... Args> T& untilExit(Args&&... args)
{
    T* object = new T(std::forward<Args>(args)...);
#if defined(__SANITIZE_ADDRESS__)
    __lsan_ignore_object(object);
#endif
    return *object;
}
