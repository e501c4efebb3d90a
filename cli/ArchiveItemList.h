#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "app/FolderTreeWalk.h"
#include "jobs/JobRecords.h"

namespace vaultpack {

// The builder's rows for the ITEMs of "create", or why they could not be read.
struct ArchiveItemList {
    std::vector<ArchiveItem> items;
    // What a folder's tree holds besides regular files and folders (sockets,
    // FIFOs, broken links, links to folders; a FIFO would block the job for
    // ever), and files whose names cannot be stored (WalkFolderTree).
    struct Skipped {
        std::filesystem::path path;
        SkipReason reason;
    };
    std::vector<Skipped> skipped;
    std::string failure;  // empty when the trees were read
    std::string refusal;  // empty unless `exclude` is a file of a tree reached through another path
};

// Turns each argument into rows, in the order given: a file as Add Files adds
// it (no archive folder), a folder as Add Folders adds it: every regular file
// of its tree, sorted by path (folder by folder, each name byte for byte),
// with archiveFolder holding the folder's own name and the sub-folders down
// to the file, each followed by "\". Links to files are followed; links to
// folders inside a tree are not entered. The file at the path `exclude` (the
// archive being written) is left out when it stands in a tree; a tree file
// that is the same file by another path (`exclude` links to it, or is a hard
// link of it) stops the walk with a refusal. A file argument whose name
// cannot be stored is skipped as the walk skips it. The arguments must exist, and
// none may be `exclude` itself.
ArchiveItemList CollectArchiveItems(const std::vector<std::filesystem::path>& arguments,
                                    const std::filesystem::path& exclude);

}  // namespace vaultpack
