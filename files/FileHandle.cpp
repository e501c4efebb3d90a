#include "files/FileHandle.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace vaultpack {
namespace {

// Opens name relative to folder; path names the file in the error.
int OpenOrThrow(int folder, const char* name, const std::string& path, int flags, FileOperation operation,
                mode_t mode = 0666) {
    int descriptor;
    do {
        descriptor = ::openat(folder, name, flags | O_CLOEXEC, mode);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        ThrowLastError(operation, path);
    }
    return descriptor;
}

int OpenOrThrow(const std::filesystem::path& path, int flags, FileOperation operation, mode_t mode = 0666) {
    return OpenOrThrow(AT_FDCWD, path.c_str(), path.native(), flags, operation, mode);
}

// Calls readSome(destination, count, done) until length bytes arrived or it
// reports the end of the file; done counts the bytes that arrived before.
template <typename ReadSome>
std::size_t ReadUntilFull(void* buffer, std::size_t length, const std::string& path, ReadSome readSome) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t total = 0;
    while (total < length) {
        const ssize_t count = readSome(bytes + total, length - total, total);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowLastError(FileOperation::Read, path);
        }
        if (count == 0) {
            break;
        }
        total += static_cast<std::size_t>(count);
    }
    return total;
}

// Calls writeSome(source, count, done) until all length bytes went out; done
// counts the bytes written before.
template <typename WriteSome>
void WriteUntilDone(const void* buffer, std::size_t length, const std::string& path, WriteSome writeSome) {
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    std::size_t total = 0;
    while (total < length) {
        const ssize_t count = writeSome(bytes + total, length - total, total);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowLastError(FileOperation::Write, path);
        }
        total += static_cast<std::size_t>(count);
    }
}

}  // namespace

FileHandle FileHandle::OpenForReading(const std::filesystem::path& path) {
    // Non-blocking, so that a FIFO is refused instead of waited on.
    FileHandle file(OpenOrThrow(path, O_RDONLY | O_NOCTTY | O_NONBLOCK, FileOperation::Open), path.native());
    const struct stat status = file.Status();
    if (!S_ISREG(status.st_mode)) {
        throw FileError(FileOperation::Open, path, S_ISDIR(status.st_mode) ? EISDIR : EINVAL);
    }
    return file;
}

FileHandle FileHandle::OpenFolder(const std::filesystem::path& path) {
    return FileHandle(OpenOrThrow(path, O_PATH | O_DIRECTORY, FileOperation::Open), path.native());
}

FileHandle FileHandle::CreateUnnamedIn(int folder, const std::string& path, mode_t mode) {
    return FileHandle(OpenOrThrow(folder, ".", path, O_TMPFILE | O_WRONLY, FileOperation::CreateTemporaryFileIn, mode),
                      path);
}

FileHandle FileHandle::OpenFolderIn(int parent, const char* name, const std::string& path) {
    return FileHandle(OpenOrThrow(parent, name, path, O_PATH | O_DIRECTORY | O_NOFOLLOW, FileOperation::Open), path);
}

FileHandle FileHandle::CreateOrTruncate(const std::filesystem::path& path) {
    // The path may be registered for removal at an abrupt end: once that has
    // begun, nothing is made there again.
    const GuardedCreation guard;
    RequireCreationAllowed(guard, FileOperation::Create, path);
    return FileHandle(OpenOrThrow(path, O_WRONLY | O_CREAT | O_TRUNC, FileOperation::Create), path.native());
}

bool FileHandle::CreateNew(const std::filesystem::path& path, FileHandle& handle, mode_t mode) {
    return CreateNewIn(AT_FDCWD, path.c_str(), path.native(), handle, mode);
}

bool FileHandle::CreateNewIn(int folder, const char* name, const std::string& path, FileHandle& handle,
                             mode_t mode) {
    try {
        handle = FileHandle(OpenOrThrow(folder, name, path, O_WRONLY | O_CREAT | O_EXCL,
                                        FileOperation::Create, mode),
                            path);
        return true;
    } catch (const FileError& error) {
        if (error.ErrorNumber() == EEXIST) {
            return false;
        }
        throw;
    }
}

FileHandle::FileHandle(FileHandle&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)), path_(std::move(other.path_)) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
        descriptor_ = std::exchange(other.descriptor_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

FileHandle::~FileHandle() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

std::size_t FileHandle::Read(void* buffer, std::size_t length) {
    return ReadUntilFull(buffer, length, path_, [this](unsigned char* destination, std::size_t count, std::size_t) {
        return ::read(descriptor_, destination, count);
    });
}

std::size_t FileHandle::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const {
    return ReadUntilFull(buffer, length, path_, [&](unsigned char* destination, std::size_t count, std::size_t done) {
        return ::pread(descriptor_, destination, count, static_cast<off_t>(offset + done));
    });
}

void FileHandle::WriteAll(const void* buffer, std::size_t length) {
    WriteUntilDone(buffer, length, path_, [this](const unsigned char* source, std::size_t count, std::size_t) {
        return ::write(descriptor_, source, count);
    });
}

void FileHandle::WriteAt(std::uint64_t offset, const void* buffer, std::size_t length) {
    WriteUntilDone(buffer, length, path_, [&](const unsigned char* source, std::size_t count, std::size_t done) {
        return ::pwrite(descriptor_, source, count, static_cast<off_t>(offset + done));
    });
}

struct stat FileHandle::Status() const {
    struct stat status {};
    if (::fstat(descriptor_, &status) != 0) {
        ThrowLastError(FileOperation::Examine, path_);
    }
    return status;
}

void FileHandle::Close() {
    const int descriptor = std::exchange(descriptor_, -1);
    if (descriptor >= 0 && ::close(descriptor) != 0 && errno != EINTR) {
        ThrowLastError(FileOperation::Close, path_);
    }
}

void RequireCreationAllowed(const GuardedCreation& guard, FileOperation operation, const std::filesystem::path& path) {
    if (!guard.allowed()) {
        throw FileError(operation, path, ECANCELED);
    }
}

std::uint64_t DescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return UINT64_MAX;
    }
    return limit.rlim_cur;
}

std::optional<mode_t> CurrentUmask() {
    // Reading the mask with umask() would change it for a moment, for every
    // thread; the kernel reports it here instead.
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        char* end = nullptr;
        const unsigned long mask = line.starts_with("Umask:") ? std::strtoul(line.c_str() + 6, &end, 8) : 0;
        if (end != nullptr && end != line.c_str() + 6) {
            return static_cast<mode_t>(mask & 0777);
        }
    }
    return std::nullopt;
}

bool IsSameFile(const std::filesystem::path& first, const std::filesystem::path& second) {
    struct stat a {};
    struct stat b {};
    return ::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

}  // namespace vaultpack
