#include "zip/StreamInflater.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include <isa-l/igzip_lib.h>

#include "files/OrderedWindow.h"
#include "files/WorkerPool.h"
#include "zip/Crc32.h"
#include "zip/EntryCipher.h"
#include "zip/ZipFormat.h"

namespace vaultpack {

namespace {

constexpr std::size_t kInputPiece = 256 * 1024;
constexpr std::size_t kOutputPiece = 1024 * 1024;
// Pieces inflated ahead of the one being written: enough to keep both
// threads busy, few enough to keep memory small.
constexpr std::size_t kPiecesInFlight = 4;

// A piece of the entry's data, inflated and waiting to be written.
struct Piece {
    std::unique_ptr<unsigned char[]> bytes;
    std::size_t size = 0;
};

// Writes the pieces handed over to a file in their order, on a thread of its
// own while the caller inflates the next ones; on the calling thread, as they
// are handed over, when the system lets no thread start. At most
// kPiecesInFlight are held at once.
class PieceWriter {
public:
    explicit PieceWriter(FileHandle& file)
        : file_(file),
          pieces_(std::numeric_limits<std::uint64_t>::max(), kPiecesInFlight),
          thread_(1, [this](unsigned) { Run(); }, [this] { pieces_.Abort(); }, 0) {}
    // Stops the thread; pieces not yet written are dropped.
    ~PieceWriter() {
        pieces_.Abort();
        thread_.Join();
    }
    PieceWriter(const PieceWriter&) = delete;
    PieceWriter& operator=(const PieceWriter&) = delete;

    // The number of the next piece, once it may be made; nothing after a write failed.
    std::optional<std::uint64_t> Claim() { return pieces_.Claim(); }

    // A buffer for a piece: one whose piece is written, or a new one.
    std::unique_ptr<unsigned char[]> Buffer() {
        {
            const std::lock_guard lock(spareMutex_);
            if (!spare_.empty()) {
                std::unique_ptr<unsigned char[]> buffer = std::move(spare_.back());
                spare_.pop_back();
                return buffer;
            }
        }
        return std::make_unique_for_overwrite<unsigned char[]>(kOutputPiece);
    }

    // Hands over the filled piece of a claimed number for writing.
    void Write(std::uint64_t number, Piece piece) {
        pieces_.Finish(number, std::move(piece));
        if (thread_.Size() == 0) {
            WriteNext();
        }
    }

    // Waits until every piece handed over is written; rethrows the FileError
    // of one that was not, which says why.
    void Finish() {
        pieces_.EndClaims();
        thread_.Join();
        RethrowWriteFailure();
    }

    // After Claim found the window closed: the write failure that closed it.
    void RethrowWriteFailure() const {
        if (failed_) {
            std::rethrow_exception(failure_);
        }
    }

private:
    // Writes the next piece in order; false when there is none any more or the write failed.
    bool WriteNext() {
        std::optional<Piece> piece = pieces_.Take();
        if (!piece) {
            return false;
        }
        try {
            file_.WriteAll(piece->bytes.get(), piece->size);
        } catch (const FileError&) {
            // Published by the window's lock, which Abort takes.
            failure_ = std::current_exception();
            failed_ = true;
            pieces_.Abort();
            return false;
        }
        // Reused, which saves the page faults of a new buffer for every piece.
        const std::lock_guard lock(spareMutex_);
        spare_.push_back(std::move(piece->bytes));
        return true;
    }

    void Run() {
        while (WriteNext()) {
        }
    }

    FileHandle& file_;
    std::atomic<bool> failed_{false};
    std::exception_ptr failure_;
    std::mutex spareMutex_;
    std::vector<std::unique_ptr<unsigned char[]>> spare_;
    OrderedWindow<Piece> pieces_;
    WorkerPool thread_;
};

// Reads the entry's compressed bytes in pieces, decrypted when a decryptor
// is given.
class DataReader {
public:
    DataReader(const ZipArchiveFile& archive, std::uint64_t offset, std::uint64_t size,
               EntryDecryptor* decryptor)
        : archive_(archive), offset_(offset), remaining_(size), buffer_(kInputPiece), decryptor_(decryptor) {}

    bool AtEnd() const { return remaining_ == 0; }
    // The next piece, or an empty span when reading fails.
    std::span<unsigned char> Read() {
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, buffer_.size()));
        if (!archive_.ReadAt(offset_, buffer_.data(), size)) {
            return {};
        }
        offset_ += size;
        remaining_ -= size;
        if (decryptor_ != nullptr) {
            decryptor_->Decrypt(buffer_.data(), size);
        }
        return {buffer_.data(), size};
    }

private:
    const ZipArchiveFile& archive_;
    std::uint64_t offset_;
    std::uint64_t remaining_;
    std::vector<unsigned char> buffer_;
    EntryDecryptor* decryptor_;
};

// The decryptor of an encrypted entry, opened with the bytes in front of its
// data; the data's offset and size then leave out those in front and after.
ZipResult OpenDecryptor(const ZipArchiveFile& archive, const EntryProtection& protection, PasswordUse& use,
                        std::uint64_t& offset, std::uint64_t& size, std::optional<EntryDecryptor>& decryptor) {
    const std::size_t header = protection.HeaderSize();
    const std::size_t trailer = protection.TrailerSize();
    if (size < header + trailer || use.password == nullptr) {
        return ZipResult::CorruptArchive;
    }
    std::vector<unsigned char> bytes(header);
    if (!archive.ReadAt(offset, bytes.data(), bytes.size())) {
        return ZipResult::ReadFailed;
    }
    decryptor = EntryDecryptor::Open(protection, *use.password, bytes);
    if (!decryptor) {
        use.refusal = FailureReason::EntryWrongPassword;
        return ZipResult::CorruptArchive;
    }
    offset += header;
    size -= header + trailer;
    return ZipResult::Success;
}

// Whether the bytes after the data hold the code of the data read.
ZipResult CheckTrailer(const ZipArchiveFile& archive, const EntryProtection& protection, PasswordUse& use,
                       std::uint64_t offset, EntryDecryptor& decryptor) {
    std::vector<unsigned char> trailer(protection.TrailerSize());
    if (!archive.ReadAt(offset, trailer.data(), trailer.size())) {
        return ZipResult::ReadFailed;
    }
    if (!decryptor.Authentic(trailer)) {
        use.refusal = FailureReason::EntryDataChanged;
        return ZipResult::CorruptArchive;
    }
    return ZipResult::Success;
}

ZipResult InflateStream(const ZipArchiveFile& archive, const CentralRecord& record, std::uint64_t dataOffset,
                        FileHandle& file, const std::function<bool()>& cancelRequested, PasswordUse& use) {
    const EntryProtection protection = ProtectionOf(record);
    std::uint64_t dataSize = record.compressedSize;
    std::optional<EntryDecryptor> decryptor;
    if (protection.scheme != EntryEncryption::None) {
        if (const ZipResult result = OpenDecryptor(archive, protection, use, dataOffset, dataSize, decryptor);
            result != ZipResult::Success) {
            return result;
        }
    }
    const bool stored = protection.method == kMethodStored;
    if (stored && dataSize != record.uncompressedSize) {
        return ZipResult::CorruptArchive;
    }
    DataReader reader(archive, dataOffset, dataSize, decryptor ? &*decryptor : nullptr);
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
        const std::optional<std::uint64_t> number = writer.Claim();
        if (!number) {
            writer.RethrowWriteFailure();
            return ZipResult::WriteFailed;  // not reached: only a failed write closes the window early
        }
        Piece piece{writer.Buffer()};
        state->next_out = piece.bytes.get();
        state->avail_out = static_cast<std::uint32_t>(kOutputPiece);
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
        piece.size = static_cast<std::size_t>(state->next_out - piece.bytes.get());
        produced += piece.size;
        if (produced > record.uncompressedSize) {
            return ZipResult::CorruptArchive;
        }
        crc = Crc32(crc, {piece.bytes.get(), piece.size});
        writer.Write(*number, std::move(piece));
    }
    writer.Finish();
    if (decryptor) {
        // The code covers every byte up to it, also any the deflate stream
        // did not need: those are read (and so authenticated) as well.
        while (!reader.AtEnd()) {
            if (reader.Read().empty()) {
                return ZipResult::ReadFailed;
            }
        }
        if (const ZipResult result = CheckTrailer(archive, protection, use, dataOffset + dataSize, *decryptor);
            result != ZipResult::Success) {
            return result;
        }
    }
    // AE-2 stores no CRC: its authentication code covers the data.
    if (produced != record.uncompressedSize || (protection.checkCrc && crc != record.crc)) {
        NoteTraditionalMismatch(protection, use);
        return ZipResult::CorruptArchive;
    }
    return ZipResult::Success;
}

}  // namespace

ZipResult InflateStreamToFile(const ZipArchiveFile& archive, const CentralRecord& record, std::uint64_t dataOffset,
                              FileHandle& file, const std::function<bool()>& cancelRequested, PasswordUse& use) {
    try {
        return InflateStream(archive, record, dataOffset, file, cancelRequested, use);
    } catch (const std::bad_alloc&) {
        return ZipResult::OutOfMemory;
    }
}

}  // namespace vaultpack
