#include "ftp/tree/FileHashes.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "resources/CurlResources.h"

namespace rkcurl {
namespace ftp {

namespace {

inline std::uint32_t RotateLeft(std::uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}
inline std::uint32_t RotateRight(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

// The block hashes share their padding: the message, 0x80, zeros, and the bit length in the
// last 8 bytes of a 64-byte block (big-endian for the SHA family, little-endian for MD5).
class BlockHash {
public:
    virtual ~BlockHash() = default;
    void Update(const unsigned char* data, std::size_t size) {
        m_length += size;
        while (size > 0) {
            const std::size_t take = std::min(size, sizeof m_block - m_used);
            std::copy(data, data + take, m_block + m_used);
            m_used += take;
            data += take;
            size -= take;
            if (m_used == sizeof m_block) {
                Compress(m_block);
                m_used = 0;
            }
        }
    }
    std::string Finish() {
        const std::uint64_t bits = m_length * 8;
        const unsigned char one = 0x80;
        Update(&one, 1);
        const unsigned char zero = 0;
        while (m_used != 56) Update(&zero, 1);
        unsigned char length[8];
        for (int i = 0; i < 8; ++i) {
            const int shift = BigEndian() ? 56 - 8 * i : 8 * i;
            length[i] = static_cast<unsigned char>(bits >> shift);
        }
        Update(length, 8);
        return Digest();
    }

protected:
    virtual bool BigEndian() const = 0;
    virtual void Compress(const unsigned char* block) = 0;
    virtual std::string Digest() const = 0;

    static std::uint32_t Word(const unsigned char* p, bool bigEndian) {
        return bigEndian ? (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                               (std::uint32_t{p[2]} << 8) | p[3]
                         : (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) |
                               (std::uint32_t{p[1]} << 8) | p[0];
    }
    static std::string Hex(const std::uint32_t* words, int count, bool bigEndian) {
        static const char kDigits[] = "0123456789abcdef";
        std::string hex;
        for (int w = 0; w < count; ++w) {
            for (int b = 0; b < 4; ++b) {
                const int shift = bigEndian ? 24 - 8 * b : 8 * b;
                const unsigned byte = (words[w] >> shift) & 0xFF;
                hex += kDigits[byte >> 4];
                hex += kDigits[byte & 15];
            }
        }
        return hex;
    }

private:
    unsigned char m_block[64] = {};
    std::size_t m_used = 0;
    std::uint64_t m_length = 0;
};

class Md5 : public BlockHash {
    bool BigEndian() const override { return false; }
    void Compress(const unsigned char* block) override {
        static const std::uint32_t kK[64] = {
            0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
            0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
            0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
            0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
            0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
            0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
            0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
            0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
            0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
            0xeb86d391};
        static const int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                       5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                       4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                       6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
        std::uint32_t m[16];
        for (int i = 0; i < 16; ++i) m[i] = Word(block + 4 * i, false);
        std::uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
        for (int i = 0; i < 64; ++i) {
            std::uint32_t f;
            int g;
            if (i < 16) {
                f = (b & c) | (~b & d);
                g = i;
            } else if (i < 32) {
                f = (d & b) | (~d & c);
                g = (5 * i + 1) % 16;
            } else if (i < 48) {
                f = b ^ c ^ d;
                g = (3 * i + 5) % 16;
            } else {
                f = c ^ (b | ~d);
                g = (7 * i) % 16;
            }
            const std::uint32_t next = d;
            d = c;
            c = b;
            b = b + RotateLeft(a + f + kK[i] + m[g], kShift[i]);
            a = next;
        }
        m_state[0] += a;
        m_state[1] += b;
        m_state[2] += c;
        m_state[3] += d;
    }
    std::string Digest() const override { return Hex(m_state, 4, false); }
    std::uint32_t m_state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
};

class Sha1 : public BlockHash {
    bool BigEndian() const override { return true; }
    void Compress(const unsigned char* block) override {
        std::uint32_t w[80];
        for (int i = 0; i < 16; ++i) w[i] = Word(block + 4 * i, true);
        for (int i = 16; i < 80; ++i)
            w[i] = RotateLeft(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        std::uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3],
                      e = m_state[4];
        for (int i = 0; i < 80; ++i) {
            std::uint32_t f, k;
            if (i < 20) {
                f = (b & c) | (~b & d);
                k = 0x5a827999;
            } else if (i < 40) {
                f = b ^ c ^ d;
                k = 0x6ed9eba1;
            } else if (i < 60) {
                f = (b & c) | (b & d) | (c & d);
                k = 0x8f1bbcdc;
            } else {
                f = b ^ c ^ d;
                k = 0xca62c1d6;
            }
            const std::uint32_t t = RotateLeft(a, 5) + f + e + k + w[i];
            e = d;
            d = c;
            c = RotateLeft(b, 30);
            b = a;
            a = t;
        }
        m_state[0] += a;
        m_state[1] += b;
        m_state[2] += c;
        m_state[3] += d;
        m_state[4] += e;
    }
    std::string Digest() const override { return Hex(m_state, 5, true); }
    std::uint32_t m_state[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};
};

class Sha256 : public BlockHash {
    bool BigEndian() const override { return true; }
    void Compress(const unsigned char* block) override {
        static const std::uint32_t kK[64] = {
            0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
            0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
            0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
            0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
            0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
            0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
            0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
            0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
            0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
            0xc67178f2};
        std::uint32_t w[64];
        for (int i = 0; i < 16; ++i) w[i] = Word(block + 4 * i, true);
        for (int i = 16; i < 64; ++i) {
            const std::uint32_t s0 =
                RotateRight(w[i - 15], 7) ^ RotateRight(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const std::uint32_t s1 =
                RotateRight(w[i - 2], 17) ^ RotateRight(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        std::uint32_t v[8];
        std::copy(m_state, m_state + 8, v);
        for (int i = 0; i < 64; ++i) {
            const std::uint32_t s1 =
                RotateRight(v[4], 6) ^ RotateRight(v[4], 11) ^ RotateRight(v[4], 25);
            const std::uint32_t ch = (v[4] & v[5]) ^ (~v[4] & v[6]);
            const std::uint32_t t1 = v[7] + s1 + ch + kK[i] + w[i];
            const std::uint32_t s0 =
                RotateRight(v[0], 2) ^ RotateRight(v[0], 13) ^ RotateRight(v[0], 22);
            const std::uint32_t maj = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
            const std::uint32_t t2 = s0 + maj;
            for (int j = 7; j > 0; --j) v[j] = v[j - 1];
            v[4] += t1;
            v[0] = t1 + t2;
        }
        for (int i = 0; i < 8; ++i) m_state[i] += v[i];
    }
    std::string Digest() const override { return Hex(m_state, 8, true); }
    std::uint32_t m_state[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
};

// CRC-32 of zip and of XCRC (reflected polynomial 0xEDB88320).
class Crc32 {
public:
    void Update(const unsigned char* data, std::size_t size) {
        static const std::array<std::uint32_t, 256> kTable = [] {
            std::array<std::uint32_t, 256> table{};
            for (std::uint32_t n = 0; n < 256; ++n) {
                std::uint32_t c = n;
                for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
                table[n] = c;
            }
            return table;
        }();
        for (std::size_t i = 0; i < size; ++i)
            m_crc = kTable[(m_crc ^ data[i]) & 0xFF] ^ (m_crc >> 8);
    }
    std::string Finish() const {
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(m_crc ^ 0xFFFFFFFFu));
        return hex;
    }

private:
    std::uint32_t m_crc = 0xFFFFFFFFu;
};

// Feeds the hash of kind with read() until it returns 0 bytes.
template <typename Read>
std::string Compute(HashKind kind, Read read) {
    std::vector<unsigned char> buffer(256 * 1024);
    if (kind == HashKind::Crc32) {
        Crc32 crc;
        for (std::size_t n; (n = read(buffer.data(), buffer.size())) > 0;)
            crc.Update(buffer.data(), n);
        return crc.Finish();
    }
    std::unique_ptr<BlockHash> hash;
    if (kind == HashKind::Md5) hash = std::make_unique<Md5>();
    if (kind == HashKind::Sha1) hash = std::make_unique<Sha1>();
    if (kind == HashKind::Sha256) hash = std::make_unique<Sha256>();
    for (std::size_t n; (n = read(buffer.data(), buffer.size())) > 0;)
        hash->Update(buffer.data(), n);
    return hash->Finish();
}

}  // namespace

std::string HashBytes(const std::string& data, HashKind kind) {
    std::size_t offset = 0;
    return Compute(kind, [&](unsigned char* out, std::size_t size) {
        const std::size_t n = std::min(size, data.size() - offset);
        std::copy(data.begin() + static_cast<std::ptrdiff_t>(offset),
                  data.begin() + static_cast<std::ptrdiff_t>(offset + n), out);
        offset += n;
        return n;
    });
}

bool HashFile(const std::wstring& path, HashKind kind, std::string& hex) {
    FileStream file;
    if (!file.Open(path.c_str(), L"rb")) return false;
    bool failed = false;
    hex = Compute(kind, [&](unsigned char* out, std::size_t size) {
        const std::size_t n = std::fread(out, 1, size, file.Get());
        if (n == 0 && std::ferror(file.Get()) != 0) failed = true;
        return n;
    });
    return !failed;
}

}  // namespace ftp
}  // namespace rkcurl
