#include "zip/ZipWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "files/FileHandle.h"
#include "files/FileName.h"
#include "files/OwnTemporaryFiles.h"
#include "files/TemporaryFileRegistry.h"
#include "zip/ArchiveStream.h"
#include "zip/Crc32.h"
#include "zip/EntryCipher.h"
#include "zip/EntryProtection.h"
#include "zip/EntryPath.h"
#include "zip/WholeFileCompression.h"
#include "zip/ZipFormat.h"

namespace vaultpack {

namespace {

constexpr std::size_t kPieceSize = 16 * 1024;
// The local header must say before the data whether an entry needs Zip64
// fields. Deflate can grow incompressible data a little, and encryption adds
// its salt and code, so sources within 16 MiB of 4 GiB get them too.
constexpr std::uint64_t kZip64Threshold = 0xFFFFFFFFull - 16 * 1024 * 1024;

std::time_t CreationTime(int fd, const struct stat& status) {
    struct statx extended {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &extended) == 0 && (extended.stx_mask & STATX_BTIME) != 0) {
        return static_cast<std::time_t>(extended.stx_btime.tv_sec);
    }
    return status.st_mtime;
}

// The stored form of a name: "/" separators.
std::string StoredForm(std::string_view storedName) {
    std::string name(storedName);
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

}  // namespace

std::unique_ptr<ZipWriter> ZipWriter::Create(const FileHandle& archive, const std::filesystem::path& shownPath,
                                             Failure* failure) {
    std::unique_ptr<ZipWriter> writer(new ZipWriter());
    writer->archive_.path = shownPath;
    if (!writer->archive_.Open(archive.Descriptor())) {
        if (failure != nullptr) {
            *failure = Failure::OfFile(FileOperation::Create, shownPath, writer->archive_.writeError);
        }
        return nullptr;
    }
    writer->open_ = true;
    writer->input_.resize(kPieceSize);
    return writer;
}

std::unique_ptr<ZipWriter> ZipWriter::Create(const std::filesystem::path& archivePath, Failure* failure) {
    FileHandle file;
    try {
        file = FileHandle::CreateOrTruncate(archivePath);
    } catch (const FileError& error) {
        if (failure != nullptr) {
            *failure = error.Get();
        }
        return nullptr;
    }
    std::unique_ptr<ZipWriter> writer = Create(file, archivePath, failure);
    if (writer) {
        writer->created_ = std::move(file);
    }
    return writer;
}

ZipWriter::~ZipWriter() {
    if (open_) {
        records_.Finish();
    }
}

void ZipWriter::ProtectWithAes(std::string password) {
    aesPassword_ = std::move(password);
}

ZipResult ZipWriter::AddFile(std::string_view storedName, const std::filesystem::path& sourcePath,
                             const std::function<bool()>& cancelRequested,
                             const std::function<void(std::uint64_t)>& bytesWritten) {
    if (!open_ || stickyError_ != ZipResult::Success || !IsAcceptableName(storedName)) {
        // AddPrepared gives the reason without reading anything.
        PreparedEntry nothing;
        return AddPrepared(storedName, nothing, cancelRequested);
    }
    PreparedEntry entry = Prepare(storedName, sourcePath);
    return AddPrepared(storedName, entry, cancelRequested, bytesWritten);
}

PreparedEntry ZipWriter::Prepare(std::string_view storedName, const std::filesystem::path& sourcePath,
                                 const std::function<bool(std::uint64_t)>& reserve) const {
    PreparedEntry entry;
    entry.sourcePath = sourcePath;
    try {
        entry.source = FileHandle::OpenForReading(sourcePath);
        entry.status = entry.source.Status();
    } catch (const FileError& error) {
        entry.result = ZipResult::CannotOpenFile;
        entry.failure = error.Get();
        return entry;
    }
    if (entry.status.st_dev == archive_.status.st_dev && entry.status.st_ino == archive_.status.st_ino) {
        entry.result = ZipResult::FaultyArguments;
        entry.failure = Failure::Of(FailureReason::SourceIsArchive, sourcePath);
        return entry;
    }
    // Known by what it is, not by its name: a user's file may look like ours.
    if (IsOwnTemporaryFile(entry.status)) {
        entry.result = ZipResult::FaultyArguments;
        entry.failure = Failure::Of(FailureReason::SourceIsOwnTemporary, sourcePath);
        return entry;
    }
    entry.creationTime = CreationTime(entry.source.Descriptor(), entry.status);
    entry.method = IsStoredExtension(StoredForm(storedName)) ? kMethodStored : kMethodDeflated;
    // A larger file is deflated in blocks as it is written; a stored one copied.
    const auto streamLater = [&entry] {
        if (entry.method == kMethodDeflated) {
            entry.blocks = std::make_shared<BlockDeflater>(std::move(entry.source),
                                                           static_cast<std::uint64_t>(entry.status.st_size));
        }
        return std::move(entry);
    };
    const auto expected = static_cast<std::uint64_t>(entry.status.st_size);
    if (expected > kWholeFileLimit) {
        return streamLater();
    }
    if (reserve && !reserve(2 * expected)) {
        entry.source = FileHandle();
        entry.result = ZipResult::AdditionsEnded;
        return entry;
    }
    try {
        entry.data.resize(static_cast<std::size_t>(expected));
        const std::size_t count = entry.source.Read(entry.data.data(), entry.data.size());
        unsigned char extra = 0;
        if (count == entry.data.size() && entry.source.Read(&extra, 1) != 0) {
            // The file grew since it was measured: it is measured again and
            // streamed from its start.
            entry.data = {};
            entry.status = entry.source.Status();
            if (::lseek(entry.source.Descriptor(), 0, SEEK_SET) != 0) {
                entry.result = ZipResult::ReadFailed;
                const int error = errno;
                entry.failure = Failure::OfFile(FileOperation::Read, sourcePath, error);
                return entry;
            }
            return streamLater();
        }
        entry.data.resize(count);
    } catch (const FileError& error) {
        entry.data = {};
        entry.result = ZipResult::ReadFailed;
        entry.failure = error.Get();
        return entry;
    }
    entry.source = FileHandle();
    entry.whole = true;
    entry.size = entry.data.size();
    entry.crc = Crc32(0, entry.data);
    if (entry.method == kMethodDeflated) {
        CompressWhole(entry);
    }
    if (aesPassword_) {
        entry.data = EncryptWhole(*aesPassword_, entry.data);
    }
    return entry;
}

bool ZipWriter::IsAcceptableName(std::string_view storedName) {
    const std::string name = StoredForm(storedName);
    // The same rule the reader applies to what it extracts: an archive we
    // write never holds a name that would leave the extraction folder.
    // It must also end in a file name: readers take "a/" as a folder.
    return CheckStoredName(name) == StoredNameProblem::None && name.size() <= 0xFFFF &&
           IsUsableFileName(LastComponent(name));
}

ZipResult ZipWriter::Failed(ZipResult result, Failure failure) {
    failure_ = std::move(failure);
    return result;
}

Failure ZipWriter::ArchiveWriteFailure() const {
    if (archive_.writeError == 0) {
        return {};
    }
    return Failure::OfFile(FileOperation::Write, archive_.path, archive_.writeError);
}

ZipResult ZipWriter::Written(ZipResult result) {
    return result == ZipResult::WriteFailed ? Failed(result, ArchiveWriteFailure()) : result;
}

ZipResult ZipWriter::AddPrepared(std::string_view storedName, PreparedEntry& entry,
                                 const std::function<bool()>& cancelRequested,
                                 const std::function<void(std::uint64_t)>& bytesWritten) {
    if (!open_) {
        return Failed(ZipResult::AdditionsEnded, {});
    }
    if (stickyError_ != ZipResult::Success) {
        return Failed(ZipResult::PreviousError, {});
    }
    if (!IsAcceptableName(storedName)) {
        return Failed(ZipResult::FaultyArguments, Failure::Of(FailureReason::UnacceptableName));
    }
    if (entry.result == ZipResult::CannotOpenFile || entry.result == ZipResult::FaultyArguments) {
        return Failed(entry.result, entry.failure);
    }
    if (entry.result == ZipResult::ReadFailed) {
        // Read part-way: the entry could not be completed and cannot be taken back out.
        stickyError_ = ZipResult::ReadFailed;
        return Failed(stickyError_, entry.failure);
    }
    const struct stat& status = entry.status;
    ZipRecordWriter::EntryHeader header;
    header.name = StoredForm(storedName);
    header.flags = NeedsUtf8Flag(header.name) ? kUtf8NameFlag : 0;
    header.method = entry.method;
    header.dosDateTime = DosDateTimeFromTime(status.st_mtime);
    header.externalAttributes =
        static_cast<std::uint32_t>(status.st_mode) << 16 | ((status.st_mode & S_IWUSR) ? 0 : kDosReadOnly);
    const auto localExtra = LocalTimestampExtra(status.st_mtime, status.st_atime, entry.creationTime);
    const auto centralExtra = CentralTimestampExtra(status.st_mtime);
    header.localExtra.assign(localExtra.begin(), localExtra.end());
    header.centralExtra.assign(centralExtra.begin(), centralExtra.end());
    header.zip64 = static_cast<std::uint64_t>(status.st_size) >= kZip64Threshold;
    if (aesPassword_) {
        header.flags |= kEncryptedFlag;
        header.method = kMethodAes;
        const std::vector<unsigned char> aes = AesExtraField(entry.method);
        header.localExtra.insert(header.localExtra.end(), aes.begin(), aes.end());
        header.centralExtra.insert(header.centralExtra.end(), aes.begin(), aes.end());
    }
    if (const ZipResult begun = Written(records_.Begin(header)); begun != ZipResult::Success) {
        stickyError_ = begun;
        return stickyError_;
    }
    // A large file's pieces are encrypted here, in order; a whole one came encrypted.
    std::optional<EntryEncryptor> encryptor;
    if (aesPassword_ && !entry.whole) {
        encryptor.emplace(*aesPassword_);
        const std::vector<unsigned char> front = encryptor->Header();
        if (const ZipResult begun = WriteData(front); begun != ZipResult::Success) {
            stickyError_ = begun;
            return stickyError_;
        }
        encryptor_ = &*encryptor;
    }
    ZipResult result = ZipResult::Success;
    if (entry.whole) {
        result = WriteData(entry.data);
    } else if (entry.blocks) {
        // A large deflated file, in blocks as they are made.
        BlockDeflater::Block block;
        result = WritePieces(entry, cancelRequested, bytesWritten, [&] {
            block = entry.blocks->Next();
            Piece piece{block.result, {}, block.data, block.crc, block.size, block.last};
            if (block.readError) {
                piece.failure = block.readError->Get();
            } else if (block.result == ZipResult::ReadFailed) {
                piece.failure = Failure::Of(FailureReason::SourceShrank, entry.sourcePath);
            } else if (block.result == ZipResult::OutOfMemory) {
                piece.failure = Failure::Of(FailureReason::OutOfMemory);
            }
            return piece;
        });
        entry.blocks->Stop();
    } else {
        // A large stored file, copied from its source as far as it was measured.
        auto left = static_cast<std::uint64_t>(entry.status.st_size);
        result = WritePieces(entry, cancelRequested, bytesWritten, [&] {
            Piece piece;
            try {
                const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(input_.size(), left));
                const std::size_t count = wanted == 0 ? 0 : entry.source.Read(input_.data(), wanted);
                if (count < wanted) {
                    piece.result = ZipResult::ReadFailed;
                    piece.failure = Failure::Of(FailureReason::SourceShrank, entry.sourcePath);
                    return piece;
                }
                left -= count;
                piece.data = {input_.data(), count};
                piece.crc = Crc32(0, {input_.data(), count});
                piece.size = count;
                piece.last = count == 0;
            } catch (const FileError& error) {
                piece.result = ZipResult::ReadFailed;
                piece.failure = error.Get();
            }
            return piece;
        });
    }
    if (encryptor) {
        encryptor_ = nullptr;
        if (result == ZipResult::Success) {
            const auto trailer = encryptor->Trailer();
            result = Written(records_.Write(trailer));
        }
    }
    // The entry is closed in every case, so that the directory stays whole.
    // AE-2 stores no CRC: the code after the data covers it.
    const ZipResult closed = records_.End(aesPassword_ ? 0 : entry.crc, entry.size);
    if (result == ZipResult::Success && closed != ZipResult::Success) {
        result = closed == ZipResult::SizeMismatch ? Failed(closed, {}) : Written(closed);
    }
    // A failed, cut or cancelled entry stays in the archive: nothing can be added after it.
    stickyError_ = result;
    return result;
}

ZipResult ZipWriter::WriteData(std::span<const unsigned char> data) {
    if (encryptor_ == nullptr || data.empty()) {
        return Written(records_.Write(data));
    }
    encrypted_.assign(data.begin(), data.end());
    encryptor_->Encrypt(encrypted_.data(), encrypted_.size());
    return Written(records_.Write(encrypted_));
}

ZipResult ZipWriter::WritePieces(PreparedEntry& entry, const std::function<bool()>& cancelRequested,
                                 const std::function<void(std::uint64_t)>& bytesWritten,
                                 const std::function<Piece()>& next) {
    uLong crc = crc32(0, nullptr, 0);
    std::uint64_t size = 0;
    ZipResult result = ZipResult::Success;
    for (bool last = false; result == ZipResult::Success && !last;) {
        if (cancelRequested && cancelRequested()) {
            result = Failed(ZipResult::AdditionsEnded, {});
            break;
        }
        Piece piece = next();
        if (piece.result != ZipResult::Success) {
            // A library fault in a block has no more to say than its code.
            result = Failed(piece.result == ZipResult::ReadFailed || piece.result == ZipResult::OutOfMemory
                                ? piece.result
                                : ZipResult::FlationError,
                            std::move(piece.failure));
            break;
        }
        crc = crc32_combine(crc, piece.crc, static_cast<z_off_t>(piece.size));
        size += piece.size;
        last = piece.last;
        result = WriteData(piece.data);
        if (result == ZipResult::Success && bytesWritten) {
            bytesWritten(size);
        }
    }
    entry.crc = static_cast<std::uint32_t>(crc);
    entry.size = size;
    return result;
}

ZipResult ZipWriter::Close() {
    if (!open_) {
        return ZipResult::AdditionsEnded;
    }
    open_ = false;
    const ZipResult finished = records_.Finish();
    input_ = {};
    encrypted_ = {};
    if (stickyError_ != ZipResult::Success) {
        return Failed(ZipResult::PreviousError, {});
    }
    return Written(finished);
}

}  // namespace vaultpack
