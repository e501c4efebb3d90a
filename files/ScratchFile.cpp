#include "files/ScratchFile.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "files/FileHandle.h"
#include "files/TemporaryFileRegistry.h"

namespace vaultpack {

ScratchFile::ScratchFile(const std::string& fileName) {
    const std::filesystem::path temporaryFolder = std::filesystem::temp_directory_path();
    std::string pattern = (temporaryFolder / "vaultpack-XXXXXX").string();
    // Made and registered before an abrupt end removes what is registered, or not at all.
    const GuardedCreation guard;
    RequireCreationAllowed(guard, FileOperation::CreateFolderIn, temporaryFolder);
    if (::mkdtemp(pattern.data()) == nullptr) {
        ThrowLastError(FileOperation::CreateFolderIn, temporaryFolder);
    }
    folder_ = pattern;
    path_ = folder_ / fileName;
    folderRegistration_ = RegisterTemporaryPath(folder_.c_str());
    fileRegistration_ = RegisterTemporaryPath(path_.c_str());
}

ScratchFile::~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    UnregisterTemporaryPath(fileRegistration_);
    UnregisterTemporaryPath(folderRegistration_);
}

}  // namespace vaultpack
