#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "files/FileHandle.h"
#include "files/OwnTemporaryFiles.h"
#include "files/PendingFile.h"

namespace vaultpack {

// The file a job writes for the user at `finalPath`. It is made in the
// opened folder of that path as a PendingFile: without a name where the file
// system allows, else under a hidden temporary name registered for removal.
// Writers get its descriptor (File()); nothing opens it by a path. Only
// Commit gives it its final name; otherwise nothing of it stays when the
// object goes, so a failed or cancelled write never touches the file it
// would replace. Until committed it counts as one of the process's own
// temporaries (IsOwnTemporaryFile), whatever name reaches it.
class OutputFile {
public:
    // Throws FileError (CreateTemporaryFileIn, the folder) when no file can be made there.
    explicit OutputFile(std::filesystem::path finalPath);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    FileHandle& File() { return pending_->File(); }
    const std::filesystem::path& FinalPath() const { return finalPath_; }

    // How Commit puts the file in place.
    struct CommitOptions {
        // False when nothing stood at the final path as the user was asked:
        // a file that has appeared there since is kept, and Commit throws
        // FileError (Replace, EEXIST) instead of replacing it.
        bool replaceExisting = true;
        // Flushes the file to the disk before it is named and its folder
        // after, so that a crash leaves the old file or the whole new one.
        bool durable = false;
    };
    // Closes the file and gives it its final name, replacing what stands
    // there unless the options say otherwise. Throws FileError.
    void Commit(CommitOptions options);
    void Commit() { Commit(CommitOptions{}); }

private:
    std::filesystem::path finalPath_;
    FileHandle folder_;
    std::optional<PendingFile> pending_;
    std::optional<OwnTemporaryFileMark> mark_;
};

}  // namespace vaultpack
