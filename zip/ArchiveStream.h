#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include <sys/stat.h>
#include <zip.h>

namespace vaultpack {

// The archive file as minizip writes it, through a write-behind buffer of
// its own: minizip writes each entry's local header, its data, then seeks
// back to fill in the header's sizes and CRC. The buffer takes all three in
// memory and reaches the file in large writes, where a stdio stream would
// flush, seek and write twice per entry.
//
// It also keeps what the writer needs to know that minizip does not: the
// status of the file, so that it is never added to itself, and the system's
// error of the first failed write.
struct ArchiveStream {
    static constexpr std::size_t kBufferSize = 1024 * 1024;

    std::filesystem::path path;  // as shown in messages
    int descriptor = -1;         // the open archive file, written with pwrite
    struct stat status {};
    int writeError = 0;

    // Writes at the current position; false once a write failed.
    bool Write(const unsigned char* bytes, std::size_t size);
    // Writes what is held back; false once a write failed.
    bool Flush();

    std::uint64_t position = 0;  // where the next write goes
    std::uint64_t end = 0;       // the file's size once everything is written
    std::uint64_t heldFrom = 0;  // the file offset of held[0]
    std::vector<unsigned char> held;
};

// minizip's file functions for `stream`, which must outlive the handle they
// open. Closing the handle flushes the stream and leaves the descriptor's
// offset at the end of the archive; the descriptor stays open.
zlib_filefunc64_def ArchiveStreamFunctions(ArchiveStream& stream);

}  // namespace vaultpack
