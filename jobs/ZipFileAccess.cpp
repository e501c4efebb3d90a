#include "jobs/ZipFileAccess.h"

#include <cstdio>

#include <sys/stat.h>

namespace vaultpack {

namespace {

voidpf OpenArchiveFile(voidpf opaque, const void* filename, int mode) {
    const char* openMode = nullptr;
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ) {
        openMode = "rbe";
    } else if ((mode & ZLIB_FILEFUNC_MODE_EXISTING) != 0) {
        openMode = "r+be";
    } else if ((mode & ZLIB_FILEFUNC_MODE_CREATE) != 0) {
        openMode = "wbe";
    }
    if (filename == nullptr || openMode == nullptr) {
        return nullptr;
    }
    FILE* file = std::fopen(static_cast<const char*>(filename), openMode);
    struct stat status {};
    if (file != nullptr && ::fstat(::fileno(file), &status) == 0 && opaque != nullptr) {
        auto* identity = static_cast<OpenedFileIdentity*>(opaque);
        identity->opened = true;
        identity->device = status.st_dev;
        identity->inode = status.st_ino;
    }
    return file;
}

}  // namespace

zlib_filefunc64_def ArchiveFileFunctions(OpenedFileIdentity* identity) {
    zlib_filefunc64_def functions{};
    fill_fopen64_filefunc(&functions);
    functions.zopen64_file = OpenArchiveFile;
    functions.opaque = identity;
    return functions;
}

}  // namespace vaultpack
