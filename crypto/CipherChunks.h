#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "crypto/CryptoResult.h"
#include "files/FileHandle.h"
#include "files/ProgressSink.h"

namespace vaultpack {

// Size of one chunk read from the source; a multiple of the cipher block.
inline constexpr std::size_t kCipherChunkSize = 102400;

// How many bytes a cipher pass reads, how many of its output it keeps (the
// padding of the last block is cut off when decrypting), and the plaintext
// length that the progress bar counts.
struct CipherChunkPlan {
    std::uint64_t readBytes = 0;
    std::uint64_t writeBytes = 0;
    std::uint32_t plainLength = 0;
};

// Enciphers or deciphers `length` bytes (a multiple of 8) from `in` into `out`;
// the chunk loop passes the same buffer for both.
using ChunkCipher = std::function<void(const unsigned char* in, unsigned char* out, std::size_t length)>;

// Streams `source` through `cipher` into `target` in chunks of at most
// kCipherChunkSize bytes, the last one zero-padded to a whole block, with
// memory bounded by two chunk buffers. Progress, when given, sees the range
// first, a position after each chunk and the full range at the end; its cancel
// request is honoured before each chunk and gives Cancelled. A source that ends
// early throws CryptoError(SourceShrank); file errors throw FileError.
FileOperationStatus RunCipherChunks(FileHandle& source, FileHandle& target, const CipherChunkPlan& plan,
                                    const ChunkCipher& cipher, ProgressSink* progress);

}  // namespace vaultpack
