#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <unordered_set>

#include "zip/UnzipTarget.h"

namespace vaultpack {

// The folders below one destination that an extraction has made ready. Each
// folder is checked (and created) once; later entries in it cost a lookup.
// Ready folders stay ready: no entry can put a link or a file where one of
// them stands, since a rename never replaces a folder with anything else.
class DestinationFolders {
public:
    explicit DestinationFolders(std::filesystem::path destination) : destination_(std::move(destination)) {}

    // Makes sure `folder` exists as a real folder at or below the destination:
    // creates the destination when it is missing, then every folder from
    // there down to `folder`. A folder on the way that is a symbolic link is
    // refused rather than followed, so nothing is ever created or written
    // outside the destination through a link; so is a file standing where a
    // folder belongs. Returns the problem when it fails, nothing when the
    // folder is there.
    std::optional<FolderProblem> Prepare(const std::filesystem::path& folder);
    // Whether Prepare has made folder ready.
    bool IsReady(const std::string& folder) const { return ready_.contains(folder); }
    // The outermost folder from the destination down to `folder` that is not
    // ready; nothing when all are, or when the destination itself is not.
    std::optional<std::filesystem::path> FirstMissing(const std::filesystem::path& folder) const;
    // Takes a folder the caller has just created, where nothing stood, as ready.
    void MarkReady(const std::filesystem::path& folder) { ready_.insert(folder.native()); }

private:
    std::filesystem::path destination_;
    bool destinationReady_ = false;
    std::unordered_set<std::string> ready_;
};

}  // namespace vaultpack
