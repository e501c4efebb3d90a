#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "files/FileHandle.h"
#include "files/OrderedWindow.h"
#include "zip/ZipResult.h"

namespace vaultpack {

// Deflates one large file into a single raw deflate stream, cut into blocks
// of kBlockSize that several threads compress at once. Each block is
// deflated on its own with libdeflate and, but for the last, made to continue
// into the next (ContinueAfter), so the blocks, written in order, make one
// ordinary deflate stream whose bytes do not depend on which thread made
// which block. The file is read at offsets, never through its position.
//
// One thread (the writer) takes the blocks in order with Next; any number of
// helpers may call CompressNextBlock meanwhile. At most a few blocks are made
// ahead of the writer, so memory does not depend on the file's size.
class BlockDeflater {
public:
    static constexpr std::size_t kBlockSize = 1024 * 1024;

    // Deflates the first `size` bytes of `source`, its size when measured; a
    // file that turns out shorter fails as a read failure.
    BlockDeflater(FileHandle source, std::uint64_t size);
    BlockDeflater(const BlockDeflater&) = delete;
    BlockDeflater& operator=(const BlockDeflater&) = delete;

    struct Block {
        // Success, ReadFailed (the file could not be read, or changed while
        // it was read), or OutOfMemory.
        ZipResult result = ZipResult::Success;
        // ReadFailed: the read that failed; nothing when the file changed.
        std::optional<FileError> readError;
        std::vector<unsigned char> data;  // deflated
        std::uint32_t crc = 0;            // of the block's file bytes
        std::uint64_t size = 0;           // its count of file bytes
        bool last = false;
    };

    // For the writer: the next block in order. Compresses it on the calling
    // thread when no helper has taken it up, so no helper is needed. After the
    // block marked last, or a failed one, nothing more is made; after Stop,
    // the block's result is PreviousError.
    Block Next();

    // For helpers: compresses the next block nobody has taken up, when one may
    // be made ahead now. False when there was none to make.
    bool CompressNextBlock();
    // Whether CompressNextBlock would find a block to make now.
    bool HasWork() const { return blocks_.HasRoom(); }

    // Makes no more blocks; those being made are dropped. For an entry that
    // is cancelled or failed.
    void Stop() { blocks_.Abort(); }

    // Called on the writer's thread whenever the writer took a block, so that
    // one more may be made ahead.
    void SetWakeUp(std::function<void()> wakeUp);

private:
    struct Made {
        Block block;
        std::uint32_t overlapCrc = 0;  // of the 32 KiB before it, as this block read them
        std::uint32_t tailCrc = 0;        // of its own last 32 KiB, as read
    };

    // Compresses block `index` and hands it to the window.
    void Make(std::uint64_t index);
    void Compress(std::uint64_t index, Made& made) const;

    const FileHandle source_;
    const std::uint64_t size_;
    OrderedWindow<Made> blocks_;
    // The writer's own: the blocks taken, and the CRC of the last one's tail.
    std::uint64_t taken_ = 0;
    std::uint32_t previousTailCrc_ = 0;
    std::mutex wakeUpMutex_;
    std::function<void()> wakeUp_;
};

}  // namespace vaultpack
