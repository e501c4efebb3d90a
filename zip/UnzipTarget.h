#pragma once

#include <filesystem>
#include <optional>
#include <system_error>

namespace vaultpack {

// Why a folder for an extracted entry could not be made ready.
struct FolderProblem {
    enum class Kind {
        DestinationUnusable,  // the destination cannot be created or is no folder (error may be empty)
        OutsideDestination,   // the folder is not below the destination
        SymbolicLink,         // a folder on the way is a link, which is not followed
        NotAFolder,           // a file stands where a folder belongs
        CannotCreate,         // creating a folder failed (error says why)
    };
    Kind kind;
    std::filesystem::path folder;  // the folder concerned
    std::error_code error{};
};

// Makes sure `folder` exists as a real folder at or below `destination`:
// creates `destination` when it is missing, then every folder from there down
// to `folder`. A folder on the way that is a symbolic link is refused rather
// than followed, so nothing is ever created or written outside destination
// through a link; so is a file standing where a folder belongs. Returns the
// problem when it fails, nothing when the folder is there.
std::optional<FolderProblem> CreateFoldersBelow(const std::filesystem::path& destination,
                                                const std::filesystem::path& folder);

}  // namespace vaultpack
