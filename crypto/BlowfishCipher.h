#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "crypto/BlowfishTables.h"

namespace vaultpack {

// One 64-bit block as two 32-bit halves; in a byte buffer `left` is bytes 0-3
// and `right` bytes 4-7, each most significant byte first.
struct CipherBlock {
    std::uint32_t left = 0;
    std::uint32_t right = 0;
};

// Buffer modes, passed as an integer; any value other than Cbc or Cfb is ECB.
enum CipherMode : int {
    kCipherModeEcb = 0,
    kCipherModeCbc = 1,
    kCipherModeCfb = 2,
};

// Blowfish with 16 rounds and a key of 1 to 56 bytes (longer keys are cut to
// their first 56 bytes). Each object holds its own keyed tables, so objects on
// different threads never interfere.
class BlowfishCipher {
public:
    static constexpr std::size_t kBlockSize = 8;
    static constexpr unsigned kMaxKeyLength = 56;

    // Throws std::invalid_argument("Incorrect key length") when keyLength is 0.
    BlowfishCipher(const unsigned char* key, unsigned keyLength, CipherBlock chain = {});

    // Encipher or decipher `length` bytes from `in` into `out` (which may be
    // the same buffer). `length` must be a non-zero multiple of 8, otherwise
    // std::invalid_argument("Incorrect buffer length") is thrown and `out` is
    // untouched. CBC and CFB start every call from the chain block given at
    // construction; a chain never carries over from one call to the next.
    void Encrypt(const unsigned char* in, unsigned char* out, std::size_t length, int mode) const;
    void Decrypt(const unsigned char* in, unsigned char* out, std::size_t length, int mode) const;

    void EncryptBlock(CipherBlock& block) const;
    void DecryptBlock(CipherBlock& block) const;
    std::uint32_t RoundFunction(std::uint32_t x) const;

    static CipherBlock LoadBlock(const unsigned char* bytes);
    static void StoreBlock(const CipherBlock& block, unsigned char* bytes);

private:
    void EncryptEcb(const unsigned char* in, unsigned char* out, std::size_t length) const;
    void DecryptEcb(const unsigned char* in, unsigned char* out, std::size_t length) const;

    CipherBlock chain_;
    std::array<std::uint32_t, kBlowfishRounds + 2> p_;
    std::array<std::array<std::uint32_t, 256>, 4> s_;
};

}  // namespace vaultpack
