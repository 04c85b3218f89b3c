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

// A "Name:  N kB" line of /proc/self/status in kB; -1 when missing.
inline long StatusKb(const char* name)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(name);
    while (std::getline(status, line)) {
        if (line.compare(0, length, name) == 0 && line.size() > length && line[length] == ':') {
            return std::atol(line.c_str() + length + 1);
        }
    }
    return -1;
}

// The peak resident set so far.
inline long PeakRssKb() { return StatusKb("VmHWM"); }

// Resident memory of this process alone: heap, stacks, relocated library
// data; what the machine pays for this process and no other.
inline long PrivateRssKb() { return StatusKb("RssAnon"); }

} // namespace bench
