#include "files/PrivateFolder.h"

#include <cstdlib>
#include <system_error>

#include "files/FileHandle.h"
#include "files/TemporaryFileRegistry.h"

namespace vaultpack {

PrivateFolder::PrivateFolder(const std::string& prefix) {
    const std::filesystem::path temporaryFolder = std::filesystem::temp_directory_path();
    std::string pattern = (temporaryFolder / (prefix + "XXXXXX")).string();
    // Made and registered before an abrupt end removes what is registered, or not at all.
    const GuardedCreation guard;
    RequireCreationAllowed(guard, FileOperation::CreateFolderIn, temporaryFolder);
    if (::mkdtemp(pattern.data()) == nullptr) {
        ThrowLastError(FileOperation::CreateFolderIn, temporaryFolder);
    }
    path_ = pattern;
    registration_ = RegisterTemporaryTree(path_.c_str());
}

PrivateFolder::~PrivateFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    UnregisterTemporaryPath(registration_);
}

}  // namespace vaultpack
