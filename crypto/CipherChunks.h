#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "crypto/CryptoResult.h"
#include "files/FileHandle.h"
#include "files/ProgressSink.h"

namespace vaultpack {

// Size of one chunk read from the source; a multiple of the cipher block.
inline constexpr std::size_t kCipherChunkSize = 102400;

// Where a cipher pass reads and writes, how many bytes it reads, how many of
// its output it keeps (the padding of the last block is cut off when
// decrypting), and the plaintext length that the progress bar counts.
struct CipherChunkPlan {
    std::uint64_t sourceOffset = 0;
    std::uint64_t targetOffset = 0;
    std::uint64_t readBytes = 0;
    std::uint64_t writeBytes = 0;
    std::uint32_t plainLength = 0;
    // The caller flushes the target to the disk at the end: each chunk's disk
    // writes start as soon as it is written, so that flush finds little left.
    bool startWriteback = false;
};

// Enciphers or deciphers `length` bytes (a multiple of 8) from `in` into `out`;
// the chunk loop passes the same buffer for both. Called from several threads
// at once, each with its own buffer.
using ChunkCipher = std::function<void(const unsigned char* in, unsigned char* out, std::size_t length)>;

// The work of one chunk of a pass: reads chunk number `chunk` of the plan
// into `buffer`, zero-pads it to whole blocks, ciphers it and writes what the
// plan keeps of it at its place in the target (starting its disk writes when
// the plan asks). A source that ends early throws FailureError(SourceShrank);
// file errors throw FileError.
void CipherChunk(FileHandle& source, FileHandle& target, const CipherChunkPlan& plan, const ChunkCipher& cipher,
                 std::uint64_t chunk, std::vector<unsigned char>& buffer);

// The number of threads a cipher pass uses by default: one per processor, at
// least 1 and at most 64.
unsigned DefaultCipherWorkers();

// Passes the source through `cipher` into the target in chunks of
// kCipherChunkSize bytes, the last one zero-padded to a whole block. Chunk i
// is read at sourceOffset + i * kCipherChunkSize and written at targetOffset
// plus the same, so up to `workers` threads each take the next chunk in
// turn (as many as the system lets start; with none, the calling thread
// ciphers the chunks itself); memory is one chunk buffer per thread, whatever
// the length.
//
// Progress, when given, is called on the calling thread only: the range first,
// then a position for each chunk in file order once it and all before it are
// written, and the full range at the end. Its cancel request is polled there
// before the first chunk and after each position but the last; once seen, no
// worker starts another chunk and the result is Cancelled. A source that ends early
// throws FailureError(SourceShrank); file errors throw FileError. On any way out
// every worker has stopped; what was written stays in the target.
FileOperationStatus RunCipherChunks(FileHandle& source, FileHandle& target, const CipherChunkPlan& plan,
                                    const ChunkCipher& cipher, ProgressSink* progress,
                                    unsigned workers = DefaultCipherWorkers());

}  // namespace vaultpack
