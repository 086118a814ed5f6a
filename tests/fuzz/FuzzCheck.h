#pragma once
#include <cstdio>
#include <cstdlib>

// A broken promise ends the run at once: libFuzzer keeps the input, the corpus test fails.
inline void Require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
        std::abort();
    }
}
