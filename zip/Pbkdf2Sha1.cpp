// OpenSSL 3 marks its low-level SHA-1 calls deprecated; they are the only way
// to copy a SHA-1 state cheaply (an EVP digest context copy goes through the
// provider and costs as much again), and this is what they are for.
#define OPENSSL_SUPPRESS_DEPRECATED

#include "zip/Pbkdf2Sha1.h"

#include <openssl/crypto.h>
#include <openssl/sha.h>

#include <algorithm>
#include <array>
#include <cstdint>

namespace vaultpack {

namespace {

constexpr std::size_t kShaBlock = 64;

// Wipes what it holds when it goes.
template <typename T>
struct Wiped {
    T value{};
    ~Wiped() { OPENSSL_cleanse(&value, sizeof value); }
};

}  // namespace

void Pbkdf2HmacSha1(std::string_view password, std::span<const unsigned char> salt, int iterations,
                    std::span<unsigned char> output) {
    Wiped<std::array<unsigned char, kShaBlock>> key;
    if (password.size() > kShaBlock) {
        SHA1(reinterpret_cast<const unsigned char*>(password.data()), password.size(), key.value.data());
    } else {
        std::copy(password.begin(), password.end(), key.value.begin());
    }
    Wiped<std::array<unsigned char, kShaBlock>> pad;
    Wiped<SHA_CTX> inner;
    Wiped<SHA_CTX> outer;
    for (std::size_t i = 0; i < kShaBlock; ++i) {
        pad.value[i] = key.value[i] ^ 0x36;
    }
    SHA1_Init(&inner.value);
    SHA1_Update(&inner.value, pad.value.data(), kShaBlock);
    for (std::size_t i = 0; i < kShaBlock; ++i) {
        pad.value[i] = key.value[i] ^ 0x5c;
    }
    SHA1_Init(&outer.value);
    SHA1_Update(&outer.value, pad.value.data(), kShaBlock);

    Wiped<SHA_CTX> step;
    Wiped<std::array<unsigned char, SHA_DIGEST_LENGTH>> u;
    Wiped<std::array<unsigned char, SHA_DIGEST_LENGTH>> sum;
    const auto mac = [&](auto&& feed) {
        step.value = inner.value;
        feed(step.value);
        SHA1_Final(u.value.data(), &step.value);
        step.value = outer.value;
        SHA1_Update(&step.value, u.value.data(), u.value.size());
        SHA1_Final(u.value.data(), &step.value);
    };
    std::size_t done = 0;
    for (std::uint32_t block = 1; done < output.size(); ++block) {
        const unsigned char number[4] = {static_cast<unsigned char>(block >> 24), static_cast<unsigned char>(block >> 16),
                                         static_cast<unsigned char>(block >> 8), static_cast<unsigned char>(block)};
        mac([&](SHA_CTX& context) {
            SHA1_Update(&context, salt.data(), salt.size());
            SHA1_Update(&context, number, sizeof number);
        });
        sum.value = u.value;
        for (int iteration = 1; iteration < iterations; ++iteration) {
            mac([&](SHA_CTX& context) { SHA1_Update(&context, u.value.data(), u.value.size()); });
            for (std::size_t i = 0; i < sum.value.size(); ++i) {
                sum.value[i] ^= u.value[i];
            }
        }
        const std::size_t count = std::min(sum.value.size(), output.size() - done);
        std::copy_n(sum.value.begin(), count, output.begin() + static_cast<std::ptrdiff_t>(done));
        done += count;
    }
}

}  // namespace vaultpack
