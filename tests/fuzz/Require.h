#pragma once

#include <cstdio>
#include <cstdlib>

/// Stops the fuzzer with the broken property named, so that the input is kept as a crash.
inline void require(bool holds, const char* property)
{
    if (holds)
        return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}
