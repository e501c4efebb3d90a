// The ciphers of password-protected ZIP entries against entries that 7z and
// Info-ZIP zip encrypt, and against keys derived here with OpenSSL directly.

#include "zip/ZipAesCipher.h"
#include "zip/ZipTraditionalCipher.h"
#include "zip/Pbkdf2Sha1.h"

#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace vaultpack {
namespace {

using Bytes = std::vector<unsigned char>;

constexpr AesStrength kStrengths[] = {AesStrength::Aes128, AesStrength::Aes192, AesStrength::Aes256};

std::uint32_t Little(const Bytes& bytes, std::size_t offset, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = value << 8 | bytes.at(offset + static_cast<std::size_t>(i));
    }
    return value;
}

// The first local header of an archive and the bytes of its entry's data.
struct LocalEntry {
    std::uint32_t flags = 0;
    std::uint32_t method = 0;
    std::uint32_t time = 0;
    std::uint32_t crc = 0;
    Bytes extra;
    Bytes data;
};

LocalEntry ReadFirstEntry(const std::filesystem::path& archive) {
    const Bytes file = test::ReadFile(archive);
    if (Little(file, 0, 4) != 0x04034b50) {
        throw std::runtime_error("no local header at the start of " + archive.string());
    }
    LocalEntry entry{Little(file, 6, 2), Little(file, 8, 2), Little(file, 10, 2), Little(file, 14, 4), {}, {}};
    const std::size_t extraStart = 30 + Little(file, 26, 2);
    const std::size_t dataStart = extraStart + Little(file, 28, 2);
    const std::size_t dataSize = Little(file, 18, 4);
    if (dataSize == 0 || dataStart + dataSize > file.size()) {
        throw std::runtime_error("no data size in the local header of " + archive.string());
    }
    entry.extra.assign(file.begin() + static_cast<std::ptrdiff_t>(extraStart),
                       file.begin() + static_cast<std::ptrdiff_t>(dataStart));
    entry.data.assign(file.begin() + static_cast<std::ptrdiff_t>(dataStart),
                      file.begin() + static_cast<std::ptrdiff_t>(dataStart + dataSize));
    return entry;
}

// Stores sample.bin into peer.zip in a fresh folder with the given command
// line (run in that folder) and returns its first entry.
LocalEntry PeerEntry(const test::TempDir& dir, const Bytes& sample, const std::string& command) {
    test::WriteFile(dir / "sample.bin", sample);
    const std::string line = "cd '" + dir.Path().string() + "' && " + command + " peer.zip sample.bin >/dev/null";
    if (std::system(line.c_str()) != 0) {
        throw std::runtime_error("failed: " + line);
    }
    return ReadFirstEntry(dir / "peer.zip");
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t count) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

// Runs `step` over `data` in consecutive pieces whose sizes cycle through `sizes`.
template <typename Step>
void InPieces(Bytes& data, std::initializer_list<std::size_t> sizes, Step step) {
    std::size_t done = 0;
    for (std::size_t i = 0; done < data.size(); ++i) {
        const std::size_t count = std::min(sizes.begin()[i % sizes.size()], data.size() - done);
        step(data.data() + done, count);
        done += count;
    }
}

// RFC 6070's vectors, and OpenSSL's own PBKDF2 for passwords around the
// 64-byte block, beyond which HMAC hashes the key first.
TEST(Pbkdf2HmacSha1, MatchesTheStandardAndOpenSsl) {
    const auto Hex = [](const Bytes& bytes) {
        std::string text;
        for (unsigned char byte : bytes) {
            text += "0123456789abcdef"[byte >> 4];
            text += "0123456789abcdef"[byte & 15];
        }
        return text;
    };
    const std::string salt = "salt";
    const auto Derive = [&](const std::string& password, int iterations, std::size_t size) {
        Bytes output(size);
        Pbkdf2HmacSha1(password, {reinterpret_cast<const unsigned char*>(salt.data()), salt.size()}, iterations,
                       output);
        return output;
    };
    EXPECT_EQ(Hex(Derive("password", 1, 20)), "0c60c80f961f0e71f3a9b524af6012062fe037a6");
    EXPECT_EQ(Hex(Derive("password", 2, 20)), "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957");
    EXPECT_EQ(Hex(Derive("password", 4096, 20)), "4b007901b765489abead49d926f721d065a429c1");
    for (const std::size_t length : {0, 1, 63, 64, 65, 200}) {
        const std::string password(length, 'p');
        Bytes expected(66);
        ASSERT_EQ(PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(length),
                                         reinterpret_cast<const unsigned char*>(salt.data()),
                                         static_cast<int>(salt.size()), 1000, 66, expected.data()),
                  1);
        EXPECT_EQ(Derive(password, 1000, 66), expected) << length;
    }
}

TEST(ZipAesCipher, ReadsWhatSevenZipWritesAtEachStrength) {
    // Over 64 KiB, so that the keystream takes more than one EVP call, and not a whole number of blocks.
    const Bytes sample = test::PseudoRandomBytes(70001, 7);
    for (const AesStrength strength : kStrengths) {
        SCOPED_TRACE(static_cast<int>(strength));
        const test::TempDir dir;
        const int bits = 64 + 64 * static_cast<int>(strength);
        const LocalEntry entry =
            PeerEntry(dir, sample, "7z a -tzip -mx=0 -mem=AES" + std::to_string(bits) + " '-pse cret'");
        ASSERT_EQ(entry.method, 99u);
        // Extra field 0x9901 of 7 bytes: vendor version, "AE", the strength, the stored method.
        ASSERT_EQ(entry.extra.size(), 11u);
        ASSERT_EQ(Little(entry.extra, 0, 4), 0x00079901u);
        ASSERT_EQ(entry.extra[8], static_cast<unsigned char>(strength));
        const std::size_t saltSize = AesSaltSize(strength);
        ASSERT_EQ(entry.data.size(), saltSize + kAesVerifierSize + sample.size() + kAesCodeSize);
        const Bytes salt = Slice(entry.data, 0, saltSize);
        const Bytes verifier = Slice(entry.data, saltSize, kAesVerifierSize);
        const Bytes cipherText = Slice(entry.data, saltSize + kAesVerifierSize, sample.size());
        const Bytes code = Slice(entry.data, entry.data.size() - kAesCodeSize, kAesCodeSize);

        ZipAesCipher decryption("se cret", salt, strength);
        const auto ourVerifier = decryption.Verifier();
        EXPECT_EQ(Bytes(ourVerifier.begin(), ourVerifier.end()), verifier);
        Bytes plain = cipherText;
        decryption.Decrypt(plain.data(), plain.size());
        EXPECT_EQ(plain, sample);
        const auto ourCode = decryption.Code();
        EXPECT_EQ(Bytes(ourCode.begin(), ourCode.end()), code);
    }
}

TEST(ZipAesCipher, KeysVerifierAndCounterFollowThePbkdf2Output) {
    const std::string password = "correct horse";
    for (const AesStrength strength : kStrengths) {
        SCOPED_TRACE(static_cast<int>(strength));
        const Bytes salt = test::PseudoRandomBytes(AesSaltSize(strength), 3);
        const std::size_t keySize = 2 * salt.size();
        Bytes derived(2 * keySize + kAesVerifierSize);
        ASSERT_EQ(PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()), salt.data(),
                                         static_cast<int>(salt.size()), 1000, static_cast<int>(derived.size()),
                                         derived.data()),
                  1);
        // Two blocks of keystream: AES-ECB of the little-endian counters 1 and 2.
        Bytes counters(32, 0);
        counters[0] = 1;
        counters[16] = 2;
        const EVP_CIPHER* ecb = strength == AesStrength::Aes128   ? EVP_aes_128_ecb()
                                : strength == AesStrength::Aes192 ? EVP_aes_192_ecb()
                                                                  : EVP_aes_256_ecb();
        EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
        Bytes keystream(32);
        int written = 0;
        ASSERT_EQ(EVP_EncryptInit_ex2(context, ecb, derived.data(), nullptr, nullptr), 1);
        ASSERT_EQ(EVP_EncryptUpdate(context, keystream.data(), &written, counters.data(), 32), 1);
        EVP_CIPHER_CTX_free(context);

        ZipAesCipher cipher(password, salt, strength);
        const auto verifier = cipher.Verifier();
        EXPECT_EQ(Bytes(verifier.begin(), verifier.end()), Slice(derived, 2 * keySize, kAesVerifierSize));
        Bytes zeros(32, 0);
        cipher.Encrypt(zeros.data(), zeros.size());
        EXPECT_EQ(zeros, keystream);
        // The code is HMAC-SHA1 under the second key, over the cipher text.
        unsigned char mac[20];
        unsigned macSize = 0;
        HMAC(EVP_sha1(), derived.data() + keySize, static_cast<int>(keySize), zeros.data(), zeros.size(), mac,
             &macSize);
        const auto code = cipher.Code();
        EXPECT_EQ(Bytes(code.begin(), code.end()), Bytes(mac, mac + kAesCodeSize));
    }
}

TEST(ZipAesCipher, AnySplitIntoCallsEqualsOneCallAndRoundTrips) {
    const Bytes sample = test::PseudoRandomBytes(150000, 11);
    for (const AesStrength strength : kStrengths) {
        SCOPED_TRACE(static_cast<int>(strength));
        const Bytes salt = RandomSalt(strength);
        ZipAesCipher whole("pw", salt, strength);
        Bytes expected = sample;
        whole.Encrypt(expected.data(), expected.size());
        const auto expectedCode = whole.Code();
        EXPECT_NE(expected, sample);

        ZipAesCipher pieces("pw", salt, strength);
        Bytes cipherText = sample;
        InPieces(cipherText, {1, 15, 16, 17, 70000}, [&](unsigned char* p, std::size_t n) { pieces.Encrypt(p, n); });
        EXPECT_EQ(cipherText, expected);
        EXPECT_EQ(pieces.Code(), expectedCode);

        ZipAesCipher decryption("pw", salt, strength);
        Bytes plain = cipherText;
        InPieces(plain, {70000, 3, 65536, 0, 29}, [&](unsigned char* p, std::size_t n) { decryption.Decrypt(p, n); });
        EXPECT_EQ(plain, sample);
        EXPECT_EQ(decryption.Code(), expectedCode);
    }
}

TEST(ZipAesCipher, VerifierAndCodeTellAnotherPasswordAndAlteredData) {
    const Bytes salt = test::PseudoRandomBytes(16, 5);
    EXPECT_NE(ZipAesCipher("secret", salt, AesStrength::Aes256).Verifier(),
              ZipAesCipher("Secret", salt, AesStrength::Aes256).Verifier());

    Bytes data = test::PseudoRandomBytes(1000, 6);
    ZipAesCipher encryption("secret", salt, AesStrength::Aes256);
    encryption.Encrypt(data.data(), data.size());
    const auto code = encryption.Code();
    data[500] ^= 0x01;
    ZipAesCipher decryption("secret", salt, AesStrength::Aes256);
    decryption.Decrypt(data.data(), data.size());
    EXPECT_NE(decryption.Code(), code);
    EXPECT_THROW(decryption.Decrypt(data.data(), 1), std::logic_error);
    EXPECT_THROW(decryption.Code(), std::logic_error);
}

TEST(ZipAesCipher, SaltsFitTheStrength) {
    EXPECT_THROW(ZipAesCipher("pw", Bytes(8), AesStrength::Aes256), std::invalid_argument);
    // A strength byte read from an archive may be any value.
    EXPECT_THROW(AesSaltSize(static_cast<AesStrength>(4)), std::invalid_argument);
    for (const AesStrength strength : kStrengths) {
        const Bytes first = RandomSalt(strength);
        EXPECT_EQ(first.size(), 4 + 4 * static_cast<std::size_t>(strength));
        EXPECT_NE(RandomSalt(strength), first);
    }
}

TEST(ZipTraditionalCipher, ReadsAndWritesWhatInfoZipWrites) {
    const Bytes sample = test::PseudoRandomBytes(1000, 9);
    const test::TempDir dir;
    const LocalEntry entry = PeerEntry(dir, sample, "zip -q -0 -e -P secret");
    ASSERT_EQ(entry.flags & 1, 1u);
    ASSERT_EQ(entry.method, 0u);
    ASSERT_EQ(entry.data.size(), kTraditionalHeaderSize + sample.size());

    ZipTraditionalCipher decryption("secret");
    Bytes plain = entry.data;
    InPieces(plain, {5, 7, 1, 300}, [&](unsigned char* p, std::size_t n) { decryption.Decrypt(p, n); });
    EXPECT_EQ(Slice(plain, kTraditionalHeaderSize, sample.size()), sample);
    // The header's last byte checks the password: the CRC's high byte, or the
    // time's when the sizes and CRC follow the data (flag bit 3).
    const std::uint32_t check = (entry.flags & 8) != 0 ? entry.time >> 8 : entry.crc >> 24;
    EXPECT_EQ(plain[kTraditionalHeaderSize - 1], check);

    ZipTraditionalCipher encryption("secret");
    Bytes cipherText = plain;
    InPieces(cipherText, {13, 1, 999}, [&](unsigned char* p, std::size_t n) { encryption.Encrypt(p, n); });
    EXPECT_EQ(cipherText, entry.data);

    ZipTraditionalCipher wrong("secreT");
    Bytes garbled = entry.data;
    wrong.Decrypt(garbled.data(), garbled.size());
    EXPECT_NE(Slice(garbled, kTraditionalHeaderSize, sample.size()), sample);
}

}  // namespace
}  // namespace vaultpack
