#pragma once

#include <cstdint>
#include <functional>

#include "files/FileHandle.h"
#include "zip/ZipArchiveFile.h"
#include "zip/EntryProtection.h"
#include "zip/ZipResult.h"

namespace vaultpack {

// Writes the data of one entry, stored or deflated, at dataOffset in the
// archive to `file`, in pieces of about 1 MiB: the calling thread reads and
// inflates while another thread writes the pieces before, a few at most, so
// memory stays bounded whatever sizes the entry claims. The data must come
// out with the size and CRC of `record`.
// Results: Success; CorruptArchive for damaged data, or data of another size
// or CRC; ReadFailed when reading the archive fails; OutOfMemory;
// PartiallyUnzipped when cancelRequested, asked before each piece, answered
// true. What was written then stays in `file`. A failed write throws its
// FileError, which says why.
// An encrypted entry is decrypted with use.password as it is read, and its
// authentication code checked at the end (see PasswordUse).
ZipResult InflateStreamToFile(const ZipArchiveFile& archive, const CentralRecord& record, std::uint64_t dataOffset,
                              FileHandle& file, const std::function<bool()>& cancelRequested, PasswordUse& use);

}  // namespace vaultpack
