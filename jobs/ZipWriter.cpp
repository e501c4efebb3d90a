#include "jobs/ZipWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "jobs/EntryPath.h"
#include "jobs/ZipFormat.h"

namespace vaultpack {

namespace {

constexpr std::size_t kPieceSize = 16 * 1024;
// Version made by: Unix (3) in the high byte, so that readers take the upper
// half of the external attributes as a Unix mode; specification 3.0.
constexpr unsigned long kVersionMadeBy = 3u << 8 | 30u;
constexpr unsigned long kUtf8NameFlag = 1u << 11;
constexpr std::uint32_t kDosReadOnly = 0x01;
// minizip must be told before the data whether an entry needs Zip64 fields.
// Deflate can grow incompressible data a little, so sources within 16 MiB of
// 4 GiB get them too.
constexpr std::uint64_t kZip64Threshold = 0xFFFFFFFFull - 16 * 1024 * 1024;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

ZipResult ResultOfZipError(int error) {
    switch (error) {
        case ZIP_OK: return ZipResult::Success;
        case ZIP_ERRNO: return ZipResult::WriteFailed;
        case ZIP_PARAMERROR: return ZipResult::FaultyArguments;
        // minizip's answer when an entry outgrew the size fields it had room for.
        case ZIP_BADZIPFILE: return ZipResult::SizeMismatch;
        case Z_MEM_ERROR: return ZipResult::OutOfMemory;
        default: return ZipResult::FlationError;
    }
}

std::time_t CreationTime(int fd, const struct stat& status) {
    struct statx extended {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &extended) == 0 && (extended.stx_mask & STATX_BTIME) != 0) {
        return static_cast<std::time_t>(extended.stx_btime.tv_sec);
    }
    return status.st_mtime;
}

ssize_t ReadSome(int fd, unsigned char* buffer, std::size_t size) {
    ssize_t count;
    do {
        count = ::read(fd, buffer, size);
    } while (count < 0 && errno == EINTR);
    return count;
}

}  // namespace

std::unique_ptr<ZipWriter> ZipWriter::Create(const std::filesystem::path& archivePath, ZipResult* reason) {
    std::unique_ptr<ZipWriter> writer(new ZipWriter());
    zlib_filefunc64_def functions = ArchiveFileFunctions(&writer->archive_);
    writer->handle_.reset(zipOpen2_64(archivePath.c_str(), APPEND_STATUS_CREATE, nullptr, &functions));
    if (!writer->handle_) {
        if (reason != nullptr) {
            *reason = ZipResult::CannotOpenFile;
        }
        return nullptr;
    }
    writer->buffer_.resize(kPieceSize);
    return writer;
}

ZipWriter::~ZipWriter() = default;

ZipResult ZipWriter::AddFile(std::string_view storedName, const std::filesystem::path& sourcePath) {
    if (!handle_) {
        return ZipResult::AdditionsEnded;
    }
    if (stickyError_ != ZipResult::Success) {
        return ZipResult::PreviousError;
    }
    std::string name(storedName);
    std::replace(name.begin(), name.end(), '\\', '/');
    // The same rule the reader applies to what it extracts: an archive we
    // write never holds a name that would leave the extraction folder.
    if (CheckStoredName(name) != StoredNameProblem::None || name.size() > 0xFFFF) {
        return ZipResult::FaultyArguments;
    }

    // Non-blocking, so that a FIFO does not wait for a writer before it is refused.
    const FileDescriptor source(::open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat status {};
    if (source.Get() < 0 || ::fstat(source.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return ZipResult::CannotOpenFile;
    }
    if (status.st_dev == archive_.device && status.st_ino == archive_.inode) {
        return ZipResult::FaultyArguments;
    }

    zip_fileinfo info{};
    info.dosDate = DosDateTimeFromTime(status.st_mtime);
    info.external_fa = static_cast<uLong>(status.st_mode) << 16 | ((status.st_mode & S_IWUSR) ? 0 : kDosReadOnly);
    const auto localExtra = LocalTimestampExtra(status.st_mtime, status.st_atime, CreationTime(source.Get(), status));
    const auto centralExtra = CentralTimestampExtra(status.st_mtime);
    const int method = IsStoredExtension(name) ? 0 : Z_DEFLATED;
    const int zip64 = static_cast<std::uint64_t>(status.st_size) >= kZip64Threshold ? 1 : 0;

    int error = zipOpenNewFileInZip4_64(handle_.get(), name.c_str(), &info, localExtra.data(), localExtra.size(),
                                        centralExtra.data(), centralExtra.size(), nullptr, method,
                                        Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                                        nullptr, 0, kVersionMadeBy, NeedsUtf8Flag(name) ? kUtf8NameFlag : 0, zip64);
    if (error != ZIP_OK) {
        stickyError_ = ResultOfZipError(error);
        return stickyError_;
    }

    bool readFailed = false;
    while (error == ZIP_OK) {
        const ssize_t count = ReadSome(source.Get(), buffer_.data(), buffer_.size());
        if (count <= 0) {
            readFailed = count < 0;
            break;
        }
        error = zipWriteInFileInZip(handle_.get(), buffer_.data(), static_cast<unsigned>(count));
    }
    // The entry is closed in every case, so that minizip stays consistent.
    const int closeError = zipCloseFileInZip(handle_.get());
    if (error == ZIP_OK) {
        error = closeError;
    }
    if (error != ZIP_OK) {
        stickyError_ = ResultOfZipError(error);
    } else if (readFailed) {
        // The entry holds only part of the file and cannot be taken back out.
        stickyError_ = ZipResult::ReadFailed;
    }
    return stickyError_;
}

ZipResult ZipWriter::Close() {
    if (!handle_) {
        return ZipResult::AdditionsEnded;
    }
    const int error = zipClose(handle_.release(), nullptr);
    buffer_ = {};
    if (stickyError_ != ZipResult::Success) {
        return ZipResult::PreviousError;
    }
    return error == ZIP_OK ? ZipResult::Success : ZipResult::WriteFailed;
}

}  // namespace vaultpack
