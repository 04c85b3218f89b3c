#pragma once

// Shared by the benchmark programs: the launch time handed down by
// bench_exec, and the process's own peak memory.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

namespace bench {

inline long long MonotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Milliseconds since bench_exec replaced itself with this program; -1 when
// not started through it.
inline double MsSinceExec()
{
    const char* t0 = std::getenv("WENDEL_BENCH_T0");
    if (t0 == nullptr || *t0 == '\0') return -1;
    return static_cast<double>(MonotonicNs() - std::atoll(t0)) / 1e6;
}

// VmHWM of this process in kB, from /proc: the peak resident set so far.
inline long PeakRssKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return -1;
}

} // namespace bench
