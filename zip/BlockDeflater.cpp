#include "zip/BlockDeflater.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <thread>
#include <utility>

#include <libdeflate.h>

#include "files/PerThread.h"
#include "zip/Crc32.h"
#include "zip/DeflateJoin.h"

namespace vaultpack {

namespace {

// Deflate's window: how far back a block might refer into the one before it.
// Blocks are deflated on their own, but the bytes before each are read
// again, to see that the file did not change between the reads.
constexpr std::size_t kWindow = 32 * 1024;
// libdeflate's level 6 on 1 MiB blocks deflates tighter than zlib's level 6
// over the whole file, at about three times its speed.
constexpr int kLevel = 6;

struct CompressorDeleter {
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};

// One compressor and its buffers per thread, made on its first block.
struct BlockScratch {
    std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor;
    std::vector<unsigned char> input;
    std::size_t outputBound = 0;
};

}  // namespace

BlockDeflater::BlockDeflater(FileHandle source, std::uint64_t size)
    // Enough blocks ahead to keep every processor busy while the writer writes;
    // the file's length is found at its last block.
    : source_(std::move(source)),
      size_(size),
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
    if (!scratch.compressor) {
        // Made whole or not at all, so a failure here leaves no compressor without buffers.
        BlockScratch made;
        made.compressor.reset(libdeflate_alloc_compressor(kLevel));
        if (!made.compressor) {
            block.result = ZipResult::OutOfMemory;
            return;
        }
        made.input.resize(kWindow + kBlockSize);
        // Room for a block that does not compress, with the empty block that continues it.
        made.outputBound = libdeflate_deflate_compress_bound(made.compressor.get(), kBlockSize) + 8;
        scratch = std::move(made);
    }
    const std::size_t overlap = index == 0 ? 0 : kWindow;
    const std::uint64_t start = index * kBlockSize;
    const std::size_t wanted = start < size_ ? static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, size_ - start)) : 0;
    std::size_t count = 0;
    try {
        count = source_.ReadAt(start - overlap, scratch.input.data(), overlap + wanted);
    } catch (const FileError& error) {
        block.result = ZipResult::ReadFailed;
        block.readError = error;
        return;
    }
    if (count < overlap + wanted) {
        // The file became shorter than it was when measured.
        block.result = ZipResult::ReadFailed;
        return;
    }
    const unsigned char* data = scratch.input.data() + overlap;
    block.size = wanted;
    block.last = start + wanted >= size_;
    block.crc = Crc32(0, {data, block.size});
    made.overlapCrc = Crc32(0, {scratch.input.data(), overlap});
    if (!block.last) {
        made.tailCrc = Crc32(0, {data + block.size - kWindow, kWindow});
    }

    // Each block is a whole deflate stream of its own; all but the last are
    // made to continue into the next, so that in order they make one stream.
    block.data.resize(scratch.outputBound);
    block.data.resize(
        libdeflate_deflate_compress(scratch.compressor.get(), data, block.size, block.data.data(), block.data.size()));
    if (block.data.empty() || (!block.last && !ContinueAfter(block.data))) {
        block.result = ZipResult::FlationError;
    }
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
    // Bytes before a block that differ from the ones the block before it read
    // mean that the file changed while it was read: the entry would mix two
    // versions of it.
    if (taken_ > 0 && block.result == ZipResult::Success && made->overlapCrc != previousTailCrc_) {
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
