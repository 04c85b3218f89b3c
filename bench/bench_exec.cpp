// Notes the time and becomes the given program, so that the program can
// measure from its own exec: the loader and library start-up count.
//
//   bench_exec PROGRAM [ARGS...]

#include "BenchClock.h"

#include <cstdio>
#include <string>

#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_exec PROGRAM [ARGS...]\n");
        return 2;
    }
    const std::string t0 = std::to_string(bench::MonotonicNs());
    setenv("WENDEL_BENCH_T0", t0.c_str(), 1);
    execv(argv[1], argv + 1);
    std::perror(argv[1]);
    return 127;
}
