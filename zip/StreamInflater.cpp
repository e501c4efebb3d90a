#include "zip/StreamInflater.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include "files/WorkerPool.h"
#include "zip/ZipFormat.h"

namespace vaultpack {

namespace {

constexpr std::size_t kInputPiece = 256 * 1024;
constexpr std::size_t kOutputPiece = 1024 * 1024;
// Pieces inflated ahead of the one being written: enough to keep both
// threads busy, few enough to keep memory small.
constexpr std::size_t kPiecesInFlight = 4;

using Piece = std::vector<unsigned char>;

// Writes pieces to a file on its own thread, in the order they are handed
// over; on the calling thread, as they are handed over, when the system lets
// no thread start.
class PieceWriter {
public:
    explicit PieceWriter(FileHandle& file) : file_(file) {
        for (std::size_t i = 0; i < kPiecesInFlight; ++i) {
            free_.emplace_back(kOutputPiece);
        }
        thread_.emplace(1, [this](unsigned) { Run(); }, std::function<void()>(), 0);
    }
    // Stops the thread; pieces not yet written are dropped.
    ~PieceWriter() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.reset();
    }
    PieceWriter(const PieceWriter&) = delete;
    PieceWriter& operator=(const PieceWriter&) = delete;

    // A piece to fill, once one is free; empty after a write failed.
    Piece Acquire() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return failed_ || !free_.empty(); });
        if (failed_) {
            return {};
        }
        Piece piece = std::move(free_.front());
        free_.pop_front();
        piece.resize(kOutputPiece);
        return piece;
    }

    // Hands over a filled piece, cut to its used size, for writing.
    void Write(Piece piece) {
        if (thread_->Size() == 0) {
            const bool written = WritePiece(piece);
            const std::lock_guard lock(mutex_);
            failed_ = !written;
            free_.push_back(std::move(piece));
            return;
        }
        {
            const std::lock_guard lock(mutex_);
            full_.push_back(std::move(piece));
        }
        changed_.notify_all();
    }

    // Waits until every piece handed over is written; WriteFailed when one was not.
    ZipResult Finish() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return failed_ || (full_.empty() && !writing_); });
        return failed_ ? ZipResult::WriteFailed : ZipResult::Success;
    }

private:
    bool WritePiece(const Piece& piece) {
        try {
            file_.WriteAll(piece.data(), piece.size());
        } catch (const FileError&) {
            return false;
        }
        return true;
    }

    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return stopping_ || !full_.empty(); });
            if (stopping_ || failed_) {
                return;
            }
            Piece piece = std::move(full_.front());
            full_.pop_front();
            writing_ = true;
            lock.unlock();
            const bool written = WritePiece(piece);
            lock.lock();
            writing_ = false;
            failed_ = !written;
            free_.push_back(std::move(piece));
            changed_.notify_all();
        }
    }

    FileHandle& file_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Piece> free_;
    std::deque<Piece> full_;
    bool writing_ = false;
    bool failed_ = false;
    bool stopping_ = false;
    std::optional<WorkerPool> thread_;
};

// Reads the entry's compressed bytes in pieces.
class DataReader {
public:
    DataReader(const ZipArchiveFile& archive, std::uint64_t offset, std::uint64_t size)
        : archive_(archive), offset_(offset), remaining_(size), buffer_(kInputPiece) {}

    bool AtEnd() const { return remaining_ == 0; }
    // The next piece, or an empty span when reading fails.
    std::span<unsigned char> Read() {
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, buffer_.size()));
        if (!archive_.ReadAt(offset_, buffer_.data(), size)) {
            return {};
        }
        offset_ += size;
        remaining_ -= size;
        return {buffer_.data(), size};
    }

private:
    const ZipArchiveFile& archive_;
    std::uint64_t offset_;
    std::uint64_t remaining_;
    std::vector<unsigned char> buffer_;
};

ZipResult InflateStream(const ZipArchiveFile& archive, const CentralRecord& record, std::uint64_t dataOffset,
                        FileHandle& file, const std::function<bool()>& cancelRequested) {
    const bool stored = record.method == kMethodStored;
    if (stored && record.compressedSize != record.uncompressedSize) {
        return ZipResult::CorruptArchive;
    }
    DataReader reader(archive, dataOffset, record.compressedSize);
    auto state = std::make_unique<inflate_state>();
    isal_inflate_init(state.get());
    state->crc_flag = ISAL_DEFLATE;  // raw deflate; the CRC is taken piece by piece below
    PieceWriter writer(file);
    std::uint64_t produced = 0;
    std::uint32_t crc = 0;
    for (bool finished = false; !finished;) {
        if (cancelRequested && cancelRequested()) {
            return ZipResult::PartiallyUnzipped;
        }
        Piece piece = writer.Acquire();
        if (piece.empty()) {
            return ZipResult::WriteFailed;
        }
        state->next_out = piece.data();
        state->avail_out = static_cast<std::uint32_t>(piece.size());
        // Fills the piece, or ends with the data.
        while (state->avail_out > 0 && !finished) {
            if (state->avail_in == 0 && !reader.AtEnd()) {
                const std::span<unsigned char> input = reader.Read();
                if (input.empty()) {
                    return ZipResult::ReadFailed;
                }
                state->next_in = input.data();
                state->avail_in = static_cast<std::uint32_t>(input.size());
            }
            if (stored) {
                const std::uint32_t count = std::min(state->avail_in, state->avail_out);
                std::copy_n(state->next_in, count, state->next_out);
                state->next_in += count;
                state->avail_in -= count;
                state->next_out += count;
                state->avail_out -= count;
                finished = state->avail_in == 0 && reader.AtEnd();
                continue;
            }
            const std::uint32_t room = state->avail_out;
            if (isal_inflate(state.get()) != ISAL_DECOMP_OK) {
                return ZipResult::CorruptArchive;
            }
            finished = state->block_state == ISAL_BLOCK_FINISH;
            if (!finished && state->avail_in == 0 && reader.AtEnd() && state->avail_out == room) {
                return ZipResult::CorruptArchive;  // the data ended inside the deflate stream
            }
        }
        const auto size = static_cast<std::size_t>(state->next_out - piece.data());
        produced += size;
        if (produced > record.uncompressedSize) {
            return ZipResult::CorruptArchive;
        }
        crc = crc32_gzip_refl(crc, piece.data(), size);
        piece.resize(size);
        writer.Write(std::move(piece));
    }
    const ZipResult result = writer.Finish();
    if (result != ZipResult::Success) {
        return result;
    }
    return produced == record.uncompressedSize && crc == record.crc ? ZipResult::Success : ZipResult::CorruptArchive;
}

}  // namespace

ZipResult InflateStreamToFile(const ZipArchiveFile& archive, const CentralRecord& record, std::uint64_t dataOffset,
                              FileHandle& file, const std::function<bool()>& cancelRequested) {
    try {
        return InflateStream(archive, record, dataOffset, file, cancelRequested);
    } catch (const std::bad_alloc&) {
        return ZipResult::OutOfMemory;
    }
}

}  // namespace vaultpack
