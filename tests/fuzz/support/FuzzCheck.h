#pragma once

#include <cstdio>
#include <cstdlib>

namespace wendel::fuzzing {

// A broken property: libFuzzer keeps the input that reached the abort as a
// crash artifact, and the message says which property broke.
inline void Check(bool ok, const char* what)
{
    if (ok) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

} // namespace wendel::fuzzing
