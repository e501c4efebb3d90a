#pragma once

#include <filesystem>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "files/FileHandle.h"
#include "files/FileIdentity.h"
#include "files/TemporaryFileRegistry.h"
#include "zip/EntryOutcome.h"
#include "zip/ZipEntryInfo.h"
#include "zip/ZipFormat.h"

namespace vaultpack {

// Puts entries on disk below one destination, and alone decides how. Every
// folder below the destination is made with mkdirat and opened with
// O_NOFOLLOW | O_DIRECTORY in the folder above it, and every file and link
// is made relative to such an open folder: no path is looked up twice, so a
// folder swapped for a link during the run is never followed. A file gets
// its final name only once complete (files/PendingFile). The archive being
// read and the container it came from are never replaced.
//
// Memory stays linear in a name's length: a target beyond the system's
// limits (PATH_MAX, NAME_MAX) fails as that entry; a walk down to a folder
// holds one level open at a time, and the last kOpenFolders folders reached
// stay open for the entries that follow. The non-const members are called by
// one thread at a time (Extraction serialises them); writing to a
// place that is prepared may happen on any thread (the const members).
class EntryWriter {
public:
    struct ProtectedFiles {
        std::optional<FileIdentity> archive;
        std::optional<FileIdentity> container;
    };
    explicit EntryWriter(std::filesystem::path destination, ProtectedFiles protectedFiles = {});

    // Where an entry goes: its open folder and its last name there (empty for
    // a folder entry, which is the folder itself), and its path for messages.
    struct Place {
        std::shared_ptr<const FileHandle> folder;
        std::string name;
        std::string path;
    };

    // A folder OpenFolder made: its name in the open folder above it.
    struct MadeFolder {
        std::shared_ptr<const FileHandle> parent;
        std::string name;
        std::string relative;
        FileIdentity identity;
    };

    // Makes and opens the folders down to relativeFolder, given as plain
    // components joined by "/" (SafeTargetString("", name)), into
    // place.folder; the destination itself is created when missing. With
    // madeFolders, the folders made below the destination are added to it,
    // outermost first.
    EntryOutcome OpenFolder(std::string_view relativeFolder, Place& place,
                            std::vector<MadeFolder>* madeFolders = nullptr);
    // Locate and then OpenFolder, for the entry's folder (or the folder entry).
    EntryOutcome Prepare(std::string_view relativeTarget, bool isFolder, Place& place,
                         std::vector<MadeFolder>* madeFolders = nullptr);
    // The place's name and path, checked against the system's limits; the
    // folder still to open is FolderToOpen's.
    EntryOutcome Locate(std::string_view relativeTarget, bool isFolder, Place& place) const;
    static std::string_view FolderToOpen(std::string_view relativeTarget, bool isFolder);

    // The open folder Prepare has made ready for relativeFolder lately, if any.
    std::shared_ptr<const FileHandle> ReadyFolder(const std::string& relativeFolder) const;

    // What stands at a place now: nothing or a file (a link counts as one: it
    // is replaced, never followed), or the refusal for anything else.
    enum class Occupant { Nothing, File };
    EntryOutcome Examine(const Place& place, Occupant& occupant) const;

    // Writes a file at the place with what fill puts into it, the entry's
    // permission bits (never set-user-id, set-group-id or sticky) and its
    // times, replacing what stands there only when `replace`. With `keep`,
    // the file stays registered for removal (PendingFile::Publish).
    using Filler = std::function<ZipResult(FileHandle&)>;
    EntryOutcome WriteFile(const Place& place, const ZipEntryInfo& info, const EntryTimes& times, const Filler& fill,
                           bool replace, MadeFile* keep = nullptr, int* registration = nullptr) const;
    // Makes a symbolic link to linkTarget at the place, the same way.
    EntryOutcome WriteLink(const Place& place, const std::string& linkTarget, bool replace) const;

    const std::filesystem::path& Destination() const { return destination_; }

    // Folders kept open for later entries, at most; the oldest goes first.
    // Fewer where the process may open few descriptors: one per 32 it may.
    static constexpr std::size_t kOpenFolders = 16;

private:
    EntryOutcome OpenDestination();
    EntryOutcome OpenFolders(std::string_view relativeFolder, std::shared_ptr<const FileHandle>& folder,
                             std::vector<MadeFolder>* madeFolders);
    EntryOutcome WalkDown(const std::string& key, std::shared_ptr<const FileHandle>& folder,
                          std::vector<MadeFolder>* madeFolders) const;
    std::string Shown(std::string_view relative) const;

    std::filesystem::path destination_;
    ProtectedFiles protected_;
    std::optional<mode_t> umask_;
    std::size_t openFoldersKept_;
    std::shared_ptr<const FileHandle> destinationFolder_;
    std::unordered_map<std::string, std::shared_ptr<const FileHandle>> openFolders_;
    std::deque<std::string> openedInOrder_;  // the keys of openFolders_, oldest first
};

}  // namespace vaultpack
