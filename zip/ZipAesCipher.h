#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace vaultpack {

// The AES key strengths of the WinZip scheme (the strength byte of extra field 0x9901).
enum class AesStrength : std::uint8_t { Aes128 = 1, Aes192 = 2, Aes256 = 3 };

// 8, 12 or 16 bytes; throws std::invalid_argument for a value outside the enumeration.
std::size_t AesSaltSize(AesStrength strength);
inline constexpr std::size_t kAesVerifierSize = 2;
inline constexpr std::size_t kAesCodeSize = 10;  // the truncated HMAC-SHA1 after the data

// One entry's AES. PBKDF2-HMAC-SHA1 (1,000 iterations) over the password's
// bytes and the salt gives the encryption key, the authentication key (each
// key-size bytes) and the 2-byte verifier, in that order. The data is
// enciphered in CTR mode whose 16-byte counter block is a little-endian
// integer starting at 1, and HMAC-SHA1 runs over the ciphertext. Any split of
// the data into calls gives the same result as one call. A moved-from object
// may only be destroyed or assigned to.
class ZipAesCipher {
public:
    // Throws std::invalid_argument when the salt's size does not fit the
    // strength, std::bad_alloc, or a FailureError (Internal, a
    // std::runtime_error) whose detail names the OpenSSL call that failed.
    ZipAesCipher(std::string_view password, std::span<const unsigned char> salt, AesStrength strength);
    ~ZipAesCipher();
    ZipAesCipher(ZipAesCipher&&) noexcept;
    ZipAesCipher& operator=(ZipAesCipher&&) noexcept;
    ZipAesCipher(const ZipAesCipher&) = delete;
    ZipAesCipher& operator=(const ZipAesCipher&) = delete;

    std::array<unsigned char, kAesVerifierSize> Verifier() const;

    void Encrypt(unsigned char* data, std::size_t size);  // in place; the code covers the output
    void Decrypt(unsigned char* data, std::size_t size);  // in place; the code covers the input

    // The first 10 bytes of the HMAC over everything so far. Call once, at
    // the end: afterwards Encrypt, Decrypt and Code throw std::logic_error.
    std::array<unsigned char, kAesCodeSize> Code();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// A fresh salt from the system's random source (RAND_bytes); throws a
// FailureError (Internal) when the source fails.
std::vector<unsigned char> RandomSalt(AesStrength strength);

}  // namespace vaultpack
