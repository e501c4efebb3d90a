#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vaultpack {

// Which entries in progress use which paths, so that a file is made ahead of
// its turn only where no earlier entry still in progress puts anything.
// Entries are reserved in order; an entry is in progress from the one the
// job's thread may be at on. Paths are kept as hashes: a clash of hashes only
// keeps an entry from being made ahead.
class PathReservations {
public:
    // Sets `hashes` to those of a target and of each folder above it, target
    // first: the target is plain components joined by "/". Empty when the
    // path is deeper than can be kept for every entry ahead.
    static void HashesOf(std::string_view target, std::vector<std::size_t>& hashes);
    static constexpr std::size_t kDeepestPath = 64;

    struct Verdict {
        bool fileFree = false;     // no entry in progress uses the target
        bool foldersFree = false;  // none puts a file or link where one of its folders goes
    };
    // Records entry `index` (reserved after every earlier one), whose paths
    // are `hashes` and which puts a folder or not; `current` is the entry the
    // job's thread may be at.
    Verdict Reserve(std::int64_t index, const std::vector<std::size_t>& hashes, bool isFolder, std::int64_t current);
    // An entry whose paths are not known (too long a name or too deep a
    // path): no later entry is made ahead while it is in progress.
    void ReserveUnknown(std::int64_t index) { lastUnknown_ = index; }

private:
    using Users = std::unordered_map<std::size_t, std::int64_t>;
    static bool InProgress(const Users& users, std::size_t hash, std::int64_t current);
    // Drops the records of entries no longer in progress, once there are many.
    void Forget(std::int64_t current);

    Users users_;    // for each path: the last entry reserved that uses it
    Users targets_;  // the same for the targets of entries other than folders
    std::int64_t lastUnknown_ = -1;
};

}  // namespace vaultpack
