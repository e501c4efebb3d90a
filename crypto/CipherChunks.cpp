#include "crypto/CipherChunks.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include <fcntl.h>

#include "crypto/EncryptedFileHeader.h"
#include "files/OrderedWindow.h"
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

// The threads of one pass. Workers claim chunk numbers in order, each writes
// its chunk where it belongs, and the caller takes them in file order, which
// is the order progress is reported in. A chunk holds no memory once written,
// so the window spans the whole pass: one slow chunk does not stop the others.
class ChunkWorkers {
public:
    ChunkWorkers(FileHandle& source, FileHandle& target, const CipherChunkPlan& plan, const ChunkCipher& cipher)
        : source_(source),
          target_(target),
          plan_(plan),
          cipher_(cipher),
          chunkCount_((plan.readBytes + kCipherChunkSize - 1) / kCipherChunkSize),
          chunks_(chunkCount_, chunkCount_) {}
    ~ChunkWorkers() { Stop(); }
    ChunkWorkers(const ChunkWorkers&) = delete;
    ChunkWorkers& operator=(const ChunkWorkers&) = delete;

    std::uint64_t ChunkCount() const { return chunkCount_; }

    // Starts up to `count` workers, as many as the system lets it start;
    // with none, the caller ciphers the chunks itself as it waits for them.
    void Start(unsigned count) {
        workers_.emplace(count, [this](unsigned) { Work(); }, [this] { chunks_.Abort(); }, 0);
    }

    // Waits until the next chunk in file order is written. When a chunk
    // failed, stops the workers and rethrows the failure of the earliest
    // failed chunk, as a single pass would meet it.
    void WaitForNextChunk() {
        if (workers_->Size() == 0) {
            if (const std::optional<std::uint64_t> chunk = chunks_.TryClaim()) {
                chunks_.Finish(*chunk, FailureOfChunk(*chunk, ownBuffer_));
            }
        }
        const std::optional<std::exception_ptr> failure = chunks_.Take();
        if (!failure) {
            // Only a worker that died drops the chunks.
            Stop();
            workers_->RethrowFailure();
            throw std::logic_error("cipher chunks dropped");
        }
        if (*failure) {
            Stop();
            std::rethrow_exception(*failure);
        }
    }

    // No worker takes another chunk; returns once all have ended.
    void Stop() {
        chunks_.Abort();
        if (workers_) {
            workers_->Join();
        }
    }

private:
    void Work() {
        std::vector<unsigned char> buffer;
        while (const std::optional<std::uint64_t> chunk = chunks_.Claim()) {
            const std::exception_ptr failure = FailureOfChunk(*chunk, buffer);
            if (failure) {
                chunks_.EndClaims();
            }
            chunks_.Finish(*chunk, failure);
        }
    }

    // Ciphers one chunk in `buffer`; what that threw, if anything.
    std::exception_ptr FailureOfChunk(std::uint64_t chunk, std::vector<unsigned char>& buffer) const {
        try {
            CipherChunk(source_, target_, plan_, cipher_, chunk, buffer);
        } catch (...) {
            return std::current_exception();
        }
        return nullptr;
    }

    FileHandle& source_;
    FileHandle& target_;
    const CipherChunkPlan& plan_;
    const ChunkCipher& cipher_;
    const std::uint64_t chunkCount_;
    // Each chunk's failure, if it had one.
    OrderedWindow<std::exception_ptr> chunks_;
    std::vector<unsigned char> ownBuffer_;  // the caller's, when no worker could start
    std::optional<WorkerPool> workers_;
};

// The plaintext bytes still to come once `chunks` chunks are written.
std::uint64_t PlainLeftAfter(const CipherChunkPlan& plan, std::uint64_t chunks) {
    const std::uint64_t read = std::min(plan.readBytes, chunks * kCipherChunkSize);
    return plan.plainLength - std::min<std::uint64_t>(plan.plainLength, read);
}

}  // namespace

void CipherChunk(FileHandle& source, FileHandle& target, const CipherChunkPlan& plan, const ChunkCipher& cipher,
                 std::uint64_t chunk, std::vector<unsigned char>& buffer) {
    buffer.resize(kCipherChunkSize);
    const std::uint64_t start = chunk * kCipherChunkSize;
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(kCipherChunkSize, plan.readBytes - start));
    const std::size_t got = source.ReadAt(plan.sourceOffset + start, buffer.data(), wanted);
    if (got != wanted) {
        throw FailureError(Failure::Of(FailureReason::SourceShrank, source.Path()));
    }
    const auto cipherLength = static_cast<std::size_t>(PaddedLength(got));
    std::memset(buffer.data() + got, 0, cipherLength - got);
    cipher(buffer.data(), buffer.data(), cipherLength);
    const std::uint64_t writeLeft = plan.writeBytes - std::min(plan.writeBytes, start);
    const auto writeLength = static_cast<std::size_t>(std::min<std::uint64_t>(cipherLength, writeLeft));
    target.WriteAt(plan.targetOffset + start, buffer.data(), writeLength);
    if (plan.startWriteback) {
        // Only a hint to begin the disk writes now; the caller's flush
        // reports any failure.
        ::sync_file_range(target.Descriptor(), static_cast<off_t>(plan.targetOffset + start),
                          static_cast<off_t>(writeLength), SYNC_FILE_RANGE_WRITE);
    }
}

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
    // one but the last.
    for (std::uint64_t reported = 0; reported < chunkCount; ++reported) {
        pass.WaitForNextChunk();
        if (progress != nullptr) {
            progress->SetPosition(scale.PositionFor(PlainLeftAfter(plan, reported + 1)));
        }
        if (reported + 1 < chunkCount && cancelRequested()) {
            return FileOperationStatus::Cancelled;
        }
    }
    pass.Stop();
    if (progress != nullptr) {
        progress->SetPosition(scale.Range());
    }
    return FileOperationStatus::Completed;
}

}  // namespace vaultpack
