#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include <sys/stat.h>

#include "files/Failure.h"
#include "files/TemporaryFileRegistry.h"

namespace vaultpack {

// Throws FileError for the system call that just failed. errno is read
// first: making the exception allocates, and an allocation that fails on the
// way (out of memory) would change it.
template <typename Path>
[[noreturn]] void ThrowLastError(FileOperation operation, const Path& path) {
    const int error = errno;
    throw FileError(operation, path, error);
}

// An open file descriptor, closed when the object goes. Every failing call
// throws FileError.
class FileHandle {
public:
    // Opens an existing regular file for reading. Anything else is refused, a
    // folder with EISDIR and a FIFO or a device with EINVAL; a FIFO without
    // waiting for a writer, a terminal without becoming the controlling one.
    static FileHandle OpenForReading(const std::filesystem::path& path);
    // Creates the file or truncates an existing one; new files get 0666 less the umask.
    static FileHandle CreateOrTruncate(const std::filesystem::path& path);
    // Creates a file that must not exist yet, with mode less the umask; false
    // (and no handle) when anything stands at path, a symbolic link included.
    static bool CreateNew(const std::filesystem::path& path, FileHandle& handle, mode_t mode = 0666);
    // The same for name relative to the open folder `folder` (AT_FDCWD: the
    // working folder), which saves looking up the folder again for every
    // file in it; path is the file's full path, for errors.
    static bool CreateNewIn(int folder, const char* name, const std::string& path, FileHandle& handle,
                            mode_t mode = 0666);
    // Creates a file with no name in the open folder `folder` (O_TMPFILE),
    // for the file systems that allow it; path is the folder's, for errors.
    static FileHandle CreateUnnamedIn(int folder, const std::string& path, mode_t mode);
    // Opens a folder only to name files in it with CreateNewIn.
    static FileHandle OpenFolder(const std::filesystem::path& path);
    // The same for the folder `name` in the open folder `parent`, which is
    // not followed when it is a symbolic link (ELOOP or ENOTDIR instead).
    static FileHandle OpenFolderIn(int parent, const char* name, const std::string& path);

    FileHandle() = default;
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle();

    // Reads until `length` bytes arrived or the file ended; returns the count.
    std::size_t Read(void* buffer, std::size_t length);
    // The same from `offset` on, leaving the file position where it was.
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const;
    void WriteAll(const void* buffer, std::size_t length);
    // Writes all `length` bytes at `offset`, leaving the file position where
    // it was; safe to call from several threads for disjoint ranges.
    void WriteAt(std::uint64_t offset, const void* buffer, std::size_t length);
    struct stat Status() const;
    // Closes now, reporting a failure that a deferred write may only show here.
    void Close();

    std::filesystem::path Path() const { return path_; }
    // Names `path` in this handle's errors from now on: a file written
    // unnamed is known to the user by the name it is to get.
    void ShowAs(std::string path) { path_ = std::move(path); }
    // The descriptor, for calls this class does not wrap (permissions, times).
    int Descriptor() const { return descriptor_; }

private:
    FileHandle(int descriptor, std::string path) : descriptor_(descriptor), path_(std::move(path)) {}

    int descriptor_ = -1;
    // A string, not a path: a path splits itself into components, which costs
    // more than making a small file.
    std::string path_;
};

// Throws FileError(operation, path, ECANCELED) unless `guard` allows making
// something: once an abrupt end has begun, nothing new is made.
void RequireCreationAllowed(const GuardedCreation& guard, FileOperation operation, const std::filesystem::path& path);

// The process's file mode creation mask as the system reports it; nothing
// when it does not say.
std::optional<mode_t> CurrentUmask();

// How many descriptors the process may have open at once (RLIMIT_NOFILE),
// for passes that hold descriptors ahead of need.
std::uint64_t DescriptorLimit();

// True when both paths name the same existing file (also through links).
bool IsSameFile(const std::filesystem::path& first, const std::filesystem::path& second);

}  // namespace vaultpack
