#include "crypto/BlowfishCipher.h"

#include <algorithm>
#include <stdexcept>

#include "crypto/BlowfishWideEcb.h"

namespace vaultpack {
namespace {

using PArray = std::array<std::uint32_t, kBlowfishRounds + 2>;
using SBoxes = std::array<std::array<std::uint32_t, 256>, 4>;

inline std::uint32_t F(const SBoxes& s, std::uint32_t x) {
    return ((s[0][x >> 24] + s[1][(x >> 16) & 0xFF]) ^ s[2][(x >> 8) & 0xFF]) + s[3][x & 0xFF];
}

inline std::uint32_t LoadWord(const unsigned char* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

inline void StoreWord(std::uint32_t word, unsigned char* bytes) {
    bytes[0] = static_cast<unsigned char>(word >> 24);
    bytes[1] = static_cast<unsigned char>(word >> 16);
    bytes[2] = static_cast<unsigned char>(word >> 8);
    bytes[3] = static_cast<unsigned char>(word);
}

// Runs the 16 rounds over `Lanes` independent blocks at once. The round
// function is a chain of dependent table look-ups; interleaving several blocks
// lets the processor overlap those chains, which is where ECB gets its speed.
// `order` lists the P-array indices in the order the rounds use them (forward
// to encipher, backward to decipher).
template <std::size_t Lanes>
inline void CipherLanes(const std::uint32_t* order, const SBoxes& s, const unsigned char* in,
                        unsigned char* out) {
    std::uint32_t l[Lanes];
    std::uint32_t r[Lanes];
    for (std::size_t k = 0; k < Lanes; ++k) {
        l[k] = LoadWord(in + 8 * k);
        r[k] = LoadWord(in + 8 * k + 4);
    }
    // Two rounds per step, with the halves' roles exchanged instead of swapped.
    for (int round = 0; round < kBlowfishRounds; round += 2) {
        const std::uint32_t first = order[round];
        const std::uint32_t second = order[round + 1];
        for (std::size_t k = 0; k < Lanes; ++k) {
            l[k] ^= first;
            r[k] ^= F(s, l[k]);
        }
        for (std::size_t k = 0; k < Lanes; ++k) {
            r[k] ^= second;
            l[k] ^= F(s, r[k]);
        }
    }
    const std::uint32_t finalLeft = order[kBlowfishRounds + 1];
    const std::uint32_t finalRight = order[kBlowfishRounds];
    for (std::size_t k = 0; k < Lanes; ++k) {
        StoreWord(r[k] ^ finalLeft, out + 8 * k);
        StoreWord(l[k] ^ finalRight, out + 8 * k + 4);
    }
}

constexpr std::size_t kLanes = 8;

void CipherEcb(const std::uint32_t* order, const SBoxes& s, const unsigned char* in, unsigned char* out,
               std::size_t length) {
    const std::size_t groupBytes = kLanes * BlowfishCipher::kBlockSize;
    const std::uint32_t* const sboxes[4] = {s[0].data(), s[1].data(), s[2].data(), s[3].data()};
    std::size_t offset = BlowfishWideEcb(order, sboxes, in, out, length);
    for (; offset + groupBytes <= length; offset += groupBytes) {
        CipherLanes<kLanes>(order, s, in + offset, out + offset);
    }
    for (; offset < length; offset += BlowfishCipher::kBlockSize) {
        CipherLanes<1>(order, s, in + offset, out + offset);
    }
}

PArray Reversed(const PArray& p) {
    PArray reversed = p;
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

void CheckBufferLength(std::size_t length) {
    if (length == 0 || length % BlowfishCipher::kBlockSize != 0) {
        throw std::invalid_argument("Incorrect buffer length");
    }
}

void XorInto(CipherBlock& block, const CipherBlock& other) {
    block.left ^= other.left;
    block.right ^= other.right;
}

}  // namespace

BlowfishCipher::BlowfishCipher(const unsigned char* key, unsigned keyLength, CipherBlock chain) {
    if (keyLength == 0) {
        throw std::invalid_argument("Incorrect key length");
    }
    keyLength = std::min(keyLength, kMaxKeyLength);
    chain_ = chain;
    p_ = kBlowfishInitialP;
    s_ = kBlowfishInitialS;

    // The key bytes, taken in a cycle, are packed big-endian into words and
    // mixed into the P-array.
    unsigned keyIndex = 0;
    for (auto& entry : p_) {
        std::uint32_t word = 0;
        for (int i = 0; i < 4; ++i) {
            word = (word << 8) | key[keyIndex];
            keyIndex = (keyIndex + 1) % keyLength;
        }
        entry ^= word;
    }

    // Each table entry pair takes the encryption of the previous pair,
    // starting from an all-zero block; later steps use the tables as updated.
    CipherBlock block;
    for (std::size_t i = 0; i < p_.size(); i += 2) {
        EncryptBlock(block);
        p_[i] = block.left;
        p_[i + 1] = block.right;
    }
    for (auto& box : s_) {
        for (std::size_t i = 0; i < box.size(); i += 2) {
            EncryptBlock(block);
            box[i] = block.left;
            box[i + 1] = block.right;
        }
    }
}

std::uint32_t BlowfishCipher::RoundFunction(std::uint32_t x) const {
    return F(s_, x);
}

void BlowfishCipher::EncryptBlock(CipherBlock& block) const {
    std::uint32_t left = block.left;
    std::uint32_t right = block.right;
    for (int i = 0; i < kBlowfishRounds; ++i) {
        left ^= p_[i];
        right ^= F(s_, left);
        std::swap(left, right);
    }
    std::swap(left, right);
    right ^= p_[kBlowfishRounds];
    left ^= p_[kBlowfishRounds + 1];
    block = {left, right};
}

void BlowfishCipher::DecryptBlock(CipherBlock& block) const {
    std::uint32_t left = block.left;
    std::uint32_t right = block.right;
    for (int i = kBlowfishRounds + 1; i > 1; --i) {
        left ^= p_[i];
        right ^= F(s_, left);
        std::swap(left, right);
    }
    std::swap(left, right);
    right ^= p_[1];
    left ^= p_[0];
    block = {left, right};
}

CipherBlock BlowfishCipher::LoadBlock(const unsigned char* bytes) {
    return {LoadWord(bytes), LoadWord(bytes + 4)};
}

void BlowfishCipher::StoreBlock(const CipherBlock& block, unsigned char* bytes) {
    StoreWord(block.left, bytes);
    StoreWord(block.right, bytes + 4);
}

void BlowfishCipher::EncryptEcb(const unsigned char* in, unsigned char* out, std::size_t length) const {
    CipherEcb(p_.data(), s_, in, out, length);
}

void BlowfishCipher::DecryptEcb(const unsigned char* in, unsigned char* out, std::size_t length) const {
    const PArray reversed = Reversed(p_);
    CipherEcb(reversed.data(), s_, in, out, length);
}

void BlowfishCipher::Encrypt(const unsigned char* in, unsigned char* out, std::size_t length, int mode) const {
    CheckBufferLength(length);
    if (mode != kCipherModeCbc && mode != kCipherModeCfb) {
        EncryptEcb(in, out, length);
        return;
    }
    CipherBlock chain = chain_;
    for (std::size_t offset = 0; offset < length; offset += kBlockSize) {
        CipherBlock block = LoadBlock(in + offset);
        if (mode == kCipherModeCbc) {
            XorInto(block, chain);
            EncryptBlock(block);
        } else {
            EncryptBlock(chain);
            XorInto(block, chain);
        }
        chain = block;
        StoreBlock(block, out + offset);
    }
}

void BlowfishCipher::Decrypt(const unsigned char* in, unsigned char* out, std::size_t length, int mode) const {
    CheckBufferLength(length);
    if (mode != kCipherModeCbc && mode != kCipherModeCfb) {
        DecryptEcb(in, out, length);
        return;
    }
    CipherBlock chain = chain_;
    for (std::size_t offset = 0; offset < length; offset += kBlockSize) {
        const CipherBlock cipherText = LoadBlock(in + offset);
        CipherBlock block = cipherText;
        if (mode == kCipherModeCbc) {
            DecryptBlock(block);
        } else {
            EncryptBlock(chain);
        }
        XorInto(block, chain);
        chain = cipherText;
        StoreBlock(block, out + offset);
    }
}

}  // namespace vaultpack
