#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "files/FileHandle.h"
#include "files/OwnTemporaryFiles.h"

namespace vaultpack {

// A new file under a unique hidden name in a given folder. It replaces its
// final name only when committed; otherwise it is removed when the object
// goes, so a failed or cancelled write never touches the file it would replace.
// While it exists, its path is in the temporary file registry, and until it
// is committed it counts as one of the process's own temporaries
// (IsOwnTemporaryFile). The constructor throws FileError
// (CreateTemporaryFileIn, the folder) when no file can be made there.
// A new name of the form TemporaryOutputFile gives, different on every call.
std::string NewTemporaryOutputName();

// Names tried before giving up because every one was taken.
inline constexpr int kTemporaryNameAttempts = 100;

// Makes something under a new temporary name with make(name), a system call
// that returns 0 or sets errno: a name that is taken (EEXIST) is followed by
// another. The name made; or empty, with the error number in `error`
// (EEXIST when every name tried was taken).
std::string MakeUnderNewTemporaryName(const std::function<int(const char* name)>& make, int& error);

class TemporaryOutputFile {
public:
    explicit TemporaryOutputFile(const std::filesystem::path& folder);
    ~TemporaryOutputFile();
    TemporaryOutputFile(const TemporaryOutputFile&) = delete;
    TemporaryOutputFile& operator=(const TemporaryOutputFile&) = delete;

    FileHandle& File() { return file_; }
    const std::filesystem::path& Path() const { return path_; }

    // How CommitAs puts the file in place.
    struct CommitOptions {
        // False when nothing stood at the final path as the user was asked:
        // a file that has appeared there since is kept, and CommitAs throws
        // FileError (Replace, EEXIST) instead of replacing it.
        bool replaceExisting = true;
        // Flushes the file to the disk before the rename and its folder after
        // it, so that a crash leaves the old file or the whole new one.
        bool durable = false;
    };

    // Closes the file and renames it to `finalPath`, replacing what stands
    // there unless the options say otherwise.
    void CommitAs(const std::filesystem::path& finalPath, CommitOptions options);
    void CommitAs(const std::filesystem::path& finalPath) { CommitAs(finalPath, CommitOptions{}); }

private:
    std::filesystem::path path_;
    FileHandle file_;
    bool committed_ = false;
    int registration_ = -1;
    std::optional<OwnTemporaryFileMark> mark_;
};

}  // namespace vaultpack
