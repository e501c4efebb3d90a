#include "zip/ZipAesCipher.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/rand.h>

#include <algorithm>
#include <climits>
#include <new>
#include <stdexcept>
#include <string>

#include "files/Failure.h"
#include "zip/Pbkdf2Sha1.h"

namespace vaultpack {
namespace {

constexpr int kIterations = 1000;
constexpr std::size_t kBlockSize = 16;
constexpr std::size_t kMaxKeySize = 32;
// Keystream is made by one EVP call over many counter blocks: enough for the
// data at hand, at least 1 KiB (so that a stream of small calls does not cost
// one call each) and at most 64 KiB.
constexpr std::size_t kMinKeystreamBlocks = 64;
constexpr std::size_t kMaxKeystreamBlocks = 4096;

// Throws an Internal failure naming the OpenSSL call that failed and the first
// error on the thread's queue, and empties the queue.
[[noreturn]] void ThrowOpenSslError(const char* call) {
    std::string message = std::string(call) + " failed";
    if (const unsigned long error = ERR_get_error(); error != 0) {
        char reason[256];
        ERR_error_string_n(error, reason, sizeof reason);
        message += std::string(": ") + reason;
    }
    ERR_clear_error();
    throw FailureError(Failure::Of(FailureReason::Internal, {}, message));
}

std::size_t KeySize(AesStrength strength) {
    return 2 * AesSaltSize(strength);
}

const EVP_CIPHER* EcbCipher(AesStrength strength) {
    switch (strength) {
    case AesStrength::Aes128: return EVP_aes_128_ecb();
    case AesStrength::Aes192: return EVP_aes_192_ecb();
    case AesStrength::Aes256: return EVP_aes_256_ecb();
    }
    throw std::invalid_argument("unknown AES strength");
}

struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
struct MacContextFree {
    void operator()(EVP_MAC_CTX* context) const { EVP_MAC_CTX_free(context); }
};

// The PBKDF2 output, wiped however the constructor leaves.
struct DerivedKeys {
    std::array<unsigned char, 2 * kMaxKeySize + kAesVerifierSize> bytes{};
    ~DerivedKeys() { OPENSSL_cleanse(bytes.data(), bytes.size()); }
};

}  // namespace

std::size_t AesSaltSize(AesStrength strength) {
    switch (strength) {
    case AesStrength::Aes128: return 8;
    case AesStrength::Aes192: return 12;
    case AesStrength::Aes256: return 16;
    }
    throw std::invalid_argument("unknown AES strength");
}

struct ZipAesCipher::State {
    std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree> aes;
    std::unique_ptr<EVP_MAC_CTX, MacContextFree> hmac;
    std::array<unsigned char, kAesVerifierSize> verifier{};
    // The next counter value. It is the low 8 bytes of the 16-byte block; the
    // high 8 stay zero, as no entry comes near 2^64 blocks.
    std::uint64_t counter = 1;
    std::size_t keystreamUsed = 0;
    std::size_t keystreamFilled = 0;
    std::size_t keystreamWritten = 0;  // the most ever filled, for the wipe
    bool finished = false;
    // Left uninitialised: it is always filled before it is read.
    alignas(16) std::array<unsigned char, kMaxKeystreamBlocks * kBlockSize> keystream;

    ~State() {
        OPENSSL_cleanse(keystream.data(), keystreamWritten);
        OPENSSL_cleanse(verifier.data(), verifier.size());
    }

    void Refill(std::size_t wanted) {
        const std::size_t blocks =
            std::clamp((wanted + kBlockSize - 1) / kBlockSize, kMinKeystreamBlocks, kMaxKeystreamBlocks);
        unsigned char* block = keystream.data();
        for (std::size_t i = 0; i < blocks; ++i, ++counter, block += kBlockSize) {
            for (std::size_t byte = 0; byte < 8; ++byte) {
                block[byte] = static_cast<unsigned char>(counter >> (8 * byte));
            }
            std::fill(block + 8, block + kBlockSize, 0);
        }
        const int length = static_cast<int>(blocks * kBlockSize);
        int written = 0;
        if (EVP_EncryptUpdate(aes.get(), keystream.data(), &written, keystream.data(), length) != 1 ||
            written != length) {
            ThrowOpenSslError("EVP_EncryptUpdate");
        }
        keystreamUsed = 0;
        keystreamFilled = static_cast<std::size_t>(length);
        keystreamWritten = std::max(keystreamWritten, keystreamFilled);
    }

    void CheckOpen() const {
        if (finished) {
            throw std::logic_error("ZipAesCipher used after its code was taken");
        }
    }

    void Xor(unsigned char* data, std::size_t size) {
        while (size > 0) {
            if (keystreamUsed == keystreamFilled) {
                Refill(size);
            }
            const std::size_t count = std::min(size, keystreamFilled - keystreamUsed);
            const unsigned char* stream = keystream.data() + keystreamUsed;
            for (std::size_t i = 0; i < count; ++i) {
                data[i] ^= stream[i];
            }
            keystreamUsed += count;
            data += count;
            size -= count;
        }
    }

    void Authenticate(const unsigned char* data, std::size_t size) {
        if (size > 0 && EVP_MAC_update(hmac.get(), data, size) != 1) {
            ThrowOpenSslError("EVP_MAC_update");
        }
    }
};

ZipAesCipher::ZipAesCipher(std::string_view password, std::span<const unsigned char> salt, AesStrength strength)
    : state_(new State) {
    const std::size_t keySize = KeySize(strength);
    if (salt.size() != AesSaltSize(strength)) {
        throw std::invalid_argument("the salt's size does not fit the AES strength");
    }
    if (password.size() > static_cast<std::size_t>(INT_MAX)) {
        throw std::invalid_argument("password too long");
    }
    DerivedKeys derived;
    const std::size_t derivedSize = 2 * keySize + kAesVerifierSize;
    Pbkdf2HmacSha1(password, salt, kIterations, {derived.bytes.data(), derivedSize});
    const unsigned char* encryptionKey = derived.bytes.data();
    const unsigned char* authenticationKey = encryptionKey + keySize;
    std::copy_n(authenticationKey + keySize, kAesVerifierSize, state_->verifier.begin());

    state_->aes.reset(EVP_CIPHER_CTX_new());
    if (!state_->aes) {
        throw std::bad_alloc();
    }
    if (EVP_EncryptInit_ex2(state_->aes.get(), EcbCipher(strength), encryptionKey, nullptr, nullptr) != 1) {
        ThrowOpenSslError("EVP_EncryptInit_ex2");
    }
    EVP_CIPHER_CTX_set_padding(state_->aes.get(), 0);

    EVP_MAC* hmac = EVP_MAC_fetch(nullptr, OSSL_MAC_NAME_HMAC, nullptr);
    if (hmac == nullptr) {
        ThrowOpenSslError("EVP_MAC_fetch");
    }
    // The context holds its own reference to the algorithm.
    state_->hmac.reset(EVP_MAC_CTX_new(hmac));
    EVP_MAC_free(hmac);
    if (!state_->hmac) {
        throw std::bad_alloc();
    }
    char digest[] = "SHA1";
    const OSSL_PARAM parameters[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                     OSSL_PARAM_construct_end()};
    if (EVP_MAC_init(state_->hmac.get(), authenticationKey, keySize, parameters) != 1) {
        ThrowOpenSslError("EVP_MAC_init");
    }
}

ZipAesCipher::~ZipAesCipher() = default;
ZipAesCipher::ZipAesCipher(ZipAesCipher&&) noexcept = default;
ZipAesCipher& ZipAesCipher::operator=(ZipAesCipher&&) noexcept = default;

std::array<unsigned char, kAesVerifierSize> ZipAesCipher::Verifier() const {
    return state_->verifier;
}

void ZipAesCipher::Encrypt(unsigned char* data, std::size_t size) {
    state_->CheckOpen();
    state_->Xor(data, size);
    state_->Authenticate(data, size);
}

void ZipAesCipher::Decrypt(unsigned char* data, std::size_t size) {
    state_->CheckOpen();
    state_->Authenticate(data, size);
    state_->Xor(data, size);
}

std::array<unsigned char, kAesCodeSize> ZipAesCipher::Code() {
    state_->CheckOpen();
    state_->finished = true;
    std::array<unsigned char, EVP_MAX_MD_SIZE> mac{};
    std::size_t macSize = 0;
    if (EVP_MAC_final(state_->hmac.get(), mac.data(), &macSize, mac.size()) != 1 || macSize < kAesCodeSize) {
        ThrowOpenSslError("EVP_MAC_final");
    }
    std::array<unsigned char, kAesCodeSize> code;
    std::copy_n(mac.begin(), kAesCodeSize, code.begin());
    OPENSSL_cleanse(mac.data(), mac.size());
    return code;
}

std::vector<unsigned char> RandomSalt(AesStrength strength) {
    std::vector<unsigned char> salt(AesSaltSize(strength));
    if (RAND_bytes(salt.data(), static_cast<int>(salt.size())) != 1) {
        ThrowOpenSslError("RAND_bytes");
    }
    return salt;
}

}  // namespace vaultpack
