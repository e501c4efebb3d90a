#pragma once

#include <string>

#include <sys/stat.h>
#include <sys/types.h>

#include "files/FileHandle.h"
#include "files/TemporaryFileRegistry.h"

namespace vaultpack {

// A new file in an open folder that gets its name only once it is complete,
// so that no end of the process (a kill, a crash, running out of memory)
// ever leaves a part of it under that name. (After a power loss, a file
// system that writes names before data may still show one short: only a
// flush before naming would stop that, at the cost of a disk write per file.) Where the file system allows, it has no name at all
// while written (O_TMPFILE), so nothing is left of it either; elsewhere it is
// written under a hidden temporary name, registered for removal.
// Everything happens relative to the folder's descriptor: no path is looked
// up again, so a folder swapped for a link meanwhile is never followed.
// Unless published, the file is gone when the object goes.
class PendingFile {
public:
    // Throws FileError (CreateTemporaryFileIn, shownFolder) when no file can
    // be made in `folder`; the file gets `mode` less the umask.
    PendingFile(int folder, const std::string& shownFolder, mode_t mode);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    FileHandle& File() { return file_; }

    // With the file written, closes it and gives it `name` in the folder,
    // replacing what stands there only when `replace`; false, and the file
    // kept unnamed, when something stands there and must not be replaced.
    // With `keep`, the file stays registered for removal at an abrupt end as
    // *keep (through the folder, by its identity) with the token in
    // *registration, for the caller to unregister; nothing is published when
    // no registry slot is free (FileError ENOSPC). Throws FileError
    // (Replace, shownPath) when putting it in place fails.
    bool Publish(const std::string& name, const std::string& shownPath, bool replace, MadeFile* keep = nullptr,
                 int* registration = nullptr);

private:
    void LinkUnnamed(const std::string& name, const std::string& shownPath, bool replace, const struct stat& status);
    void RenameNamed(const std::string& name, const std::string& shownPath, bool replace);

    int folder_;
    FileHandle file_;
    std::string temporaryName_;  // empty while the file has no name
    MadeFile temporary_;         // the temporary name, registered for removal
    int registration_ = -1;
    bool published_ = false;
};

}  // namespace vaultpack
