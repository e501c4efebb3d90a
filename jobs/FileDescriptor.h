#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

namespace vaultpack {

// Owns a POSIX file descriptor and closes it when it goes out of scope.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            Close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }

    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }

    // Closes now; false when close reports an error (such as a delayed write
    // failure). Closing a descriptor that is not open succeeds.
    bool Close();

    // Reads up to size bytes at the current position: the count, 0 at the
    // end of the file, -1 on an error.
    long ReadSome(void* data, std::size_t size) const;

    // Reads exactly size bytes at offset; false on an error or early end of file.
    bool ReadAt(std::uint64_t offset, void* data, std::size_t size) const;

    // Writes all size bytes at the current position; false on an error.
    bool WriteAll(const void* data, std::size_t size) const;

private:
    int fd_ = -1;
};

}  // namespace vaultpack
