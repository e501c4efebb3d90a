#include "cli/ArchiveItemList.h"

#include <algorithm>
#include <system_error>

#include "files/TemporaryOutputFile.h"

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

// The rows of one folder's tree; false (with list.failure set) when a part
// of the tree cannot be read.
bool CollectFolder(const std::filesystem::path& folder, const std::filesystem::path& exclude, ArchiveItemList& list) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    std::filesystem::recursive_directory_iterator walk(folder, error);
    for (; !error && walk != std::filesystem::recursive_directory_iterator(); walk.increment(error)) {
        const std::filesystem::directory_entry& entry = *walk;
        std::error_code statusError;
        if (entry.is_directory(statusError)) {
            if (entry.is_symlink(statusError)) {
                list.skipped.push_back(entry.path());  // not entered: it could lead outside or round in a loop
            }
            continue;
        }
        if (!entry.is_regular_file(statusError)) {
            list.skipped.push_back(entry.path());
            continue;
        }
        if (IsTemporaryOutputName(entry.path().filename().string())) {
            continue;  // what a killed run left of an unfinished output
        }
        // The output standing in the tree is the file being replaced; the
        // same file reached through another path is an input it must not be.
        if (!exclude.empty() && IsSameEntry(entry.path(), exclude)) {
            continue;
        }
        if (!exclude.empty() && std::filesystem::equivalent(entry.path(), exclude, statusError)) {
            list.refusal = "the OUTPUT \"" + exclude.string() + "\" is the file \"" + entry.path().string() +
                           "\" of an ITEM";
            return false;
        }
        files.push_back(entry.path().lexically_relative(folder));
    }
    if (error) {
        list.failure = "cannot read the folder " + folder.string() + ": " + error.message();
        return false;
    }
    std::sort(files.begin(), files.end());

    const std::string prefix = ArgumentName(folder) + "\\";
    for (const std::filesystem::path& relative : files) {
        ArchiveItem item;
        item.name = relative.filename().string();
        item.archiveFolder = prefix;
        for (const std::filesystem::path& level : relative.parent_path()) {
            item.archiveFolder += level.string() + "\\";
        }
        item.sourcePath = folder / relative;
        list.items.push_back(std::move(item));
    }
    return true;
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
        } else {
            ArchiveItem item;
            item.name = ArgumentName(argument);
            item.sourcePath = argument;
            list.items.push_back(std::move(item));
        }
    }
    return list;
}

}  // namespace vaultpack
