#pragma once
#include <cstdio>
#include <cstdlib>

// A broken promise ends the run at once: libFuzzer then keeps the input as a crash, and the corpus
// runner's test fails.
namespace fuzz {

inline void Require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
        std::abort();
    }
}

} // namespace fuzz
