#pragma once

#include <filesystem>
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

}  // namespace vaultpack
