#include "zip/ArchiveStream.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

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

ArchiveStream& StreamOf(voidpf opaque) {
    return *static_cast<ArchiveStream*>(opaque);
}

// The handle minizip gets is the stream itself.
voidpf OpenArchiveFile(voidpf opaque, const void* /*filename*/, int mode) {
    ArchiveStream& archive = StreamOf(opaque);
    if ((mode & ZLIB_FILEFUNC_MODE_CREATE) == 0) {
        archive.writeError = EINVAL;
        return nullptr;  // the writer only ever creates
    }
    if (::fstat(archive.descriptor, &archive.status) != 0) {
        archive.writeError = errno;
        return nullptr;
    }
    // The archive starts where the file stands, as a stream on it would.
    const off_t start = ::lseek(archive.descriptor, 0, SEEK_CUR);
    if (start < 0) {
        archive.writeError = errno;
        return nullptr;
    }
    archive.position = archive.end = archive.heldFrom = static_cast<std::uint64_t>(start);
    archive.held.reserve(ArchiveStream::kBufferSize);
    return opaque;
}

uLong ReadArchiveFile(voidpf opaque, voidpf /*stream*/, void* /*buffer*/, uLong /*size*/) {
    StreamOf(opaque).writeError = EBADF;  // the writer never reads back
    return 0;
}

uLong WriteArchiveFile(voidpf opaque, voidpf /*stream*/, const void* buffer, uLong size) {
    return StreamOf(opaque).Write(static_cast<const unsigned char*>(buffer), size) ? size : 0;
}

ZPOS64_T TellArchiveFile(voidpf opaque, voidpf /*stream*/) {
    return StreamOf(opaque).position;
}

long SeekArchiveFile(voidpf opaque, voidpf /*stream*/, ZPOS64_T offset, int origin) {
    ArchiveStream& archive = StreamOf(opaque);
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET: archive.position = offset; return 0;
        case ZLIB_FILEFUNC_SEEK_CUR: archive.position += offset; return 0;
        case ZLIB_FILEFUNC_SEEK_END: archive.position = archive.end + offset; return 0;
        default: return -1;
    }
}

int CloseArchiveFile(voidpf opaque, voidpf /*stream*/) {
    ArchiveStream& archive = StreamOf(opaque);
    const bool flushed = archive.Flush();
    archive.held = {};
    if (flushed && ::lseek(archive.descriptor, static_cast<off_t>(archive.end), SEEK_SET) < 0) {
        archive.writeError = errno;
    }
    return archive.writeError == 0 ? 0 : EOF;
}

int ArchiveFileError(voidpf opaque, voidpf /*stream*/) {
    return StreamOf(opaque).writeError;
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
    const std::size_t at = static_cast<std::size_t>(position - heldFrom);
    if (held.empty() && size >= kBufferSize) {
        if (!WriteAllAt(descriptor, bytes, size, position, writeError)) {
            return false;
        }
    } else {
        const std::size_t over = std::min(size, held.size() - at);
        std::copy_n(bytes, over, held.begin() + static_cast<std::ptrdiff_t>(at));
        held.insert(held.end(), bytes + over, bytes + size);
    }
    position += size;
    end = std::max(end, position);
    if (held.size() >= kBufferSize) {
        return Flush();
    }
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

zlib_filefunc64_def ArchiveStreamFunctions(ArchiveStream& stream) {
    zlib_filefunc64_def functions{};
    functions.zopen64_file = OpenArchiveFile;
    functions.zread_file = ReadArchiveFile;
    functions.zwrite_file = WriteArchiveFile;
    functions.ztell64_file = TellArchiveFile;
    functions.zseek64_file = SeekArchiveFile;
    functions.zclose_file = CloseArchiveFile;
    functions.zerror_file = ArchiveFileError;
    functions.opaque = &stream;
    return functions;
}

}  // namespace vaultpack
