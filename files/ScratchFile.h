#pragma once

#include <filesystem>
#include <string>

#include "files/PrivateFolder.h"

namespace vaultpack {

// The path of an intermediate file with a chosen name, inside a new private
// folder under the system's temporary folder. The name matters (a container
// stores it, an archive entry is named after it), while the private folder
// keeps another job, another user or a stale file from standing at that path.
// The file and its folder are removed when the object goes, whatever was
// written; meanwhile both are in the temporary file registry, for an abrupt
// end. The constructor throws FileError when the folder cannot be made.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& fileName) : path_(folder_.Path() / fileName) {}
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    PrivateFolder folder_{"vaultpack-"};
    std::filesystem::path path_;
};

}  // namespace vaultpack
