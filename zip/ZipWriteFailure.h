#pragma once

#include <optional>

#include "files/FileHandle.h"

namespace vaultpack {

// Why a ZipWriter operation failed, beside the fixed ZipResult code it
// returned: the code's text alone rarely says what the user can do about it.
struct ZipWriteFailure {
    enum class Cause {
        None,             // nothing to add to the code (cancelled, an earlier failure, a library fault)
        FileAccess,       // fileError says which file, which operation, and the system's error
        SourceChanged,    // the source became shorter or changed while it was read
        SourceIsArchive,  // the source is the archive being written
        SourceIsOwnTemporary,  // the source is a file this process is still writing (IsOwnTemporaryFile)
        UnacceptableName, // the stored name would be refused on extraction
        OutOfMemory,
    };
    Cause cause = Cause::None;
    std::optional<FileError> fileError;

    static ZipWriteFailure Of(const FileError& error) { return {Cause::FileAccess, error}; }
};

}  // namespace vaultpack
