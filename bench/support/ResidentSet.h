// The resident set of this process as Linux reports it, for the benchmarks' memory figures.
#pragma once

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace rkbench {

// A field of /proc/self/status in KiB ("VmRSS:" the resident set now, "VmHWM:" its peak).
inline long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, length, field) == 0) return std::atol(line.c_str() + length);
    }
    return 0;
}

// Makes the peak the current resident set, and returns that.
inline long ResetPeakKiB() {
    std::ofstream("/proc/self/clear_refs") << "5";
    return StatusKiB("VmRSS:");
}

inline long PeakKiB() {
    return StatusKiB("VmHWM:");
}

}  // namespace rkbench
