#include "crypto/CipherChunks.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <fcntl.h>

#include "crypto/EncryptedFileHeader.h"
#include "files/WorkerPool.h"

namespace vaultpack {
namespace {

// The progress bar counts 64 KiB units for lengths of 64 KiB and more, bytes
// below that, so its range always fits 16 bits.
class ProgressScale {
public:
    explicit ProgressScale(std::uint32_t plainLength) : shift_(plainLength >= 65536 ? 16 : 0), range_(plainLength >> shift_) {}
    std::uint32_t Range() const { return range_; }
    std::uint32_t PositionFor(std::uint64_t plainLeft) const {
        return range_ - static_cast<std::uint32_t>(plainLeft >> shift_);
    }

private:
    int shift_;
    std::uint32_t range_;
};

// The threads of one pass. Workers take chunk numbers in increasing order
// under the lock and say which one they hold, so every chunk below the lowest
// one held or not yet taken is written: the caller reports progress in file
// order from that alone, with memory for one chunk per worker.
class ChunkWorkers {
public:
    ChunkWorkers(FileHandle& source, FileHandle& target, const CipherChunkPlan& plan, const ChunkCipher& cipher)
        : source_(source),
          target_(target),
          plan_(plan),
          cipher_(cipher),
          chunkCount_((plan.readBytes + kCipherChunkSize - 1) / kCipherChunkSize) {}
    ~ChunkWorkers() { Stop(); }
    ChunkWorkers(const ChunkWorkers&) = delete;
    ChunkWorkers& operator=(const ChunkWorkers&) = delete;

    std::uint64_t ChunkCount() const { return chunkCount_; }

    // Starts up to `count` workers, as many as the system lets it start;
    // with none, the caller ciphers the chunks itself as it waits for them.
    void Start(unsigned count) {
        held_.assign(count, kNone);
        threads_.emplace(count, [this](unsigned slot) { Work(slot); }, std::function<void()>(), 0);
    }

    // Waits until another chunk is done; returns how many chunks from the
    // start are written. When a chunk failed, stops the workers and rethrows
    // the failure of the earliest failed chunk, as a single pass would meet it.
    std::uint64_t WaitForNextChunk() {
        std::unique_lock lock(mutex_);
        if (threads_->Size() == 0) {
            CipherNextChunk(lock, 0, ownBuffer_);
        }
        changed_.wait(lock, [this] { return failure_ || done_ != doneSeen_; });
        if (failure_) {
            const std::exception_ptr failure = failure_;
            lock.unlock();
            Stop();
            std::rethrow_exception(failure);
        }
        doneSeen_ = done_;
        std::uint64_t written = next_;
        for (const std::uint64_t chunk : held_) {
            written = std::min(written, chunk);
        }
        return written;
    }

    // No worker takes another chunk; returns once all have ended.
    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        if (threads_) {
            threads_->Join();
        }
    }

private:
    static constexpr std::uint64_t kNone = std::numeric_limits<std::uint64_t>::max();

    void Work(std::size_t slot) {
        std::vector<unsigned char> buffer;
        std::unique_lock lock(mutex_);
        while (CipherNextChunk(lock, slot, buffer)) {
        }
    }

    // With the lock held: takes the next chunk, unless none is left or the
    // pass stops, ciphers it with the lock released and marks it done.
    bool CipherNextChunk(std::unique_lock<std::mutex>& lock, std::size_t slot, std::vector<unsigned char>& buffer) {
        if (stopping_ || next_ >= chunkCount_) {
            return false;
        }
        const std::uint64_t chunk = next_++;
        held_[slot] = chunk;
        lock.unlock();
        std::exception_ptr failure;
        try {
            buffer.resize(kCipherChunkSize);
            Cipher(chunk, buffer.data());
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        held_[slot] = kNone;
        ++done_;
        if (failure && (!failure_ || chunk < failedChunk_)) {
            failure_ = failure;
            failedChunk_ = chunk;
            stopping_ = true;
        }
        changed_.notify_all();
        return true;
    }

    void Cipher(std::uint64_t chunk, unsigned char* buffer) const {
        const std::uint64_t start = chunk * kCipherChunkSize;
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(kCipherChunkSize, plan_.readBytes - start));
        const std::size_t got = source_.ReadAt(plan_.sourceOffset + start, buffer, wanted);
        if (got != wanted) {
            throw CryptoError(CryptoFailure::SourceShrank, source_.Path());
        }
        const auto cipherLength = static_cast<std::size_t>(PaddedLength(got));
        std::memset(buffer + got, 0, cipherLength - got);
        cipher_(buffer, buffer, cipherLength);
        const std::uint64_t writeLeft = plan_.writeBytes - std::min(plan_.writeBytes, start);
        const auto writeLength = static_cast<std::size_t>(std::min<std::uint64_t>(cipherLength, writeLeft));
        target_.WriteAt(plan_.targetOffset + start, buffer, writeLength);
        if (plan_.startWriteback) {
            // Only a hint to begin the disk writes now; the caller's flush
            // reports any failure.
            ::sync_file_range(target_.Descriptor(), static_cast<off_t>(plan_.targetOffset + start),
                              static_cast<off_t>(writeLength), SYNC_FILE_RANGE_WRITE);
        }
    }

    FileHandle& source_;
    FileHandle& target_;
    const CipherChunkPlan& plan_;
    const ChunkCipher& cipher_;
    const std::uint64_t chunkCount_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t next_ = 0;
    std::vector<std::uint64_t> held_;
    std::uint64_t done_ = 0;
    std::uint64_t doneSeen_ = 0;
    bool stopping_ = false;
    std::exception_ptr failure_;
    std::uint64_t failedChunk_ = 0;
    std::vector<unsigned char> ownBuffer_;  // the caller's, when no worker could start
    std::optional<WorkerPool> threads_;
};

// The plaintext bytes still to come once `chunks` chunks are written.
std::uint64_t PlainLeftAfter(const CipherChunkPlan& plan, std::uint64_t chunks) {
    const std::uint64_t read = std::min(plan.readBytes, chunks * kCipherChunkSize);
    return plan.plainLength - std::min<std::uint64_t>(plan.plainLength, read);
}

}  // namespace

unsigned DefaultCipherWorkers() {
    // The cap keeps memory small on very large machines, where the disk
    // limits the pass long before the cipher does.
    constexpr unsigned kMostWorkers = 64;
    return std::clamp(std::thread::hardware_concurrency(), 1u, kMostWorkers);
}

FileOperationStatus RunCipherChunks(FileHandle& source, FileHandle& target, const CipherChunkPlan& plan,
                                    const ChunkCipher& cipher, ProgressSink* progress, unsigned workers) {
    const ProgressScale scale(plan.plainLength);
    if (progress != nullptr) {
        progress->SetRange(scale.Range());
    }
    const auto cancelRequested = [progress] { return progress != nullptr && progress->CancelRequested(); };

    ChunkWorkers pass(source, target, plan, cipher);
    const std::uint64_t chunkCount = pass.ChunkCount();
    if (chunkCount > 0 && cancelRequested()) {
        return FileOperationStatus::Cancelled;
    }
    pass.Start(static_cast<unsigned>(std::min<std::uint64_t>(std::max(workers, 1u), chunkCount)));

    // Positions go out in file order; the cancel request is polled after each
    // one but the last, and also when a chunk beyond the written ones ends.
    std::uint64_t reported = 0;
    while (reported < chunkCount) {
        const std::uint64_t written = pass.WaitForNextChunk();
        if (written == reported && cancelRequested()) {
            return FileOperationStatus::Cancelled;
        }
        for (; reported < written; ++reported) {
            if (progress != nullptr) {
                progress->SetPosition(scale.PositionFor(PlainLeftAfter(plan, reported + 1)));
            }
            if (reported + 1 < chunkCount && cancelRequested()) {
                return FileOperationStatus::Cancelled;
            }
        }
    }
    pass.Stop();
    if (progress != nullptr) {
        progress->SetPosition(scale.Range());
    }
    return FileOperationStatus::Completed;
}

}  // namespace vaultpack
