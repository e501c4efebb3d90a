#pragma once

#include <filesystem>

#include <sys/stat.h>
#include <zip.h>

namespace vaultpack {

// The archive file as minizip writes it: a stream of its own on an open file
// (close-on-exec), and what the writer needs to know that minizip does not
// keep: the status of the file, so that it is never added to itself, and the
// system's error of the last failed open, write or close.
struct ArchiveStream {
    std::filesystem::path path;  // as shown in messages
    int descriptor = -1;         // the open archive file; the stream writes through a copy
    struct stat status {};
    int writeError = 0;
};

// minizip's file functions for `stream`, which must outlive the handle they open.
zlib_filefunc64_def ArchiveStreamFunctions(ArchiveStream& stream);

}  // namespace vaultpack
