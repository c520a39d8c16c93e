// The space-separated tokens of a Unix listing line, found with bit masks.
//
// A token is a run of non-space bytes ended by a space. The positions of the spaces in 64
// bytes of the line are taken at once (sixteen bytes per step with SSE2), and from them the
// bytes that start a token (a non-space after a space) and the bytes that end one (a space
// after a non-space). Each token then costs two bit look-ups instead of a byte loop, and the
// tokens of a line do not wait on each other. No load reaches outside line[0 .. length-1].
#pragma once

#include <cstdint>

namespace rklisting {

class SpaceTokens {
public:
    // line[0] must not be a space: it starts the first token.
    SpaceTokens(const char* line, int length);

    // Moves to the next token; false when the line ends before a space closes it.
    bool Next() {
        if (!HaveStart()) return false;
        start_ = base_ + LowestSet(starts_);
        starts_ &= starts_ - 1;
        if (!HaveEnd()) return false;
        end_ = base_ + LowestSet(ends_);
        ends_ &= ends_ - 1;
        return true;
    }

    const char* Token() const { return line_ + start_; }
    int Size() const { return end_ - start_; }
    // Position of the space that ends the current token.
    int End() const { return end_; }

private:
    bool HaveStart() { return starts_ != 0 || NextWindowWith(starts_); }
    bool HaveEnd() { return ends_ != 0 || NextWindowWith(ends_); }
    // Moves to the following windows until `bits` is not empty; false at the end of the line.
    bool NextWindowWith(const std::uint64_t& bits);
    // Takes the (up to) 64 bytes from base.
    void Load(int base);

    static int LowestSet(std::uint64_t bits) {
#if defined(__GNUC__)
        return __builtin_ctzll(bits);
#else
        int k = 0;
        for (; (bits & 1u) == 0; bits >>= 1) ++k;
        return k;
#endif
    }

    const char* line_;
    int length_;
    int base_ = 0;              // first position of the window
    int count_ = 0;             // bytes in the window: 64, fewer at the end of the line
    std::uint64_t starts_ = 0;  // bit k: a token starts at base_ + k, not yet taken
    std::uint64_t ends_ = 0;    // bit k: a token ends at base_ + k, not yet taken
    int start_ = 0;
    int end_ = 0;
};

}  // namespace rklisting
