#include "zip/PathReservations.h"

#include <algorithm>
#include <functional>

namespace vaultpack {

namespace {

// Records kept before those of entries no longer in progress are dropped.
constexpr std::size_t kRecordsBeforeForgetting = 64 * 1024;

}  // namespace

void PathReservations::HashesOf(std::string_view target, std::vector<std::size_t>& hashes) {
    hashes.clear();
    // The target and each of its folders end at a separator or the end.
    for (std::size_t end = target.size(); end != target.npos && end > 0; end = target.rfind('/', end - 1)) {
        if (hashes.size() == kDeepestPath) {
            hashes.clear();
            return;
        }
        hashes.push_back(std::hash<std::string_view>()(target.substr(0, end)));
    }
}

bool PathReservations::InProgress(const Users& users, std::size_t hash, std::int64_t current) {
    const auto user = users.find(hash);
    return user != users.end() && user->second >= current;
}

PathReservations::Verdict PathReservations::Reserve(std::int64_t index, const std::vector<std::size_t>& hashes,
                                                    bool isFolder, std::int64_t current) {
    Forget(current);
    Verdict verdict;
    if (!hashes.empty()) {
        const bool unknownInProgress = lastUnknown_ >= 0 && lastUnknown_ >= current;
        verdict.fileFree = !unknownInProgress && !InProgress(users_, hashes.front(), current);
        verdict.foldersFree = !unknownInProgress && std::none_of(hashes.begin() + 1, hashes.end(), [&](std::size_t hash) {
                                  return InProgress(targets_, hash, current);
                              });
    }
    for (const std::size_t hash : hashes) {
        users_[hash] = index;
    }
    if (!hashes.empty() && !isFolder) {
        targets_[hashes.front()] = index;
    }
    return verdict;
}

void PathReservations::Forget(std::int64_t current) {
    if (users_.size() + targets_.size() < kRecordsBeforeForgetting) {
        return;
    }
    const auto done = [current](const auto& user) { return user.second < current; };
    std::erase_if(users_, done);
    std::erase_if(targets_, done);
}

}  // namespace vaultpack
