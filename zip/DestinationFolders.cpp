#include "zip/DestinationFolders.h"

namespace vaultpack {

namespace {

// Creates one folder; an existing folder is fine, anything else standing there is not.
std::optional<FolderProblem> CreateOneFolder(const std::filesystem::path& folder) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(folder, error);
    if (std::filesystem::is_symlink(status)) {
        return FolderProblem{FolderProblem::Kind::SymbolicLink, folder};
    }
    if (std::filesystem::is_directory(status)) {
        return std::nullopt;
    }
    if (std::filesystem::exists(status)) {
        return FolderProblem{FolderProblem::Kind::NotAFolder, folder};
    }
    if (!std::filesystem::create_directory(folder, error) && error) {
        return FolderProblem{FolderProblem::Kind::CannotCreate, folder, error};
    }
    return std::nullopt;
}

}  // namespace

std::optional<FolderProblem> DestinationFolders::Prepare(const std::filesystem::path& folder) {
    if (ready_.contains(folder.native())) {
        return std::nullopt;
    }
    if (!destinationReady_) {
        std::error_code error;
        std::filesystem::create_directories(destination_, error);
        if (error || !std::filesystem::is_directory(destination_, error)) {
            return FolderProblem{FolderProblem::Kind::DestinationUnusable, destination_, error};
        }
        destinationReady_ = true;
    }
    std::filesystem::path current = destination_;
    for (const std::filesystem::path& component : folder.lexically_relative(destination_)) {
        if (component.empty() || component == ".") {
            continue;
        }
        if (component == "..") {
            return FolderProblem{FolderProblem::Kind::OutsideDestination, folder};
        }
        current /= component;
        if (ready_.contains(current.native())) {
            continue;
        }
        if (auto problem = CreateOneFolder(current)) {
            return problem;
        }
        ready_.insert(current.native());
    }
    ready_.insert(folder.native());
    return std::nullopt;
}

}  // namespace vaultpack
