#include "crypto/Md5Context.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace vaultpack {
namespace {

std::string Hex(const Md5Context::Digest& digest) {
    std::string hex;
    char pair[3];
    for (unsigned char byte : digest) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        hex += pair;
    }
    return hex;
}

TEST(Md5Context, Rfc1321TestSuite) {
    const std::pair<std::string, std::string> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [text, digest] : suite) {
        EXPECT_EQ(Hex(Md5Context::Of(text)), digest) << '"' << text << '"';
    }
}

TEST(Md5Context, PiecewiseUpdatesEqualOneUpdateAcrossBlockBoundaries) {
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += static_cast<char>('!' + i % 90);
    }
    for (std::size_t split : {1u, 55u, 56u, 63u, 64u, 65u, 128u, 200u}) {
        Md5Context context;
        const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
        context.Update(bytes, split);
        context.Update(bytes + split, text.size() - split);
        Md5Context::Digest digest;
        context.Final(digest.data());
        EXPECT_EQ(digest, Md5Context::Of(text)) << split;
    }
}

TEST(Md5Context, ReusableAfterInitAndCaseSensitive) {
    Md5Context context;
    Md5Context::Digest first;
    context.Update(reinterpret_cast<const unsigned char*>("Secret"), 6);
    context.Final(first.data());
    context.Init();
    Md5Context::Digest second;
    context.Update(reinterpret_cast<const unsigned char*>("Secret"), 6);
    context.Final(second.data());
    EXPECT_EQ(first, second);
    EXPECT_NE(first, Md5Context::Of("secret"));
}

}  // namespace
}  // namespace vaultpack
