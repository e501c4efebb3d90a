#pragma once

#include <string>

#include "zip/ZipResult.h"

namespace vaultpack {

// How putting one entry on disk ended. `result` is the ZIP facility's code;
// beside it, why it failed, the system's error number where a call failed
// (0 otherwise) and the path concerned, so that the job can say exactly what
// went wrong without looking again.
struct EntryOutcome {
    enum class Reason {
        None,
        EntryUnreadable,      // the entry's record cannot be read: `result` says how; no name to show
        UnsafeName,           // the stored name gives no file below the destination (path: the name)
        NameTooLong,          // the target is beyond the system's limits for a path or a name
        DestinationUnusable,  // the destination cannot be made or opened as a folder
        FolderIsLink,         // a folder on the way is a symbolic link, which is not followed
        NotAFolder,           // something other than a folder stands where a folder belongs
        CannotCreateFolder,
        NotARegularFile,      // a folder, FIFO or device stands at the target
        IsTheArchive,         // the target is the archive being read
        IsTheContainer,       // the target is the container the archive came from
        Appeared,             // a file appeared at the target after the user was asked
        CannotCreateTemporaryFile,  // in the target's folder (path)
        CannotCreateFile,
        WriteFailed,
        Encrypted,            // entries this facility does not extract
        MethodUnsupported,
        LinkLeavesFolder,
        LinkUnreadable,
        SpecialFile,
        ArchiveData,          // reading the archive or its data failed: `result` says how
        Cancelled,
    };

    ZipResult result = ZipResult::Success;
    Reason reason = Reason::None;
    int systemError = 0;
    std::string path;
    std::string detail;  // the link's target, or the method's number

    bool Succeeded() const { return result == ZipResult::Success; }
    static EntryOutcome Done() { return {}; }
    static EntryOutcome Failed(ZipResult result, Reason reason, std::string path, int systemError = 0) {
        return {result, reason, systemError, std::move(path), {}};
    }
};

}  // namespace vaultpack
