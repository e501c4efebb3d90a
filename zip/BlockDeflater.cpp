#include "zip/BlockDeflater.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <thread>
#include <utility>

#include <zlib.h>

#include "files/PerThread.h"
#include "zip/Crc32.h"

namespace vaultpack {

namespace {

// Deflate's window: how far back a block may refer into the one before it.
constexpr std::size_t kWindow = 32 * 1024;
// zlib's default for level 6, as whole files stream it.
constexpr int kMemoryLevel = 8;

struct DeflateEnd {
    void operator()(z_stream* stream) const {
        deflateEnd(stream);
        delete stream;
    }
};

// One deflate stream and its buffers per thread, made on its first block.
struct BlockScratch {
    std::unique_ptr<z_stream, DeflateEnd> stream;
    std::vector<unsigned char> input;
    std::vector<unsigned char> output;
};

z_stream* NewDeflateStream() {
    auto stream = std::make_unique<z_stream>();
    if (deflateInit2(stream.get(), Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, kMemoryLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        return nullptr;
    }
    return stream.release();
}

}  // namespace

BlockDeflater::BlockDeflater(FileHandle source)
    // Enough blocks ahead to keep every processor busy while the writer writes;
    // the file's length is found at its last block.
    : source_(std::move(source)),
      blocks_(std::numeric_limits<std::uint64_t>::max(), std::clamp(2 * std::thread::hardware_concurrency(), 4u, 16u)) {}

void BlockDeflater::Compress(std::uint64_t index, Made& made) const {
    static PerThread<BlockScratch> perThread;
    Block& block = made.block;
    BlockScratch* const scratchOfThread = perThread.Get();
    if (scratchOfThread == nullptr) {
        block.result = ZipResult::OutOfMemory;
        return;
    }
    BlockScratch& scratch = *scratchOfThread;
    if (!scratch.stream) {
        // Made whole or not at all, so a failure here leaves no stream without buffers.
        BlockScratch made;
        made.stream.reset(NewDeflateStream());
        if (!made.stream) {
            block.result = ZipResult::OutOfMemory;
            return;
        }
        made.input.resize(kWindow + kBlockSize);
        // Room for a block that does not compress, with its flush marker.
        made.output.resize(deflateBound(made.stream.get(), kBlockSize) + 16);
        scratch = std::move(made);
    }
    const std::size_t dictionarySize = index == 0 ? 0 : kWindow;
    std::size_t count = 0;
    try {
        count = source_.ReadAt(index * kBlockSize - dictionarySize, scratch.input.data(),
                               dictionarySize + kBlockSize);
    } catch (const FileError& error) {
        block.result = ZipResult::ReadFailed;
        block.readError = error;
        return;
    }
    if (count < dictionarySize) {
        // The file is shorter than when the block before was read.
        block.result = ZipResult::ReadFailed;
        return;
    }
    const unsigned char* data = scratch.input.data() + dictionarySize;
    block.size = count - dictionarySize;
    block.last = block.size < kBlockSize;
    block.crc = Crc32(0, {data, block.size});
    made.dictionaryCrc = Crc32(0, {scratch.input.data(), dictionarySize});
    if (!block.last) {
        made.tailCrc = Crc32(0, {data + block.size - kWindow, kWindow});
    }

    z_stream& stream = *scratch.stream;
    deflateReset(&stream);
    if (dictionarySize > 0) {
        deflateSetDictionary(&stream, scratch.input.data(), static_cast<uInt>(dictionarySize));
    }
    stream.next_in = const_cast<unsigned char*>(data);
    stream.avail_in = static_cast<uInt>(block.size);
    stream.next_out = scratch.output.data();
    stream.avail_out = static_cast<uInt>(scratch.output.size());
    // A sync flush ends the block on a byte boundary with the stream still open.
    const int status = deflate(&stream, block.last ? Z_FINISH : Z_SYNC_FLUSH);
    if (stream.avail_in != 0 || (block.last ? status != Z_STREAM_END : status != Z_OK)) {
        block.result = ZipResult::FlationError;
        return;
    }
    block.data.assign(scratch.output.data(), stream.next_out);
}

void BlockDeflater::Make(std::uint64_t index) {
    Made made;
    try {
        Compress(index, made);
    } catch (const std::bad_alloc&) {
        // Its buffers, or the block's data: the writer meets the failure in order.
        made.block.result = ZipResult::OutOfMemory;
    }
    if (made.block.last || made.block.result != ZipResult::Success) {
        blocks_.EndClaims();
    }
    blocks_.Finish(index, std::move(made));
}

BlockDeflater::Block BlockDeflater::Next() {
    if (const std::optional<std::uint64_t> index = blocks_.TryClaimNextToTake()) {
        Make(*index);
    }
    std::optional<Made> made = blocks_.Take();
    if (!made) {
        Block stopped;
        stopped.result = ZipResult::PreviousError;
        return stopped;
    }
    Block& block = made->block;
    // A block primed with other bytes than the ones the block before it read
    // would not decompress to the file: it changed while it was read.
    if (taken_ > 0 && block.result == ZipResult::Success && made->dictionaryCrc != previousTailCrc_) {
        block.result = ZipResult::ReadFailed;
        blocks_.EndClaims();
    }
    ++taken_;
    previousTailCrc_ = made->tailCrc;
    std::function<void()> wakeUp;
    if (blocks_.HasRoom()) {
        const std::lock_guard lock(wakeUpMutex_);
        wakeUp = wakeUp_;
    }
    if (wakeUp) {
        wakeUp();
    }
    return std::move(block);
}

bool BlockDeflater::CompressNextBlock() {
    const std::optional<std::uint64_t> index = blocks_.TryClaim();
    if (!index) {
        return false;
    }
    Make(*index);
    return true;
}

void BlockDeflater::SetWakeUp(std::function<void()> wakeUp) {
    const std::lock_guard lock(wakeUpMutex_);
    wakeUp_ = std::move(wakeUp);
}

}  // namespace vaultpack
