#include "cli/ArchiveItemList.h"

#include <system_error>

#include "app/FolderTreeWalk.h"
#include "zip/EntryPath.h"

namespace vaultpack {
namespace {

// Whether both paths name the same entry of the same folder: the file there
// itself, not another path (a link, a hard link) to the file it holds.
bool IsSameEntry(const std::filesystem::path& first, const std::filesystem::path& second) {
    const auto folderOf = [](const std::filesystem::path& path) {
        return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    };
    std::error_code error;
    return first.filename() == second.filename() && std::filesystem::equivalent(folderOf(first), folderOf(second), error);
}

// The name an argument is known by: its last component, also when a folder
// was given as "dir/", "." or "..".
std::string ArgumentName(const std::filesystem::path& argument) {
    std::filesystem::path normal = std::filesystem::absolute(argument).lexically_normal();
    if (!normal.has_filename()) {
        normal = normal.parent_path();
    }
    return normal.filename().string();
}

// The rows of one folder's tree; false (with list.failure or list.refusal
// set) when a part of the tree cannot be read or the OUTPUT is one of its files.
bool CollectFolder(const std::filesystem::path& folder, const std::filesystem::path& exclude, ArchiveItemList& list) {
    // An output that does not exist yet cannot stand in the tree: no file is looked at twice then.
    std::error_code existsError;
    const bool excludeExists = !exclude.empty() && (std::filesystem::exists(exclude, existsError) || existsError);
    const std::error_code error = WalkFolderTree(
        folder, ArgumentName(folder) + "\\",
        [&](ArchiveItem item) {
            if (!excludeExists) {
                list.items.push_back(std::move(item));
                return true;
            }
            // The output standing in the tree is the file being replaced; the
            // same file reached through another path is an input it must not be.
            if (IsSameEntry(item.sourcePath, exclude)) {
                return true;
            }
            std::error_code statusError;
            if (std::filesystem::equivalent(item.sourcePath, exclude, statusError)) {
                list.refusal = "the OUTPUT \"" + exclude.string() + "\" is the file \"" + item.sourcePath.string() +
                               "\" of an ITEM";
                return false;
            }
            list.items.push_back(std::move(item));
            return true;
        },
        [&](const std::filesystem::path& skipped, SkipReason reason) { list.skipped.push_back({skipped, reason}); });
    if (error) {
        list.failure = "cannot read the folder " + folder.string() + ": " + error.message();
    }
    return !error && list.refusal.empty();
}

}  // namespace

ArchiveItemList CollectArchiveItems(const std::vector<std::filesystem::path>& arguments,
                                    const std::filesystem::path& exclude) {
    ArchiveItemList list;
    for (const std::filesystem::path& argument : arguments) {
        std::error_code error;
        if (std::filesystem::is_directory(argument, error)) {
            if (!CollectFolder(argument, exclude, list)) {
                return list;
            }
        } else if (const std::string name = ArgumentName(argument); name.find('\\') != std::string::npos) {
            list.skipped.push_back({argument, SkipReason::NameHasBackslash});
        } else if (CheckStoredName(name) != StoredNameProblem::None) {
            list.skipped.push_back({argument, SkipReason::NameNotStorable});
        } else {
            ArchiveItem item;
            item.name = name;
            item.sourcePath = argument;
            list.items.push_back(std::move(item));
        }
    }
    return list;
}

}  // namespace vaultpack
