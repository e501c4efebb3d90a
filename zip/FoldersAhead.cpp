#include "zip/FoldersAhead.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "zip/EntryPath.h"

namespace vaultpack {

FoldersAhead::~FoldersAhead() {
    // Inner folders sort after those holding them.
    for (auto folder = made_.rbegin(); folder != made_.rend(); ++folder) {
        RemoveMadeFile(folder->second.made);
        UnregisterTemporaryPath(folder->second.registration);
    }
}

void FoldersAhead::Keep(std::string_view folder) {
    for (; !made_.empty() && !folder.empty(); folder = FolderOfTarget(folder)) {
        if (const auto made = made_.find(std::string(folder)); made != made_.end()) {
            UnregisterTemporaryPath(made->second.registration);
            made_.erase(made);
        }
    }
}

bool FoldersAhead::Make(EntryWriter& writer, const std::string& folder) {
    const auto depth = static_cast<std::size_t>(std::count(folder.begin(), folder.end(), '/') + 1);
    const GuardedCreation guard;
    if (made_.size() + depth > kMost || !guard.allowed()) {
        return false;
    }
    std::vector<EntryWriter::MadeFolder> folders;
    EntryWriter::Place place;
    writer.OpenFolder(folder, place, &folders);
    for (EntryWriter::MadeFolder& each : folders) {
        std::string relative = each.relative;
        Made& ahead = made_[std::move(relative)];
        UnregisterTemporaryPath(std::exchange(ahead.registration, -1));  // made again after someone removed it
        ahead.folder = std::move(each);
        ahead.made = {ahead.folder.parent->Descriptor(), ahead.folder.name.c_str(), ahead.folder.identity.device,
                      ahead.folder.identity.inode};
        // Unregistered, the folder is still removed on a stop, only not at an abrupt end.
        ahead.registration = RegisterMadeFile(&ahead.made);
    }
    return !folders.empty();
}

}  // namespace vaultpack
