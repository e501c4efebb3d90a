#include "zip/UnzipTarget.h"

#include "zip/DestinationFolders.h"

namespace vaultpack {

std::optional<FolderProblem> CreateFoldersBelow(const std::filesystem::path& destination,
                                                const std::filesystem::path& folder) {
    return DestinationFolders(destination).Prepare(folder);
}

}  // namespace vaultpack
