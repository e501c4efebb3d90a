#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <vector>

#include <sys/stat.h>

#include "files/FileHandle.h"
#include "zip/BlockDeflater.h"
#include "zip/ZipResult.h"
#include "files/Failure.h"

namespace vaultpack {

// One source file made ready for ZipWriter::AddPrepared, possibly on another
// thread and ahead of its turn. A file up to ZipWriter::kWholeFileLimit is
// read and compressed here; a larger one stays open and is compressed in
// blocks, which other threads may help to make, as it is written.
struct PreparedEntry {
    // Success, or why the file cannot be added: CannotOpenFile, ReadFailed,
    // FaultyArguments (the archive itself or another of our temporaries as source).
    ZipResult result = ZipResult::Success;
    Failure failure;  // why, when result is not Success
    std::string sourcePath;  // for the failures met while it is written
    struct stat status {};
    std::time_t creationTime = 0;
    // The entry's data as it goes into the archive when `whole`; otherwise
    // `blocks` makes it from the source (deflated), or `source` is open at
    // its start (stored).
    bool whole = false;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    std::vector<unsigned char> data;
    FileHandle source;
    std::shared_ptr<BlockDeflater> blocks;
};

}  // namespace vaultpack
