// Wall-clock timing for the benchmarks: one run's seconds, and the median of several.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace rkbench {

inline double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace rkbench
