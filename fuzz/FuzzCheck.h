// How a fuzz target reports a property that failed: the message, then an abort,
// which libFuzzer records with the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace fuzzcheck {

[[noreturn]] inline void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz property failed: %s\n", what);
    std::abort();
}

inline void Check(bool ok, const char* what)
{
    if (!ok) Fail(what);
}

}  // namespace fuzzcheck
