#include "crypto/Md5Context.h"

#include <algorithm>
#include <cstring>

namespace vaultpack {
namespace {

constexpr std::uint32_t RotateLeft(std::uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

// Per-step shift amounts and the sine-derived constants.
constexpr int kShift[64] = {
    7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
    5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
    4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
    6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21,
};

constexpr std::uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

std::uint32_t LoadLittleEndian(const unsigned char* bytes) {
    return std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) | (std::uint32_t{bytes[2]} << 16) |
           (std::uint32_t{bytes[3]} << 24);
}

void StoreLittleEndian(std::uint32_t word, unsigned char* bytes) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<unsigned char>(word >> (8 * i));
    }
}

}  // namespace

void Md5Context::Init() {
    state_ = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    count_ = {0, 0};
    buffer_.fill(0);
}

void Md5Context::Update(const unsigned char* data, std::size_t length) {
    std::size_t used = (count_[0] >> 3) & 0x3F;
    const std::uint64_t bits = (std::uint64_t{count_[1]} << 32 | count_[0]) + (std::uint64_t{length} << 3);
    count_[0] = static_cast<std::uint32_t>(bits);
    count_[1] = static_cast<std::uint32_t>(bits >> 32);

    while (length > 0) {
        const std::size_t take = std::min(length, buffer_.size() - used);
        std::memcpy(buffer_.data() + used, data, take);
        used += take;
        data += take;
        length -= take;
        if (used == buffer_.size()) {
            Transform(buffer_.data());
            used = 0;
        }
    }
}

void Md5Context::Final(unsigned char* digest) {
    unsigned char lengthBytes[8];
    StoreLittleEndian(count_[0], lengthBytes);
    StoreLittleEndian(count_[1], lengthBytes + 4);

    // Pad with 0x80 and zeros to 56 bytes modulo 64, then append the bit count.
    static constexpr unsigned char kPadding[64] = {0x80};
    const std::size_t used = (count_[0] >> 3) & 0x3F;
    Update(kPadding, used < 56 ? 56 - used : 120 - used);
    Update(lengthBytes, sizeof lengthBytes);

    for (std::size_t i = 0; i < state_.size(); ++i) {
        StoreLittleEndian(state_[i], digest + 4 * i);
    }
    state_.fill(0);
    count_.fill(0);
    buffer_.fill(0);
}

Md5Context::Digest Md5Context::Of(std::string_view bytes) {
    Md5Context context;
    context.Update(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    Digest digest;
    context.Final(digest.data());
    return digest;
}

void Md5Context::Transform(const unsigned char* block) {
    std::uint32_t words[16];
    for (int i = 0; i < 16; ++i) {
        words[i] = LoadLittleEndian(block + 4 * i);
    }
    std::uint32_t a = state_[0];
    std::uint32_t b = state_[1];
    std::uint32_t c = state_[2];
    std::uint32_t d = state_[3];
    for (int step = 0; step < 64; ++step) {
        std::uint32_t mix;
        int wordIndex;
        if (step < 16) {
            mix = (b & c) | (~b & d);
            wordIndex = step;
        } else if (step < 32) {
            mix = (b & d) | (c & ~d);
            wordIndex = (5 * step + 1) % 16;
        } else if (step < 48) {
            mix = b ^ c ^ d;
            wordIndex = (3 * step + 5) % 16;
        } else {
            mix = c ^ (b | ~d);
            wordIndex = (7 * step) % 16;
        }
        const std::uint32_t rotated = RotateLeft(a + mix + kSine[step] + words[wordIndex], kShift[step]);
        a = d;
        d = c;
        c = b;
        b += rotated;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

}  // namespace vaultpack
