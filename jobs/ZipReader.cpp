#include "jobs/ZipReader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "jobs/ZipFormat.h"

namespace vaultpack {

namespace {

constexpr std::size_t kPieceSize = 16 * 1024;
constexpr std::size_t kMaxFieldSize = 0xFFFF;
constexpr std::uint32_t kDosReadOnly = 0x01;
constexpr std::uint32_t kDosFolder = 0x10;
// p7zip marks a Unix mode in the upper half this way, whatever host it names.
constexpr std::uint32_t kUnixExtensionFlag = 0x8000;
constexpr unsigned kHostUnix = 3;
constexpr unsigned kHostMacOsX = 19;
constexpr unsigned long kEncryptedFlag = 1;

ZipResult ResultOfUnzipError(int error) {
    switch (error) {
        case UNZ_OK: return ZipResult::Success;
        case UNZ_ERRNO: return ZipResult::ReadFailed;
        case UNZ_PARAMERROR: return ZipResult::FaultyArguments;
        case UNZ_INTERNALERROR: return ZipResult::FlationError;
        case Z_MEM_ERROR: return ZipResult::OutOfMemory;
        default: return ZipResult::CorruptArchive;  // bad headers, CRC, inflate data errors
    }
}

bool IsKnownFileType(mode_t mode) {
    return S_ISREG(mode) || S_ISDIR(mode) || S_ISLNK(mode);
}

void Describe(const unz_file_info64& raw, std::string_view rawName, const unsigned char* extra,
              std::size_t extraSize, ZipEntryInfo& info) {
    info.name = DecodeEntryName(rawName);
    info.externalAttributes = static_cast<std::uint32_t>(raw.external_fa);
    const auto upper = static_cast<mode_t>(info.externalAttributes >> 16);
    const auto host = static_cast<unsigned>(raw.version >> 8);
    // Entries from Unix tools name their host; minizip itself rewrites the
    // host of Zip64 entries, so a recognisable file type counts as well.
    info.hasUnixMode = upper != 0 && (host == kHostUnix || host == kHostMacOsX ||
                                      (info.externalAttributes & kUnixExtensionFlag) != 0 ||
                                      IsKnownFileType(upper & S_IFMT));
    info.isFolder = (!info.name.empty() && info.name.back() == '/') ||
                    (info.externalAttributes & kDosFolder) != 0 || (info.hasUnixMode && S_ISDIR(upper));
    if (info.hasUnixMode) {
        const mode_t type = info.isFolder ? S_IFDIR : ((upper & S_IFMT) != 0 ? upper & S_IFMT : S_IFREG);
        info.mode = type | (upper & 07777);
    } else {
        info.mode = info.isFolder ? (S_IFDIR | 0755) : (S_IFREG | 0644);
        if ((info.externalAttributes & kDosReadOnly) != 0) {
            info.mode &= ~static_cast<mode_t>(0222);
        }
    }
    info.method = static_cast<std::uint16_t>(raw.compression_method);
    info.encrypted = (raw.flag & kEncryptedFlag) != 0;
    info.uncompressedSize = raw.uncompressed_size;
    info.compressedSize = raw.compressed_size;
    info.crc = static_cast<std::uint32_t>(raw.crc);

    const ExtendedTimestamps times = FindTimestamps(extra, extraSize);
    info.lastWriteTime = times.modification.value_or(TimeFromDosDateTime(static_cast<std::uint32_t>(raw.dosDate)));
    info.lastAccessTime = times.access.value_or(info.lastWriteTime);
    info.creationTime = times.creation.value_or(info.lastWriteTime);
}

// A file created beside the target under a temporary name, which takes the
// target's place on Commit and is removed otherwise.
class TemporaryTarget {
public:
    explicit TemporaryTarget(const std::filesystem::path& target) {
        static thread_local std::mt19937_64 generator{std::random_device{}()};
        for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
            char suffix[32];
            std::snprintf(suffix, sizeof suffix, ".vaultpack-%012llx",
                          static_cast<unsigned long long>(generator() & 0xFFFFFFFFFFFFull));
            path_ = target.parent_path() / suffix;
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ < 0 && errno != EEXIST) {
                break;
            }
        }
        if (fd_ < 0) {
            path_.clear();  // the name may be another file's
        }
    }
    ~TemporaryTarget() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (!committed_ && !path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    TemporaryTarget(const TemporaryTarget&) = delete;
    TemporaryTarget& operator=(const TemporaryTarget&) = delete;

    int Get() const { return fd_; }

    ZipResult Commit(const std::filesystem::path& target) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) {
            return ZipResult::WriteFailed;
        }
        if (::rename(path_.c_str(), target.c_str()) != 0) {
            return ZipResult::CannotOpenFile;
        }
        committed_ = true;
        return ZipResult::Success;
    }

private:
    std::filesystem::path path_;
    int fd_ = -1;
    bool committed_ = false;
};

bool WriteAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Inflates the open entry into target in pieces and checks that what came
// out has the size and CRC the directory promises.
ZipResult CopyEntryData(unzFile handle, std::vector<unsigned char>& buffer, int target, const ZipEntryInfo& info) {
    std::uint64_t total = 0;
    uLong crc = crc32(0, nullptr, 0);
    while (true) {
        const int count = unzReadCurrentFile(handle, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (count < 0) {
            return ResultOfUnzipError(count);
        }
        if (count == 0) {
            break;
        }
        crc = crc32(crc, buffer.data(), static_cast<uInt>(count));
        total += static_cast<std::uint64_t>(count);
        if (!WriteAll(target, buffer.data(), static_cast<std::size_t>(count))) {
            return ZipResult::WriteFailed;
        }
    }
    if (total != info.uncompressedSize || crc != info.crc) {
        return ZipResult::CorruptArchive;
    }
    return ZipResult::Success;
}

struct CurrentFileCloser {
    void operator()(unzFile handle) const { unzCloseCurrentFile(handle); }
};

}  // namespace

std::unique_ptr<ZipReader> ZipReader::Open(const std::filesystem::path& archivePath, ZipResult* reason) {
    std::unique_ptr<ZipReader> reader(new ZipReader());
    zlib_filefunc64_def functions = ArchiveFileFunctions(&reader->archive_);
    reader->handle_.reset(unzOpen2_64(archivePath.c_str(), &functions));
    ZipResult failure = reader->archive_.opened ? ZipResult::CorruptArchive : ZipResult::CannotOpenFile;

    unz_global_info64 global{};
    if (reader->handle_ && unzGetGlobalInfo64(reader->handle_.get(), &global) == UNZ_OK) {
        // Walk the directory once, remembering where each entry starts; the
        // count in the end record bounds the walk, and a damaged record in
        // between makes the whole archive unreadable.
        auto& positions = reader->positions_;
        positions.reserve(static_cast<std::size_t>(std::min<ZPOS64_T>(global.number_entry, 1 << 16)));
        int error = global.number_entry == 0 ? UNZ_OK : unzGoToFirstFile(reader->handle_.get());
        while (error == UNZ_OK && positions.size() < global.number_entry) {
            unz64_file_pos position{};
            error = unzGetFilePos64(reader->handle_.get(), &position);
            if (error == UNZ_OK) {
                positions.push_back(position);
                if (positions.size() < global.number_entry) {
                    error = unzGoToNextFile(reader->handle_.get());
                }
            }
        }
        if (error == UNZ_OK) {
            reader->name_.resize(kMaxFieldSize + 1);
            reader->extra_.resize(kMaxFieldSize);
            reader->buffer_.resize(kPieceSize);
            return reader;
        }
        failure = error == UNZ_ERRNO ? ZipResult::ReadFailed : ZipResult::CorruptArchive;
    }
    if (reason != nullptr) {
        *reason = failure;
    }
    return nullptr;
}

ZipReader::~ZipReader() = default;

ZipResult ZipReader::GetEntry(std::int64_t index, ZipEntryInfo& info) {
    const auto count = static_cast<std::int64_t>(positions_.size());
    if (!handle_ || index < -1 || index >= count) {
        return ZipResult::FaultyArguments;
    }
    if (index == -1) {
        info = ZipEntryInfo{};
        info.entryCount = count;
        return ZipResult::Success;
    }
    return ReadEntry(index, info);
}

ZipResult ZipReader::ReadEntry(std::int64_t index, ZipEntryInfo& info) {
    unz64_file_pos position = positions_[static_cast<std::size_t>(index)];
    int error = unzGoToFilePos64(handle_.get(), &position);
    unz_file_info64 raw{};
    if (error == UNZ_OK) {
        error = unzGetCurrentFileInfo64(handle_.get(), &raw, name_.data(), name_.size(), extra_.data(),
                                        extra_.size(), nullptr, 0);
    }
    if (error != UNZ_OK) {
        return ResultOfUnzipError(error);
    }
    info = ZipEntryInfo{};
    info.index = index;
    info.entryCount = static_cast<std::int64_t>(positions_.size());
    Describe(raw, std::string_view(name_.data(), std::min<std::size_t>(raw.size_filename, kMaxFieldSize)),
             extra_.data(), std::min<std::size_t>(raw.size_file_extra, extra_.size()), info);
    return ZipResult::Success;
}

ZipResult ZipReader::ExtractEntry(std::int64_t index, const std::filesystem::path& targetPath) {
    if (!handle_ || index < 0 || index >= static_cast<std::int64_t>(positions_.size())) {
        return ZipResult::FaultyArguments;
    }
    ZipEntryInfo info;
    ZipResult result = ReadEntry(index, info);
    if (result != ZipResult::Success || info.isFolder) {
        return result;
    }
    if (!S_ISREG(info.mode) || info.encrypted || (info.method != 0 && info.method != Z_DEFLATED)) {
        return ZipResult::FaultyArguments;
    }
    const int error = unzOpenCurrentFile(handle_.get());
    if (error != UNZ_OK) {
        return ResultOfUnzipError(error);
    }
    const std::unique_ptr<void, CurrentFileCloser> openEntry(handle_.get());

    // The local header's copy of the timestamp field also holds the access time.
    const int localExtraSize = unzGetLocalExtrafield(handle_.get(), extra_.data(), static_cast<unsigned>(extra_.size()));
    const ExtendedTimestamps localTimes =
        FindTimestamps(extra_.data(), localExtraSize > 0 ? static_cast<std::size_t>(localExtraSize) : 0);

    TemporaryTarget target(targetPath);
    if (target.Get() < 0) {
        return ZipResult::CannotOpenFile;
    }
    result = CopyEntryData(handle_.get(), buffer_, target.Get(), info);
    if (result != ZipResult::Success) {
        return result;
    }
    // Permission and time failures (a file system without Unix modes, say)
    // do not make the content wrong, so they are not reported.
    if (info.hasUnixMode) {
        ::fchmod(target.Get(), info.mode & 0777);
    } else if ((info.externalAttributes & kDosReadOnly) != 0) {
        struct stat status {};
        if (::fstat(target.Get(), &status) == 0) {
            ::fchmod(target.Get(), status.st_mode & 0555);
        }
    }
    const timespec times[2] = {{localTimes.access.value_or(info.lastAccessTime), 0}, {info.lastWriteTime, 0}};
    ::futimens(target.Get(), times);
    return target.Commit(targetPath);
}

ZipResult ZipReader::Close() {
    if (!handle_) {
        return ZipResult::FaultyArguments;
    }
    return unzClose(handle_.release()) == UNZ_OK ? ZipResult::Success : ZipResult::ReadFailed;
}

}  // namespace vaultpack
