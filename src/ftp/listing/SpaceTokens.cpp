#include "ftp/listing/SpaceTokens.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define RKLISTING_SSE2 1
#endif

namespace rklisting {
namespace {

#ifdef RKLISTING_SSE2
// Bit k set when block[k] is a space, for the sixteen bytes of block.
std::uint64_t SpacesIn16(const char* block) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
    const __m128i spaces = _mm_set1_epi8(' ');
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, spaces)));
}
#endif

// Bit k set when line[base + k] is a space, for the count <= 64 bytes from base.
std::uint64_t SpacesIn(const char* line, int length, int base, int count) {
    std::uint64_t bits = 0;
    int k = 0;
#ifdef RKLISTING_SSE2
    for (; count - k >= 16; k += 16) bits |= SpacesIn16(line + base + k) << k;
    if (k < count && length >= 16) {
        // The last few bytes: a block that ends at the line's last byte, shifted down so that
        // only the bytes not yet seen remain.
        const int rest = count - k;
        return bits | (SpacesIn16(line + length - 16) >> (16 - rest)) << k;
    }
#else
    (void)length;
#endif
    for (; k < count; ++k) {
        if (line[base + k] == ' ') bits |= std::uint64_t{1} << k;
    }
    return bits;
}

}  // namespace

SpaceTokens::SpaceTokens(const char* line, int length) : line_(line), length_(length) {
    Load(0);
}

void SpaceTokens::Load(int base) {
    base_ = base;
    count_ = length_ - base < 64 ? length_ - base : 64;
    const std::uint64_t valid = count_ == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count_) - 1;
    const std::uint64_t spaces = SpacesIn(line_, length_, base, count_);
    // Bit k: the byte before base + k is a space. Before the line counts as a space, so that
    // line[0] starts the first token.
    const std::uint64_t spaceBefore = spaces << 1 | (base == 0 || line_[base - 1] == ' ');
    starts_ = ~spaces & valid & spaceBefore;
    ends_ = spaces & ~spaceBefore;
}

bool SpaceTokens::NextWindowWith(const std::uint64_t& bits) {
    while (bits == 0) {
        if (length_ - base_ <= count_) return false;  // this window reaches the end
        Load(base_ + count_);
    }
    return true;
}

}  // namespace rklisting
