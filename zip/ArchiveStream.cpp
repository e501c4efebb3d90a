#include "zip/ArchiveStream.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace vaultpack {

namespace {

// minizip's way of opening the archive: a stream of its own on the open
// archive file, close-on-exec, noting the file's status and the system's
// error of a failed open, write or close in *opaque (an ArchiveStream).
voidpf OpenArchiveFile(voidpf opaque, const void* /*filename*/, int mode) {
    auto& archive = *static_cast<ArchiveStream*>(opaque);
    if ((mode & ZLIB_FILEFUNC_MODE_CREATE) == 0) {
        archive.writeError = EINVAL;
        return nullptr;  // the writer only ever creates
    }
    const int descriptor = ::fcntl(archive.descriptor, F_DUPFD_CLOEXEC, 0);
    FILE* file = descriptor < 0 ? nullptr : ::fdopen(descriptor, "wb");
    if (file == nullptr) {
        archive.writeError = errno;
        if (descriptor >= 0) {
            ::close(descriptor);
        }
    } else {
        ::fstat(descriptor, &archive.status);
    }
    return file;
}

uLong WriteArchiveFile(voidpf opaque, voidpf stream, const void* buffer, uLong size) {
    const std::size_t written = std::fwrite(buffer, 1, size, static_cast<FILE*>(stream));
    if (written != size) {
        static_cast<ArchiveStream*>(opaque)->writeError = errno;
    }
    return static_cast<uLong>(written);
}

// A write that the buffer held back may fail only here.
int CloseArchiveFile(voidpf opaque, voidpf stream) {
    const int result = std::fclose(static_cast<FILE*>(stream));
    if (result != 0) {
        static_cast<ArchiveStream*>(opaque)->writeError = errno;
    }
    return result;
}

}  // namespace

zlib_filefunc64_def ArchiveStreamFunctions(ArchiveStream& stream) {
    zlib_filefunc64_def functions{};
    fill_fopen64_filefunc(&functions);
    functions.zopen64_file = OpenArchiveFile;
    functions.zwrite_file = WriteArchiveFile;
    functions.zclose_file = CloseArchiveFile;
    functions.opaque = &stream;
    return functions;
}

}  // namespace vaultpack
