#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

#include "jobs/JobRecords.h"
#include "resources/MessageId.h"

namespace vaultpack {

// Why the walk leaves a file or folder out.
enum class SkipReason {
    NotRegularFile,    // a FIFO, socket, device, broken link or link to a folder
    NameHasBackslash,  // archives take "\\" for a folder separator: the name would not survive
    NameNotStorable,   // the stored name would be refused on extraction (see CheckStoredName)
    EmptyFolder,       // archives hold files only: a folder with nothing in it would not come back
};

// Walks the tree below `folder` depth first, each folder's entries in byte
// order of their names, and hands every regular file (links to files are
// followed) to onFile as a row of the builder's list: its name, the archive
// folder `prefix` followed by the sub-folders down to it, each ending in "\",
// and its path. Links to folders are not entered (no loops, nothing outside
// the tree); FIFOs, sockets, devices and broken links go to onSkipped, as a
// FIFO would block the job for ever, and so do files and folders whose name
// holds a backslash or would give an unsafe stored name, and folders that
// hold nothing at all. Stops as soon as onFile returns false.
// Returns the error of the first folder that cannot be read, after which the
// walk stops; nothing on success.
// The message that names a left-out path (its one argument) and says why.
MessageId SkippedMessage(SkipReason reason);

std::error_code WalkFolderTree(const std::filesystem::path& folder, const std::string& prefix,
                               const std::function<bool(ArchiveItem)>& onFile,
                               const std::function<void(const std::filesystem::path&, SkipReason)>& onSkipped);

}  // namespace vaultpack
