#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jobs/ArchiveContents.h"

namespace vaultpack {

// The folders of an archive, built once from its flat list of entries: each
// folder with its subfolders and the files directly in it. Folders that the
// archive names only through its entries' paths are made up; a folder entry
// is joined to its folder. Entries whose names are flagged (NameFlag) stand
// at the top with their whole name, as they could go nowhere else.
class ArchiveTree {
public:
    struct Folder {
        std::string_view name;  // the last component; empty for the top
        std::int32_t parent = -1;
        std::int32_t rowInParent = 0;
        std::int64_t entry = -1;  // the archive's folder entry, when it has one
        std::vector<std::int32_t> folders;
        std::vector<std::uint32_t> files;
    };

    // A row of a folder's list: a subfolder or an entry.
    struct Row {
        bool isFolder = false;
        std::uint32_t id = 0;  // a folder's number, or an entry's index
    };

    explicit ArchiveTree(std::shared_ptr<const ArchiveContents> contents);

    const ArchiveContents& Contents() const { return *contents_; }
    const Folder& FolderAt(std::int32_t folder) const { return folders_[static_cast<std::size_t>(folder)]; }
    std::size_t FolderCount() const { return folders_.size(); }
    static constexpr std::int32_t kTop = 0;

    // What a file row shows as its name: the last component, or the whole
    // name of a flagged entry.
    std::string_view ShownName(std::uint32_t entry) const;
    // The path of a row below `from` ("" for the top), with "/" separators.
    std::string PathBelow(std::int32_t from, const Row& row) const;

    // The rows of one folder: its subfolders, then its files.
    std::vector<Row> RowsOf(std::int32_t folder) const;
    // Every row below `folder` (any depth) whose shown name contains `text`,
    // compared without case for A to Z.
    std::vector<Row> RowsMatching(std::int32_t folder, std::string_view text) const;
    // The archive's entries that rows stand for, in ascending order: a
    // folder's own entry and every entry below it.
    std::vector<std::int64_t> EntriesOf(const std::vector<Row>& rows) const;
    // The total size and count of the entries below a folder, any depth.
    std::uint64_t SizeBelow(std::int32_t folder) const { return sizes_[static_cast<std::size_t>(folder)]; }

private:
    void AddEntriesBelow(std::int32_t folder, std::vector<std::int64_t>& entries) const;

    std::shared_ptr<const ArchiveContents> contents_;
    std::vector<Folder> folders_;
    std::vector<std::uint64_t> sizes_;
};

}  // namespace vaultpack
