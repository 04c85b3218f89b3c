#pragma once

#include "support/TempFolder.h"

#include <cstdio>
#include <cstring>
#include <random>

namespace wendel::fuzzing {

// A broken property: libFuzzer keeps the input that reached the abort, and the message says which property broke.
inline void Check(bool ok, const char* what)
{
    if (ok) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

// An input read as N control bytes (zero where it is shorter) and the rest.
template <std::size_t N>
struct Input {
    Input(const std::uint8_t* data, std::size_t size)
    {
        std::memcpy(control, data, std::min(size, N));
        if (size > N) rest.assign(reinterpret_cast<const char*>(data) + N, size - N);
    }
    // The random numbers the four control bytes from `at` seed.
    std::minstd_rand Random(std::size_t at) const
    {
        std::seed_seq seed(control + at, control + at + 4);
        return std::minstd_rand(seed);
    }

    std::uint8_t control[N] = {};
    std::string rest;
};

// One folder for the whole run: making one per input would cost more than the input.
inline const testing::TempFolder& ScratchFolder()
{
    static const testing::TempFolder folder;
    return folder;
}

} // namespace wendel::fuzzing
