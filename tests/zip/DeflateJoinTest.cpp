// Pieces deflated as complete streams and joined with ContinueAfter make one
// deflate stream, whatever kinds of blocks the compressor chose.

#include <gtest/gtest.h>

#include <libdeflate.h>
#include <zlib.h>

#include "tests/support/TempDir.h"
#include "tests/zip/ZipTestSupport.h"
#include "zip/DeflateJoin.h"

namespace vaultpack {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes Deflate(const Bytes& piece) {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(6);
    Bytes out(libdeflate_deflate_compress_bound(compressor, piece.size()));
    out.resize(libdeflate_deflate_compress(compressor, piece.data(), piece.size(), out.data(), out.size()));
    libdeflate_free_compressor(compressor);
    return out;
}

// The whole of a raw deflate stream, inflated by zlib; empty unless it ends
// with its last block exactly at the end of `stream`.
Bytes Inflate(Bytes stream, std::size_t expected) {
    Bytes out(expected + 1);
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    z.next_in = stream.data();
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int status = inflate(&z, Z_FINISH);
    out.resize(z.total_out);
    const bool whole = status == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    return whole ? out : Bytes{};
}

TEST(DeflateJoinTest, PiecesOfEveryBlockKindJoinIntoOneStream) {
    const std::string text = test::MixedText(700000);
    const Bytes textBytes(text.begin(), text.end());
    const Bytes random = test::PseudoRandomBytes(300000, 7);  // stored blocks
    const Bytes zeros(200000, 0);                             // one short fixed or dynamic block
    const Bytes tiny{'a'};                                    // fixed codes
    const std::vector<std::vector<Bytes>> cases = {
        {textBytes, random, zeros, tiny, textBytes},
        {tiny, tiny, tiny},
        {random, Bytes{}},
        {zeros, textBytes},
    };
    for (const std::vector<Bytes>& pieces : cases) {
        Bytes joined;
        Bytes whole;
        for (std::size_t index = 0; index < pieces.size(); ++index) {
            Bytes stream = Deflate(pieces[index]);
            if (index + 1 < pieces.size()) {
                ASSERT_TRUE(ContinueAfter(stream)) << index;
                // Ends on a byte boundary, as a sync flush does.
                ASSERT_GE(stream.size(), 4u);
                EXPECT_EQ(Bytes(stream.end() - 4, stream.end()), (Bytes{0x00, 0x00, 0xFF, 0xFF}));
            }
            joined.insert(joined.end(), stream.begin(), stream.end());
            whole.insert(whole.end(), pieces[index].begin(), pieces[index].end());
        }
        EXPECT_TRUE(Inflate(joined, whole.size()) == whole) << pieces.size() << " pieces";
    }
}

TEST(DeflateJoinTest, WhatIsNoDeflateStreamIsLeftAsItIs) {
    const Bytes good = Deflate(test::PseudoRandomBytes(5000, 3));
    std::vector<Bytes> bad = {
        {0x07},                                      // block type 3 does not exist
        Bytes(good.begin(), good.begin() + 100),     // stops inside a stored block
        {0x00, 0x05, 0x00, 0x00, 0x00},              // a stored block whose length check fails
        // A dynamic block that claims 288 length and 32 distance codes.
        {0xFD, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
    };
    Bytes trailing = good;  // a whole stream with a byte after its end
    trailing.push_back(0);
    bad.push_back(trailing);
    for (const Bytes& stream : bad) {
        Bytes copy = stream;
        EXPECT_FALSE(ContinueAfter(copy));
        EXPECT_EQ(copy, stream);
    }
}

}  // namespace
}  // namespace vaultpack
