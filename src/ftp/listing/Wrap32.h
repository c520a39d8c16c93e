// 32-bit two's-complement arithmetic that wraps instead of overflowing.
//
// The listing fields are read without any range check, so sums and products of their values
// may leave the int32 range; the results must wrap, as they do on the servers' own 32-bit
// arithmetic, and never be undefined behaviour.
#pragma once

#include <cstdint>

namespace rklisting {
namespace wrap32 {

inline std::int32_t Add(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

inline std::int32_t Sub(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

inline std::int32_t Mul(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

}  // namespace wrap32
}  // namespace rklisting
