#include "zip/EntryCipher.h"

#include <algorithm>
#include <array>

#include <openssl/crypto.h>

namespace vaultpack {

std::optional<EntryDecryptor> EntryDecryptor::Open(const EntryProtection& protection, std::string_view password,
                                                   std::span<const unsigned char> header) {
    std::optional<EntryDecryptor> decryptor;
    if (header.size() != protection.HeaderSize()) {
        return decryptor;
    }
    if (protection.scheme == EntryProtection::Scheme::Aes) {
        const std::size_t saltSize = AesSaltSize(protection.strength);
        auto cipher = std::make_unique<ZipAesCipher>(password, header.first(saltSize), protection.strength);
        const auto verifier = cipher->Verifier();
        if (!std::equal(verifier.begin(), verifier.end(), header.begin() + static_cast<std::ptrdiff_t>(saltSize))) {
            return decryptor;
        }
        decryptor.emplace();
        decryptor->aes_ = std::move(cipher);
    } else if (protection.scheme == EntryProtection::Scheme::Traditional) {
        auto cipher = std::make_unique<ZipTraditionalCipher>(password);
        std::array<unsigned char, kTraditionalHeaderSize> decrypted{};
        std::copy(header.begin(), header.end(), decrypted.begin());
        cipher->Decrypt(decrypted.data(), decrypted.size());
        if (decrypted.back() != protection.checkByte) {
            return decryptor;
        }
        decryptor.emplace();
        decryptor->traditional_ = std::move(cipher);
    }
    return decryptor;
}

void EntryDecryptor::Decrypt(unsigned char* data, std::size_t size) {
    if (aes_) {
        aes_->Decrypt(data, size);
    } else if (traditional_) {
        traditional_->Decrypt(data, size);
    }
}

bool EntryDecryptor::Authentic(std::span<const unsigned char> trailer) {
    if (!aes_) {
        return true;
    }
    const auto code = aes_->Code();
    return trailer.size() == code.size() && CRYPTO_memcmp(code.data(), trailer.data(), code.size()) == 0;
}

EntryEncryptor::EntryEncryptor(std::string_view password)
    : salt_(RandomSalt(AesStrength::Aes256)), cipher_(password, salt_, AesStrength::Aes256) {}

std::vector<unsigned char> EntryEncryptor::Header() const {
    std::vector<unsigned char> header = salt_;
    const auto verifier = cipher_.Verifier();
    header.insert(header.end(), verifier.begin(), verifier.end());
    return header;
}

void EntryEncryptor::Encrypt(unsigned char* data, std::size_t size) {
    cipher_.Encrypt(data, size);
}

std::array<unsigned char, kAesCodeSize> EntryEncryptor::Trailer() {
    return cipher_.Code();
}

std::vector<unsigned char> EncryptWhole(std::string_view password, std::span<const unsigned char> data) {
    EntryEncryptor encryptor(password);
    std::vector<unsigned char> whole = encryptor.Header();
    const std::size_t header = whole.size();
    whole.reserve(header + data.size() + kAesCodeSize);
    whole.insert(whole.end(), data.begin(), data.end());
    encryptor.Encrypt(whole.data() + header, data.size());
    const auto trailer = encryptor.Trailer();
    whole.insert(whole.end(), trailer.begin(), trailer.end());
    return whole;
}

}  // namespace vaultpack
