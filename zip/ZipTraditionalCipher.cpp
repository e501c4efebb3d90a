#include "zip/ZipTraditionalCipher.h"

#include <openssl/crypto.h>

namespace vaultpack {
namespace {

// The CRC-32 table of the reflected polynomial 0xEDB88320, one step a byte.
constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit) {
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

constexpr std::uint32_t CrcStep(std::uint32_t crc, unsigned char byte) {
    return (crc >> 8) ^ kCrcTable[(crc ^ byte) & 0xff];
}

// The three keys as locals for the length of one call: the data's bytes may
// alias the object's own keys, which would keep them out of registers.
struct Keys {
    std::uint32_t k0, k1, k2;

    explicit Keys(const std::array<std::uint32_t, 3>& from) : k0(from[0]), k1(from[1]), k2(from[2]) {}
    void StoreIn(std::array<std::uint32_t, 3>& to) const { to = {k0, k1, k2}; }

    void Update(unsigned char plain) {
        k0 = CrcStep(k0, plain);
        k1 = (k1 + (k0 & 0xff)) * 134775813u + 1;
        k2 = CrcStep(k2, static_cast<unsigned char>(k1 >> 24));
    }
    unsigned char StreamByte() const {
        const std::uint32_t temp = (k2 & 0xffff) | 2;
        return static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
    }
};

}  // namespace

ZipTraditionalCipher::ZipTraditionalCipher(std::string_view password) {
    Keys keys(keys_);
    for (const char c : password) {
        keys.Update(static_cast<unsigned char>(c));
    }
    keys.StoreIn(keys_);
    OPENSSL_cleanse(&keys, sizeof keys);
}

ZipTraditionalCipher::~ZipTraditionalCipher() {
    OPENSSL_cleanse(keys_.data(), sizeof keys_);
}

void ZipTraditionalCipher::Decrypt(unsigned char* data, std::size_t size) {
    Keys keys(keys_);
    for (std::size_t i = 0; i < size; ++i) {
        data[i] ^= keys.StreamByte();
        keys.Update(data[i]);
    }
    keys.StoreIn(keys_);
}

void ZipTraditionalCipher::Encrypt(unsigned char* data, std::size_t size) {
    Keys keys(keys_);
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char stream = keys.StreamByte();
        keys.Update(data[i]);
        data[i] ^= stream;
    }
    keys.StoreIn(keys_);
}

}  // namespace vaultpack
