#include "files/PrivateFolder.h"

#include <cstdlib>

#include "files/FileHandle.h"
#include "files/TemporaryFileRegistry.h"
#include "files/WorkerPool.h"

namespace vaultpack {

PrivateFolder::PrivateFolder(const std::string& prefix) {
    const std::filesystem::path temporaryFolder = std::filesystem::temp_directory_path();
    std::string pattern = (temporaryFolder / (prefix + "XXXXXX")).string();
    // Made and registered before an abrupt end removes what is registered, or
    // not at all. The termination signals wait meanwhile: their handler would
    // wait for this very guard on the GUI thread.
    const TerminationSignalsBlocked blocked;
    const GuardedCreation guard;
    RequireCreationAllowed(guard, FileOperation::CreateFolderIn, temporaryFolder);
    if (::mkdtemp(pattern.data()) == nullptr) {
        ThrowLastError(FileOperation::CreateFolderIn, temporaryFolder);
    }
    path_ = pattern;
    registration_ = RegisterTemporaryTree(path_.c_str());
}

PrivateFolder::~PrivateFolder() {
    RemoveTreeNow(path_.c_str());
    UnregisterTemporaryPath(registration_);
}

}  // namespace vaultpack
