#include "jobs/ZipWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include "jobs/EntryPath.h"
#include "jobs/FileDescriptor.h"
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

// minizip's own file functions, but opening close-on-exec and noting which
// file was opened.
voidpf OpenArchiveFile(voidpf identity, const void* filename, int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_CREATE) == 0 || filename == nullptr) {
        return nullptr;  // the writer only ever creates
    }
    FILE* file = std::fopen(static_cast<const char*>(filename), "wbe");
    struct stat status {};
    if (file != nullptr && ::fstat(::fileno(file), &status) == 0) {
        static_cast<std::pair<dev_t, ino_t>*>(identity)->first = status.st_dev;
        static_cast<std::pair<dev_t, ino_t>*>(identity)->second = status.st_ino;
    }
    return file;
}

}  // namespace

void ZipWriter::HandleCloser::operator()(void* handle) const {
    zipClose(handle, nullptr);
}

std::unique_ptr<ZipWriter> ZipWriter::Create(const std::filesystem::path& archivePath, ZipResult* reason) {
    std::unique_ptr<ZipWriter> writer(new ZipWriter());
    std::pair<dev_t, ino_t> identity{};
    zlib_filefunc64_def functions{};
    fill_fopen64_filefunc(&functions);
    functions.zopen64_file = OpenArchiveFile;
    functions.opaque = &identity;
    writer->handle_.reset(zipOpen2_64(archivePath.c_str(), APPEND_STATUS_CREATE, nullptr, &functions));
    writer->archive_ = {identity.first, identity.second};
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
    // It must also end in a file name: readers take "a/" as a folder.
    const std::string_view lastComponent = std::string_view(name).substr(name.rfind('/') + 1);
    if (CheckStoredName(name) != StoredNameProblem::None || name.size() > 0xFFFF || lastComponent.empty() ||
        lastComponent == ".") {
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
