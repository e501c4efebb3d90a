#include "zip/DestinationFolders.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "files/TemporaryFileRegistry.h"

namespace vaultpack {

namespace {

// What a folder creation gives once an abrupt end has begun: nothing new is made then.
FolderProblem Refused(FolderProblem::Kind kind, const std::filesystem::path& folder) {
    return FolderProblem{kind, folder, std::make_error_code(std::errc::operation_canceled)};
}

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
    const GuardedCreation guard;
    if (!guard.allowed()) {
        return Refused(FolderProblem::Kind::CannotCreate, folder);
    }
    if (!std::filesystem::create_directory(folder, error) && error) {
        return FolderProblem{FolderProblem::Kind::CannotCreate, folder, error};
    }
    return std::nullopt;
}

// The folders from below destination down to `folder`, outermost first;
// nothing when `folder` would leave destination.
std::optional<std::vector<std::filesystem::path>> FoldersDownTo(const std::filesystem::path& destination,
                                                                const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> chain;
    std::filesystem::path current = destination;
    for (const std::filesystem::path& component : folder.lexically_relative(destination)) {
        if (component.empty() || component == ".") {
            continue;
        }
        if (component == "..") {
            return std::nullopt;
        }
        current /= component;
        chain.push_back(current);
    }
    return chain;
}

}  // namespace

std::optional<std::filesystem::path> DestinationFolders::FirstMissing(const std::filesystem::path& folder) const {
    const std::optional<std::vector<std::filesystem::path>> chain = FoldersDownTo(destination_, folder);
    if (!destinationReady_ || !chain) {
        return std::nullopt;
    }
    const auto missing =
        std::find_if(chain->begin(), chain->end(), [&](const auto& current) { return !IsReady(current.native()); });
    return missing == chain->end() ? std::nullopt : std::optional(*missing);
}

std::optional<FolderProblem> DestinationFolders::Prepare(const std::filesystem::path& folder) {
    if (ready_.contains(folder.native())) {
        return std::nullopt;
    }
    if (!destinationReady_) {
        std::error_code error;
        const GuardedCreation guard;
        if (!guard.allowed()) {
            return Refused(FolderProblem::Kind::DestinationUnusable, destination_);
        }
        std::filesystem::create_directories(destination_, error);
        if (error || !std::filesystem::is_directory(destination_, error)) {
            return FolderProblem{FolderProblem::Kind::DestinationUnusable, destination_, error};
        }
        destinationReady_ = true;
        ready_.insert(destination_.native());
    }
    const std::optional<std::vector<std::filesystem::path>> chain = FoldersDownTo(destination_, folder);
    if (!chain) {
        return FolderProblem{FolderProblem::Kind::OutsideDestination, folder};
    }
    for (const std::filesystem::path& current : *chain) {
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
