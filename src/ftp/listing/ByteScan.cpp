#include "ftp/listing/ByteScan.h"

namespace rklisting {
namespace bytescan {

int Spaces::NextBeyond(int pos, bool space) {
    if (pos - base_ < count_) pos = base_ + count_;
    for (; pos < length_; pos = base_ + count_) {
        Load(pos);
        const std::uint64_t wanted = space ? bits_ : ~bits_ & valid_;
        if (wanted != 0) return pos + LowestSet(wanted);
    }
    return length_;
}

void Spaces::Load(int base) {
    base_ = base;
    count_ = length_ - base < 64 ? length_ - base : 64;
    const int count = count_;
    valid_ = count == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
    bits_ = 0;
    int k = 0;
#ifdef RKLISTING_SSE2
    const __m128i spaces = _mm_set1_epi8(' ');
    for (; count - k >= kBlock; k += kBlock) {
        bits_ |= std::uint64_t{Matches(line_ + base + k, spaces)} << k;
    }
    if (k < count && length_ >= kBlock) {
        bits_ |= std::uint64_t{TailMatches(line_, base + k, length_, spaces)} << k;
        return;
    }
#endif
    for (; k < count; ++k) {
        if (line_[base + k] == ' ') bits_ |= std::uint64_t{1} << k;
    }
}

}  // namespace bytescan
}  // namespace rklisting
