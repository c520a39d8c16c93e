// FILETIME counts 100-nanosecond ticks since 1601-01-01 UTC; the C runtime counts seconds
// since 1970-01-01 UTC.
#pragma once

#include <cstdint>

namespace rkplatform {

constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kDaysFrom1601To1970 = 134774;
constexpr std::int64_t kSecondsFrom1601To1970 = kDaysFrom1601To1970 * 86400;

}  // namespace rkplatform
