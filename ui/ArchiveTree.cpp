#include "ui/ArchiveTree.h"

#include <algorithm>
#include <functional>
#include <unordered_map>
#include <utility>

#include "files/AsciiCase.h"

namespace vaultpack {

namespace {

// A folder by its parent and its name.
struct FolderKey {
    std::int32_t parent;
    std::string_view name;
    bool operator==(const FolderKey&) const = default;
};

struct FolderKeyHash {
    std::size_t operator()(const FolderKey& key) const {
        return std::hash<std::string_view>()(key.name) * 31 + static_cast<std::size_t>(key.parent);
    }
};

// Calls each(component) for the path's components, empty and "." ones left out.
template <typename Each>
void ForEachComponent(std::string_view path, Each each) {
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view component = path.substr(0, slash);
        if (!component.empty() && component != ".") {
            each(component);
        }
        path.remove_prefix(slash == std::string_view::npos ? path.size() : slash + 1);
    }
}

bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(),
                       [](char a, char b) { return AsciiLower(a) == AsciiLower(b); }) != text.end();
}

}  // namespace

ArchiveTree::ArchiveTree(std::shared_ptr<const ArchiveContents> contents) : contents_(std::move(contents)) {
    folders_.emplace_back();
    std::unordered_map<FolderKey, std::int32_t, FolderKeyHash> byName;
    const auto folderNamed = [&](std::int32_t parent, std::string_view name) {
        const auto [place, added] = byName.try_emplace(FolderKey{parent, name}, static_cast<std::int32_t>(folders_.size()));
        if (added) {
            Folder folder;
            folder.name = name;
            folder.parent = parent;
            folder.rowInParent = static_cast<std::int32_t>(folders_[static_cast<std::size_t>(parent)].folders.size());
            folders_[static_cast<std::size_t>(parent)].folders.push_back(place->second);
            folders_.push_back(std::move(folder));
        }
        return place->second;
    };
    // Entries mostly come folder by folder: the last entry's folder is at hand.
    std::string_view lastFolderPath;
    std::int32_t lastFolder = kTop;
    const std::vector<ListedEntry>& entries = contents_->entries;
    for (std::uint32_t index = 0; index < entries.size(); ++index) {
        const ListedEntry& entry = entries[index];
        const std::string_view name = contents_->NameOf(entry);
        if (entry.flag != NameFlag::None) {
            folders_[kTop].files.push_back(index);
            continue;
        }
        const std::size_t slash = entry.isFolder ? name.size() : name.rfind('/');
        const std::string_view folderPath = slash == std::string_view::npos ? std::string_view() : name.substr(0, slash);
        std::int32_t folder = kTop;
        if (folderPath == lastFolderPath && index > 0) {
            folder = lastFolder;
        } else {
            ForEachComponent(folderPath, [&](std::string_view component) { folder = folderNamed(folder, component); });
            lastFolderPath = folderPath;
            lastFolder = folder;
        }
        if (entry.isFolder) {
            folders_[static_cast<std::size_t>(folder)].entry = index;
        } else {
            folders_[static_cast<std::size_t>(folder)].files.push_back(index);
        }
    }
    // Sizes below each folder: children always come after their parents.
    sizes_.assign(folders_.size(), 0);
    for (std::size_t folder = folders_.size(); folder-- > 0;) {
        for (const std::uint32_t file : folders_[folder].files) {
            sizes_[folder] += entries[file].size;
        }
        if (folders_[folder].parent >= 0) {
            sizes_[static_cast<std::size_t>(folders_[folder].parent)] += sizes_[folder];
        }
    }
}

std::string_view ArchiveTree::ShownName(std::uint32_t entry) const {
    const ListedEntry& listed = contents_->entries[entry];
    const std::string_view name = contents_->NameOf(listed);
    if (listed.flag != NameFlag::None) {
        return name;
    }
    const std::size_t slash = name.rfind('/');
    return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

std::string ArchiveTree::PathBelow(std::int32_t from, const Row& row) const {
    std::vector<std::string_view> parts;  // the row's components, last first
    if (row.isFolder) {
        for (auto folder = static_cast<std::int32_t>(row.id); folder > kTop && folder != from;
             folder = FolderAt(folder).parent) {
            parts.push_back(FolderAt(folder).name);
        }
    } else if (contents_->entries[row.id].flag != NameFlag::None) {
        return std::string(ShownName(row.id));
    } else {
        // A file's folders come from its name, as the tree keeps no parent per file.
        ForEachComponent(contents_->NameOf(contents_->entries[row.id]),
                         [&](std::string_view component) { parts.push_back(component); });
        std::reverse(parts.begin(), parts.end());
        std::size_t depth = 0;
        for (std::int32_t folder = from; folder > kTop; folder = FolderAt(folder).parent) {
            ++depth;
        }
        parts.resize(parts.size() - std::min(depth, parts.size() - 1));
    }
    std::string path;
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
        path.append(path.empty() ? "" : "/").append(*part);
    }
    return path;
}

std::vector<ArchiveTree::Row> ArchiveTree::RowsOf(std::int32_t folder) const {
    const Folder& shown = FolderAt(folder);
    std::vector<Row> rows;
    rows.reserve(shown.folders.size() + shown.files.size());
    for (const std::int32_t child : shown.folders) {
        rows.push_back({true, static_cast<std::uint32_t>(child)});
    }
    for (const std::uint32_t file : shown.files) {
        rows.push_back({false, file});
    }
    return rows;
}

std::vector<ArchiveTree::Row> ArchiveTree::RowsMatching(std::int32_t folder, std::string_view text) const {
    std::vector<Row> rows;
    std::vector<std::int32_t> pending{folder};
    while (!pending.empty()) {
        const Folder& current = FolderAt(pending.back());
        pending.pop_back();
        for (const std::int32_t child : current.folders) {
            if (ContainsIgnoringCase(FolderAt(child).name, text)) {
                rows.push_back({true, static_cast<std::uint32_t>(child)});
            }
            pending.push_back(child);
        }
        for (const std::uint32_t file : current.files) {
            if (ContainsIgnoringCase(ShownName(file), text)) {
                rows.push_back({false, file});
            }
        }
    }
    return rows;
}

// Without recursion: an archive's folders may nest thousands of levels deep.
void ArchiveTree::AddEntriesBelow(std::int32_t folder, std::vector<std::int64_t>& entries) const {
    std::vector<std::int32_t> pending{folder};
    while (!pending.empty()) {
        const Folder& below = FolderAt(pending.back());
        pending.pop_back();
        if (below.entry >= 0) {
            entries.push_back(below.entry);
        }
        entries.insert(entries.end(), below.files.begin(), below.files.end());
        pending.insert(pending.end(), below.folders.begin(), below.folders.end());
    }
}

std::vector<std::int64_t> ArchiveTree::EntriesOf(const std::vector<Row>& rows) const {
    std::vector<std::int64_t> entries;
    for (const Row& row : rows) {
        if (row.isFolder) {
            AddEntriesBelow(static_cast<std::int32_t>(row.id), entries);
        } else {
            entries.push_back(row.id);
        }
    }
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    return entries;
}

}  // namespace vaultpack
