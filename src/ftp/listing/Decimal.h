// The overflow-checked reading of a decimal field of a listing line.
#pragma once

#include <cstdint>

namespace rklisting {

// The value of length decimal digits at text; false (value unspecified) for no digits, any
// other byte, or a value of 2^64 or more.
inline bool ReadDecimal64(const char* text, int length, std::uint64_t& value) {
    if (length <= 0) return false;
    value = 0;
    for (int k = 0; k < length; ++k) {
        const unsigned digit = static_cast<unsigned char>(text[k]) - static_cast<unsigned>('0');
        if (digit > 9 || value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    return true;
}

}  // namespace rklisting
