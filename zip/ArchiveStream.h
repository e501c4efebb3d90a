#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include <sys/stat.h>

namespace vaultpack {

// The archive file as the writer writes it, through a write-behind buffer:
// each entry's local header, its data, then a write back into the header
// for its sizes and CRC. The buffer takes all three in memory and reaches the
// file in large writes (pwrite), where a plain stream would flush, seek and
// write twice per entry.
//
// It also keeps what the writer needs to know: the status of the file, so
// that it is never added to itself, and the system's error of the first
// failed write.
struct ArchiveStream {
    static constexpr std::size_t kBufferSize = 1024 * 1024;

    std::filesystem::path path;  // as shown in messages
    int descriptor = -1;         // the open archive file; the caller keeps it open
    struct stat status {};
    int writeError = 0;

    // Starts at the file's current offset; false (writeError set) when the
    // file cannot be examined.
    bool Open(int openDescriptor);
    // Writes at `position`, which the writer may move back over what it
    // wrote; false once a write failed.
    bool Write(const unsigned char* bytes, std::size_t size);
    // Writes what is held back; false once a write failed.
    bool Flush();
    // Flushes and leaves the file's offset at the end of what was written.
    bool Finish();

    std::uint64_t position = 0;  // where the next write goes
    std::uint64_t end = 0;       // the file's size once everything is written
    std::uint64_t heldFrom = 0;  // the file offset of held[0]
    std::vector<unsigned char> held;
};

}  // namespace vaultpack
