// What every benchmark measures and prints: elapsed seconds, the peak resident memory of the process, and
// the figure lines "NAME ours=S baseline=S ratio=R".
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace ledrana::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Peak resident memory of this process in megabytes, from the kernel's status file; 0 when it cannot be read.
inline double PeakRssMb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    return 0;
}

inline void Line(const char* name, double ours, double base) {
    std::printf("%s ours=%.3f baseline=%.3f ratio=%.2f\n", name, ours, base, base > 0 ? ours / base : 0.0);
    std::fflush(stdout);
}

} // namespace ledrana::bench
