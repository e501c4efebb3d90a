#include "jobs/FileDescriptor.h"

#include <cerrno>

#include <unistd.h>

namespace vaultpack {

bool FileDescriptor::Close() {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || ::close(fd) == 0;
}

long FileDescriptor::ReadSome(void* data, std::size_t size) const {
    ssize_t count;
    do {
        count = ::read(fd_, data, size);
    } while (count < 0 && errno == EINTR);
    return count;
}

bool FileDescriptor::ReadAt(std::uint64_t offset, void* data, std::size_t size) const {
    auto* out = static_cast<unsigned char*>(data);
    while (size > 0) {
        const ssize_t count = ::pread(fd_, out, size, static_cast<off_t>(offset));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        out += count;
        offset += static_cast<std::uint64_t>(count);
        size -= static_cast<std::size_t>(count);
    }
    return true;
}

bool FileDescriptor::WriteAll(const void* data, std::size_t size) const {
    const auto* in = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t count = ::write(fd_, in, size);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        in += count;
        size -= static_cast<std::size_t>(count);
    }
    return true;
}

}  // namespace vaultpack
