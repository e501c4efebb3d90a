#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vaultpack {

// The 12 bytes that precede an entry's data under this cipher.
inline constexpr std::size_t kTraditionalHeaderSize = 12;

// The traditional PKWARE stream cipher of ZIP entries. Three 32-bit keys start
// from fixed values and are stirred by each password byte, then by each
// plaintext byte; each data byte is XORed with a byte drawn from the third
// key. It is weak and is only read by the program; Encrypt is for tests and
// tools. Any split of the data into calls gives the same result as one call.
class ZipTraditionalCipher {
public:
    explicit ZipTraditionalCipher(std::string_view password);
    ~ZipTraditionalCipher();  // wipes the keys
    ZipTraditionalCipher(const ZipTraditionalCipher&) = delete;
    ZipTraditionalCipher& operator=(const ZipTraditionalCipher&) = delete;

    void Decrypt(unsigned char* data, std::size_t size);  // in place
    void Encrypt(unsigned char* data, std::size_t size);  // in place

private:
    std::array<std::uint32_t, 3> keys_{0x12345678, 0x23456789, 0x34567890};
};

}  // namespace vaultpack
