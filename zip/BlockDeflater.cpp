#include "zip/BlockDeflater.h"

#include <algorithm>
#include <memory>
#include <new>
#include <thread>
#include <utility>

#include <libdeflate.h>
#include <zlib.h>

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
    // Enough blocks ahead to keep every processor busy while the writer writes.
    : source_(std::move(source)), blocksAhead_(std::clamp(2 * std::thread::hardware_concurrency(), 4u, 16u)) {}

void BlockDeflater::Compress(std::uint64_t index, Pending& pending) const {
    thread_local BlockScratch scratch;
    Block& block = pending.block;
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
    } catch (const FileError&) {
        block.result = ZipResult::ReadFailed;
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
    block.crc = static_cast<std::uint32_t>(libdeflate_crc32(0, data, block.size));
    pending.dictionaryCrc = static_cast<std::uint32_t>(libdeflate_crc32(0, scratch.input.data(), dictionarySize));
    if (!block.last) {
        pending.tailCrc = static_cast<std::uint32_t>(libdeflate_crc32(0, data + block.size - kWindow, kWindow));
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

void BlockDeflater::MakeBlock(std::unique_lock<std::mutex>& lock) {
    // Claimed only once its place is made, which may fail for want of memory.
    Pending& pending = pending_[nextClaim_];
    const std::uint64_t index = nextClaim_++;
    lock.unlock();
    try {
        Compress(index, pending);
    } catch (const std::bad_alloc&) {
        // Its buffers, or the block's data: the writer meets the failure in order.
        pending.block.result = ZipResult::OutOfMemory;
    }
    lock.lock();
    pending.done = true;
    if (pending.block.last || pending.block.result != ZipResult::Success) {
        ended_ = true;
    }
    finished_.notify_all();
}

BlockDeflater::Block BlockDeflater::Next() {
    std::unique_lock lock(mutex_);
    if (nextClaim_ == next_) {
        MakeBlock(lock);
    }
    finished_.wait(lock, [&] { return pending_.at(next_).done; });
    auto node = pending_.extract(next_);
    Pending& pending = node.mapped();
    // A block primed with other bytes than the ones the block before it read
    // would not decompress to the file: it changed while it was read.
    if (next_ > 0 && pending.block.result == ZipResult::Success && pending.dictionaryCrc != previousTailCrc_) {
        pending.block.result = ZipResult::ReadFailed;
    }
    ++next_;
    previousTailCrc_ = pending.tailCrc;
    if (pending.block.result != ZipResult::Success) {
        ended_ = true;
    }
    const std::function<void()> wakeUp = HasWorkLocked() ? wakeUp_ : nullptr;
    lock.unlock();
    if (wakeUp) {
        wakeUp();
    }
    return std::move(pending.block);
}

bool BlockDeflater::CompressNextBlock() {
    std::unique_lock lock(mutex_);
    if (!HasWorkLocked()) {
        return false;
    }
    MakeBlock(lock);
    return true;
}

bool BlockDeflater::HasWorkLocked() const {
    return !ended_ && nextClaim_ < next_ + blocksAhead_;
}

bool BlockDeflater::HasWork() const {
    const std::lock_guard lock(mutex_);
    return HasWorkLocked();
}

void BlockDeflater::Stop() {
    const std::lock_guard lock(mutex_);
    ended_ = true;
}

void BlockDeflater::SetWakeUp(std::function<void()> wakeUp) {
    const std::lock_guard lock(mutex_);
    wakeUp_ = std::move(wakeUp);
}

}  // namespace vaultpack
