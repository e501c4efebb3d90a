#pragma once

#include <cstddef>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <span>
#include <string_view>

#include "zip/EntryProtection.h"
#include "zip/ZipAesCipher.h"
#include "zip/ZipTraditionalCipher.h"

namespace vaultpack {

// Decrypts one entry's data as it is read: opened with the password and the
// bytes in front of the data, fed the encrypted data in order, then checked
// against the bytes after it. One per entry and thread.
class EntryDecryptor {
public:
    // Nothing when the password does not open the entry (the verifier or the
    // check byte differ). Throws what the ciphers throw.
    static std::optional<EntryDecryptor> Open(const EntryProtection& protection, std::string_view password,
                                              std::span<const unsigned char> header);

    void Decrypt(unsigned char* data, std::size_t size);
    // Whether the AES code over all the data given matches `trailer`; true
    // for the traditional scheme, which has none (its CRC is checked).
    bool Authentic(std::span<const unsigned char> trailer);

private:
    std::unique_ptr<ZipAesCipher> aes_;
    std::unique_ptr<ZipTraditionalCipher> traditional_;
};

// Encrypts one entry's data as AES-256 in the AE-2 framing, with a fresh
// salt: Header() goes in front of the data, Trailer() after it.
class EntryEncryptor {
public:
    explicit EntryEncryptor(std::string_view password);
    std::vector<unsigned char> Header() const;
    void Encrypt(unsigned char* data, std::size_t size);
    std::array<unsigned char, kAesCodeSize> Trailer();

private:
    std::vector<unsigned char> salt_;
    ZipAesCipher cipher_;
};

// The whole of an entry's data encrypted: header, data, trailer.
std::vector<unsigned char> EncryptWhole(std::string_view password, std::span<const unsigned char> data);

}  // namespace vaultpack
