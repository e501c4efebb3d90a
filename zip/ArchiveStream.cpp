#include "zip/ArchiveStream.h"

#include <algorithm>
#include <cerrno>

#include <unistd.h>

namespace vaultpack {

namespace {

bool WriteAllAt(int descriptor, const unsigned char* bytes, std::size_t size, std::uint64_t offset, int& error) {
    while (size > 0) {
        const ssize_t written = ::pwrite(descriptor, bytes, size, static_cast<off_t>(offset));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errno;
            return false;
        }
        if (written == 0) {
            error = EIO;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
        offset += static_cast<std::uint64_t>(written);
    }
    return true;
}

}  // namespace

bool ArchiveStream::Write(const unsigned char* bytes, std::size_t size) {
    if (writeError != 0) {
        return false;
    }
    // A write outside what is held (a seek back past it, or beyond its end)
    // starts a new stretch.
    if (position < heldFrom || position > heldFrom + held.size()) {
        if (!Flush()) {
            return false;
        }
        heldFrom = position;
    }
    // Over what is held first (a header filled in), then on at its end.
    const std::size_t at = static_cast<std::size_t>(position - heldFrom);
    const std::size_t over = std::min(size, held.size() - at);
    std::copy_n(bytes, over, held.begin() + static_cast<std::ptrdiff_t>(at));
    bytes += over;
    size -= over;
    position += over;
    // The buffer never grows beyond its size: what would not fit goes out
    // first, and a write as large as the buffer goes straight to the file.
    if (size > 0 && held.size() + size > kBufferSize && !Flush()) {
        return false;
    }
    if (size >= kBufferSize) {
        if (!WriteAllAt(descriptor, bytes, size, position, writeError)) {
            return false;
        }
    } else {
        held.insert(held.end(), bytes, bytes + size);
    }
    position += size;
    end = std::max(end, position);
    return true;
}

bool ArchiveStream::Flush() {
    if (writeError != 0) {
        return false;
    }
    if (!held.empty() && !WriteAllAt(descriptor, held.data(), held.size(), heldFrom, writeError)) {
        return false;
    }
    heldFrom += held.size();
    held.clear();
    return true;
}

bool ArchiveStream::Finish() {
    if (!Flush()) {
        return false;
    }
    held = {};
    if (::lseek(descriptor, static_cast<off_t>(end), SEEK_SET) < 0) {
        writeError = errno;
        return false;
    }
    return true;
}

bool ArchiveStream::Open(int openDescriptor) {
    descriptor = openDescriptor;
    // The archive starts where the file stands, as a stream on it would.
    const off_t start = ::lseek(descriptor, 0, SEEK_CUR);
    if (start < 0 || ::fstat(descriptor, &status) != 0) {
        writeError = errno;
        return false;
    }
    position = end = heldFrom = static_cast<std::uint64_t>(start);
    held.reserve(kBufferSize);
    return true;
}

}  // namespace vaultpack
