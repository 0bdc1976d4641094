// What every benchmark measures and prints: elapsed and processor seconds, the peak resident memory of the
// process, and the figure lines "NAME ours=S baseline=S ratio=R".
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

#include "ledrana_build.h"

namespace ledrana::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Processor seconds this thread has used (user and system): unlike elapsed time, they do not grow with the
// load that other processes put on the machine.
inline double ThreadCpuSeconds() {
    rusage u{};
    if (getrusage(RUSAGE_THREAD, &u) != 0) return 0;
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(u.ru_utime) + seconds(u.ru_stime);
}

// Peak resident memory of this process in megabytes, from the kernel's status file; 0 when it cannot be read.
inline double PeakRssMb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    return 0;
}

// Bytes this process has passed to write calls so far (the kernel's count), whatever became of them; 0
// when the count cannot be read.
inline std::int64_t WrittenBytes() {
    std::ifstream io("/proc/self/io");
    for (std::string line; std::getline(io, line);)
        if (line.rfind("wchar:", 0) == 0) return std::strtoll(line.c_str() + 6, nullptr, 10);
    return 0;
}

inline void Line(const char* name, double ours, double base) {
    std::printf("%s ours=%.3f baseline=%.3f ratio=%.2f\n", name, ours, base, base > 0 ? ours / base : 0.0);
    std::fflush(stdout);
}

// "bench-x 048.5 (build ...)": the benchmark's name, and the release and build it measures.
inline void PrintVersion(const char* argv0) {
    const char* slash = std::strrchr(argv0, '/');
    std::printf("%s %s (build %s)\n", slash ? slash + 1 : argv0, LEDRANA_RELEASE, LEDRANA_BUILD_ID);
}

// The command line of a benchmark whose arguments are all positional, at most `positional` of them: -h or
// --help prints `help` on standard output; an argument that looks like an option, or one too many, prints
// it on standard error. Returns the exit status then (0, or 2), nothing when the benchmark is to run.
inline std::optional<int> HelpOrUsage(int argc, char** argv, const char* help, int positional) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            std::fputs(help, stdout);
            return 0;
        }
        if (a == "--version") {
            PrintVersion(argv[0]);
            return 0;
        }
    }
    bool wrong = argc - 1 > positional;
    for (int i = 1; i < argc; ++i)
        wrong = wrong || (argv[i][0] == '-' && argv[i][1] != '\0');
    if (!wrong) return std::nullopt;
    std::fputs(help, stderr);
    return 2;
}

} // namespace ledrana::bench
