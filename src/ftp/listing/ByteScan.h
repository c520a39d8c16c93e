// Byte searches within a listing line, sixteen bytes at a time where SSE2 is there.
//
// Listing lines are short runs of fields and padding. Testing sixteen bytes per step, and
// for the Unix form keeping the space positions of 64 bytes as one bit mask, keeps the
// parser's loops short and their branches predictable. No load ever reaches outside
// line[0 .. length-1]: a block that would cross the end is loaded so that it ends exactly at
// the end (overlapping bytes already seen), and lines shorter than a block go byte by byte.
#pragma once

#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define RKLISTING_SSE2 1
#endif

namespace rklisting {
namespace bytescan {

#ifdef RKLISTING_SSE2
constexpr int kBlock = 16;

// Bit k set when block[k] equals the byte of pattern.
inline std::uint32_t Matches(const char* block, __m128i pattern) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, pattern)));
}

inline int LowestBit(std::uint64_t bits) {
#if defined(_MSC_VER) && !defined(__clang__)
    unsigned long index;
    _BitScanForward64(&index, bits);
    return static_cast<int>(index);
#else
    return __builtin_ctzll(bits);
#endif
}

// Bit k set when line[from + k] is c, for the count < 16 bytes from `from` to the end of a
// line of at least 16 bytes: the block is loaded so that it ends at the line's last byte.
inline std::uint32_t TailMatches(const char* line, int from, int length, __m128i pattern) {
    const int count = length - from;
    return Matches(line + length - kBlock, pattern) >> (kBlock - count);
}
#endif

// First position from pos whose byte is c, or length (pos may be past length).
inline int Find(const char* line, int pos, int length, char c) {
#ifdef RKLISTING_SSE2
    const __m128i pattern = _mm_set1_epi8(c);
    for (; length - pos >= kBlock; pos += kBlock) {
        const std::uint32_t hits = Matches(line + pos, pattern);
        if (hits != 0) return pos + LowestBit(hits);
    }
    if (pos < length && length >= kBlock) {
        const std::uint32_t hits = TailMatches(line, pos, length, pattern);
        return hits != 0 ? pos + LowestBit(hits) : length;
    }
#endif
    while (pos < length && line[pos] != c) ++pos;
    return pos;
}

// First position from pos whose byte is a or b, or length.
inline int FindEither(const char* line, int pos, int length, char a, char b) {
#ifdef RKLISTING_SSE2
    const __m128i patternA = _mm_set1_epi8(a);
    const __m128i patternB = _mm_set1_epi8(b);
    for (; length - pos >= kBlock; pos += kBlock) {
        const std::uint32_t hits = Matches(line + pos, patternA) | Matches(line + pos, patternB);
        if (hits != 0) return pos + LowestBit(hits);
    }
    if (pos < length && length >= kBlock) {
        const std::uint32_t hits =
            TailMatches(line, pos, length, patternA) | TailMatches(line, pos, length, patternB);
        return hits != 0 ? pos + LowestBit(hits) : length;
    }
#endif
    while (pos < length && line[pos] != a && line[pos] != b) ++pos;
    return pos;
}

// First position from pos whose byte is not c, or length.
inline int Skip(const char* line, int pos, int length, char c) {
#ifdef RKLISTING_SSE2
    const __m128i pattern = _mm_set1_epi8(c);
    for (; length - pos >= kBlock; pos += kBlock) {
        const std::uint32_t others = ~Matches(line + pos, pattern) & 0xFFFFu;
        if (others != 0) return pos + LowestBit(others);
    }
    if (pos < length && length >= kBlock) {
        const int count = length - pos;
        const std::uint32_t others =
            ~TailMatches(line, pos, length, pattern) & ((1u << count) - 1u);
        return others != 0 ? pos + LowestBit(others) : length;
    }
#endif
    while (pos < length && line[pos] == c) ++pos;
    return pos;
}

// The positions of spaces in a line, 64 bytes at a time, for walking its space-separated
// tokens with bit operations instead of byte loops.
class Spaces {
public:
    Spaces(const char* line, int length) : line_(line), length_(length) { Load(0); }

    // First position from pos whose byte is a space, or length.
    int NextSpace(int pos) {
        if (pos - base_ < count_) {
            const std::uint64_t wanted = bits_ >> (pos - base_);
            if (wanted != 0) return pos + LowestSet(wanted);
        }
        return NextBeyond(pos, true);
    }
    // First position from pos whose byte is not a space, or length.
    int NextOther(int pos) {
        if (pos - base_ < count_) {
            const std::uint64_t wanted = (~bits_ & valid_) >> (pos - base_);
            if (wanted != 0) return pos + LowestSet(wanted);
        }
        return NextBeyond(pos, false);
    }

private:
    // The search of NextSpace or NextOther once the bytes held have no answer. Out of line,
    // so that the common case above stays small enough to inline.
    int NextBeyond(int pos, bool space);
    // Takes the (up to) 64 bytes from base.
    void Load(int base);

    static int LowestSet(std::uint64_t bits) {
#ifdef RKLISTING_SSE2
        return LowestBit(bits);
#else
        int k = 0;
        while ((bits & 1u) == 0) {
            bits >>= 1;
            ++k;
        }
        return k;
#endif
    }

    const char* line_;
    int length_;
    int base_ = 0;
    int count_ = 0;            // bytes held, 64 except at the end of the line
    std::uint64_t bits_ = 0;   // bit k: line[base_ + k] is a space
    std::uint64_t valid_ = 0;  // bit k: base_ + k < length
};

}  // namespace bytescan
}  // namespace rklisting
