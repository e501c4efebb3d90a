#include "app/FolderTreeWalk.h"

#include <algorithm>
#include <vector>

#include "zip/EntryPath.h"

namespace vaultpack {
namespace {

enum class Walk { Go, Stop };

// Whether a name with "\\" separators, as the builder's rows hold it, passes
// the checks an archive's entries are extracted under.
bool IsStorableName(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    return CheckStoredName(name) == StoredNameProblem::None;
}

Walk WalkFolder(const std::filesystem::path& folder, const std::string& prefix,
                const std::function<bool(ArchiveItem)>& onFile,
                const std::function<void(const std::filesystem::path&, SkipReason)>& onSkipped,
                std::error_code& error) {
    std::vector<std::filesystem::directory_entry> entries;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        entries.push_back(*it);
    }
    if (error) {
        return Walk::Stop;
    }
    if (entries.empty()) {
        onSkipped(folder, SkipReason::EmptyFolder);
        return Walk::Go;
    }
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return a.path().filename().native() < b.path().filename().native();
    });
    for (const std::filesystem::directory_entry& entry : entries) {
        std::error_code statusError;
        const std::string name = entry.path().filename().string();
        if (name.find('\\') != std::string::npos) {
            onSkipped(entry.path(), SkipReason::NameHasBackslash);
        } else if (entry.is_directory(statusError)) {
            if (entry.is_symlink(statusError)) {
                onSkipped(entry.path(), SkipReason::NotRegularFile);
            } else if (WalkFolder(entry.path(), prefix + name + "\\", onFile, onSkipped, error) == Walk::Stop) {
                return Walk::Stop;
            }
        } else if (!entry.is_regular_file(statusError)) {
            onSkipped(entry.path(), SkipReason::NotRegularFile);
        } else if (!IsStorableName(prefix + name)) {
            onSkipped(entry.path(), SkipReason::NameNotStorable);
        } else if (!onFile(ArchiveItem{name, prefix, entry.path()})) {
            return Walk::Stop;
        }
    }
    return Walk::Go;
}

}  // namespace

MessageId SkippedMessage(SkipReason reason) {
    switch (reason) {
        case SkipReason::NotRegularFile: return MessageId::SkippedNotRegularFile;
        case SkipReason::NameHasBackslash: return MessageId::SkippedNameHasBackslash;
        case SkipReason::NameNotStorable: return MessageId::SkippedNameNotStorable;
        case SkipReason::EmptyFolder: return MessageId::SkippedEmptyFolder;
    }
    return MessageId::SkippedNotRegularFile;
}

std::error_code WalkFolderTree(const std::filesystem::path& folder, const std::string& prefix,
                               const std::function<bool(ArchiveItem)>& onFile,
                               const std::function<void(const std::filesystem::path&, SkipReason)>& onSkipped) {
    std::error_code error;
    WalkFolder(folder, prefix, onFile, onSkipped, error);
    return error;
}

}  // namespace vaultpack
