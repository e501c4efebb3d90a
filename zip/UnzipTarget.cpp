#include "zip/UnzipTarget.h"

#include <system_error>

namespace vaultpack {

std::string StoredNameProblemText(StoredNameProblem problem) {
    switch (problem) {
        case StoredNameProblem::None:  // a safe name that leaves no file name, such as "."
            return "The entry name does not name a file";
        case StoredNameProblem::Empty:
            return "The entry has no name";
        case StoredNameProblem::NulByte:
            return "The entry name contains a zero byte";
        case StoredNameProblem::Backslash:
            return "The entry name contains a backslash";
        case StoredNameProblem::Absolute:
            return "The entry name is an absolute path outside the destination folder";
        case StoredNameProblem::DriveLetter:
            return "The entry name starts with a drive letter";
        case StoredNameProblem::ParentFolder:
            return "The entry name leads out of the destination folder (\"..\")";
    }
    return "The entry name is not usable";
}

namespace {

// Creates one folder; an existing folder is fine, anything else standing there is not.
std::optional<std::string> CreateOneFolder(const std::filesystem::path& folder) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(folder, error);
    if (std::filesystem::is_symlink(status)) {
        return "\"" + folder.string() + "\" is a symbolic link, which is not followed";
    }
    if (std::filesystem::is_directory(status)) {
        return std::nullopt;
    }
    if (std::filesystem::exists(status)) {
        return "\"" + folder.string() + "\" exists and is not a folder";
    }
    if (!std::filesystem::create_directory(folder, error) && error) {
        return "Cannot create the folder \"" + folder.string() + "\": " + error.message();
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> CreateFoldersBelow(const std::filesystem::path& destination,
                                              const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(destination, error);
    if (error || !std::filesystem::is_directory(destination, error)) {
        const std::string reason = error ? ": " + error.message() : std::string();
        return "Cannot use the destination folder \"" + destination.string() + "\"" + reason;
    }
    std::filesystem::path current = destination;
    for (const std::filesystem::path& component : folder.lexically_relative(destination)) {
        if (component.empty() || component == ".") {
            continue;
        }
        if (component == "..") {
            return "\"" + folder.string() + "\" is outside the destination folder";
        }
        current /= component;
        if (auto problem = CreateOneFolder(current)) {
            return problem;
        }
    }
    return std::nullopt;
}

}  // namespace vaultpack
