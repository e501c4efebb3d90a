#include "crypto/BlowfishCipher.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace vaultpack {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes FromHex(const std::string& hex) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

Bytes Apply(const BlowfishCipher& cipher, bool encrypt, const Bytes& in, int mode) {
    Bytes out(in.size());
    if (encrypt) {
        cipher.Encrypt(in.data(), out.data(), in.size(), mode);
    } else {
        cipher.Decrypt(in.data(), out.data(), in.size(), mode);
    }
    return out;
}

BlowfishCipher MakeCipher(const Bytes& key, CipherBlock chain = {}) {
    return BlowfishCipher(key.data(), static_cast<unsigned>(key.size()), chain);
}

struct KnownAnswer {
    const char* key;
    const char* plain;
    const char* cipher;
};

// Published ECB test vectors for 64-bit keys.
const KnownAnswer kEcbVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
};

TEST(BlowfishCipher, PublishedEcbVectorsBothWays) {
    for (const auto& vector : kEcbVectors) {
        SCOPED_TRACE(vector.key);
        const BlowfishCipher cipher = MakeCipher(FromHex(vector.key));
        EXPECT_EQ(Apply(cipher, true, FromHex(vector.plain), kCipherModeEcb), FromHex(vector.cipher));
        EXPECT_EQ(Apply(cipher, false, FromHex(vector.cipher), kCipherModeEcb), FromHex(vector.plain));

        CipherBlock block = BlowfishCipher::LoadBlock(FromHex(vector.plain).data());
        cipher.EncryptBlock(block);
        Bytes stored(8);
        BlowfishCipher::StoreBlock(block, stored.data());
        EXPECT_EQ(stored, FromHex(vector.cipher));
    }
}

TEST(BlowfishCipher, PublishedVariableKeyLengthVectors) {
    // Keys of 1 to 24 bytes, each a prefix of the same key, on one plaintext.
    const char* expected[] = {
        "F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05", "B39E44481BDB1E6E",
        "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82", "15750E7A4F4EC577", "122BA70B3AB64AE0",
        "3A833C9AFFC537F6", "9409DA87A90F6BF2", "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F",
        "93142887EE3BE15C", "03429E838CE2D14B", "A4299E27469FF67B", "AFD5AED1C1BC96A8", "10851C0E3858DA9F",
        "E6F51ED79B9DB21F", "64A6E14AFD36B46F", "80C7D7D45A5479AD", "05044B62FA52D080",
    };
    const Bytes key = FromHex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677");
    const Bytes plain = FromHex("FEDCBA9876543210");
    for (unsigned length = 1; length <= key.size(); ++length) {
        SCOPED_TRACE(length);
        const BlowfishCipher cipher(key.data(), length);
        EXPECT_EQ(Apply(cipher, true, plain, kCipherModeEcb), FromHex(expected[length - 1]));
    }
}

// The published chaining vectors: a 29-byte text with its terminating zero,
// zero-padded to 32 bytes, under a 16-byte key and a fixed initial block.
class BlowfishChaining : public ::testing::Test {
protected:
    const Bytes key = FromHex("0123456789ABCDEFF0E1D2C3B4A59687");
    const CipherBlock chain{0xFEDCBA98, 0x76543210};
    Bytes Plain() const {
        const std::string text = "7654321 Now is the time for ";
        Bytes plain(32, 0);
        std::copy(text.begin(), text.end(), plain.begin());
        return plain;
    }
};

TEST_F(BlowfishChaining, CbcMatchesPublishedVector) {
    const BlowfishCipher cipher = MakeCipher(key, chain);
    const Bytes expected = FromHex("6B77B4D63006DEE605B156E27403979358DEB9E7154616D959F1652BD5FF92CC");
    EXPECT_EQ(Apply(cipher, true, Plain(), kCipherModeCbc), expected);
    EXPECT_EQ(Apply(cipher, false, expected, kCipherModeCbc), Plain());
}

TEST_F(BlowfishChaining, CfbMatchesPublishedStreamPrefix) {
    const BlowfishCipher cipher = MakeCipher(key, chain);
    const Bytes expected = FromHex("E73214A2822139CAF26ECF6D2EB9E76E3DA3DE04D1517200519D57A6C3");
    const Bytes out = Apply(cipher, true, Plain(), kCipherModeCfb);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(expected.size())), expected);
    EXPECT_EQ(Apply(cipher, false, out, kCipherModeCfb), Plain());
}

TEST_F(BlowfishChaining, ChainRestartsWithEveryCall) {
    const BlowfishCipher cipher = MakeCipher(key, chain);
    for (int mode : {kCipherModeCbc, kCipherModeCfb}) {
        EXPECT_EQ(Apply(cipher, true, Plain(), mode), Apply(cipher, true, Plain(), mode)) << mode;
    }
}

TEST(BlowfishCipher, EveryModeInvertsAndUnknownModesAreEcb) {
    const BlowfishCipher cipher = MakeCipher(FromHex("0011223344"), {0x01020304, 0x05060708});
    const Bytes plain = test::PseudoRandomBytes(8 * 41);
    for (int mode : {0, 1, 2, 5, -1}) {
        SCOPED_TRACE(mode);
        const Bytes encrypted = Apply(cipher, true, plain, mode);
        EXPECT_NE(encrypted, plain);
        EXPECT_EQ(Apply(cipher, false, encrypted, mode), plain);
    }
    EXPECT_EQ(Apply(cipher, true, plain, 5), Apply(cipher, true, plain, kCipherModeEcb));
    EXPECT_NE(Apply(cipher, true, plain, kCipherModeCbc), Apply(cipher, true, plain, kCipherModeEcb));
    EXPECT_NE(Apply(cipher, true, plain, kCipherModeCfb), Apply(cipher, true, plain, kCipherModeCbc));
}

TEST(BlowfishCipher, BufferEcbEqualsBlockByBlockAndDecryptsInPlace) {
    // 41 blocks: whole interleaved groups plus single blocks at the end.
    const BlowfishCipher cipher = MakeCipher(FromHex("A1B2C3D4E5F6"));
    const Bytes plain = test::PseudoRandomBytes(8 * 41, 7);
    Bytes expected(plain.size());
    for (std::size_t offset = 0; offset < plain.size(); offset += 8) {
        CipherBlock block = BlowfishCipher::LoadBlock(plain.data() + offset);
        cipher.EncryptBlock(block);
        BlowfishCipher::StoreBlock(block, expected.data() + offset);
    }
    EXPECT_EQ(Apply(cipher, true, plain, kCipherModeEcb), expected);

    Bytes inPlace = expected;
    cipher.Decrypt(inPlace.data(), inPlace.data(), inPlace.size(), kCipherModeEcb);
    EXPECT_EQ(inPlace, plain);
}

TEST(BlowfishCipher, IdenticalBlocksGiveIdenticalEcbOutput) {
    const BlowfishCipher cipher = MakeCipher(FromHex("42"));
    const Bytes out = Apply(cipher, true, Bytes(16, 0x5A), kCipherModeEcb);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 8, out.begin() + 8));
}

TEST(BlowfishCipher, KeyIsCutTo56BytesAndShortKeysRepeat) {
    const Bytes key57 = test::PseudoRandomBytes(57, 3);
    const Bytes key56(key57.begin(), key57.begin() + 56);
    const Bytes plain = test::PseudoRandomBytes(64, 4);
    EXPECT_EQ(Apply(MakeCipher(key57), true, plain, kCipherModeEcb), Apply(MakeCipher(key56), true, plain, kCipherModeEcb));

    Bytes key55 = key56;
    key55.back() ^= 1;
    EXPECT_NE(Apply(MakeCipher(key55), true, plain, kCipherModeEcb), Apply(MakeCipher(key56), true, plain, kCipherModeEcb));

    // A one-byte key cycles into every byte of every key word: the same as that byte four times.
    EXPECT_EQ(Apply(MakeCipher(FromHex("7E")), true, plain, kCipherModeEcb),
              Apply(MakeCipher(FromHex("7E7E7E7E")), true, plain, kCipherModeEcb));
}

TEST(BlowfishCipher, RejectsEmptyKeyAndPartialBlocksWithTheirTexts) {
    const unsigned char key = 1;
    try {
        BlowfishCipher cipher(&key, 0);
        FAIL() << "an empty key was accepted";
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), "Incorrect key length");
    }

    const BlowfishCipher cipher(&key, 1);
    const Bytes in(16, 1);
    for (std::size_t length : {0u, 12u}) {
        for (bool encrypt : {true, false}) {
            Bytes out(16, 0xEE);
            try {
                if (encrypt) {
                    cipher.Encrypt(in.data(), out.data(), length, kCipherModeEcb);
                } else {
                    cipher.Decrypt(in.data(), out.data(), length, kCipherModeCbc);
                }
                ADD_FAILURE() << "length " << length << " was accepted";
            } catch (const std::exception& error) {
                EXPECT_STREQ(error.what(), "Incorrect buffer length");
            }
            EXPECT_EQ(out, Bytes(16, 0xEE));
        }
    }
}

}  // namespace
}  // namespace vaultpack
