#pragma once

// How ZipWriter and ZipReader let minizip open their archive file: like
// minizip's own stdio functions, but close-on-exec, and remembering which
// file was opened (device and inode) so the writer can refuse to add the
// archive to itself.

#include <memory>

#include <sys/types.h>
#include <unzip.h>
#include <zip.h>

namespace vaultpack {

struct OpenedFileIdentity {
    bool opened = false;
    dev_t device = 0;
    ino_t inode = 0;
};

// File functions for zipOpen2_64 and unzOpen2_64; identity must outlive the
// handle opened with them and is filled when the file is opened.
zlib_filefunc64_def ArchiveFileFunctions(OpenedFileIdentity* identity);

struct ZipHandleCloser {
    void operator()(zipFile handle) const { zipClose(handle, nullptr); }
};
struct UnzipHandleCloser {
    void operator()(unzFile handle) const { unzClose(handle); }
};
using ZipHandle = std::unique_ptr<void, ZipHandleCloser>;
using UnzipHandle = std::unique_ptr<void, UnzipHandleCloser>;

}  // namespace vaultpack
