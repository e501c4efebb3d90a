#include "files/OwnTemporaryFiles.h"

#include <mutex>
#include <set>
#include <utility>

namespace vaultpack {
namespace {

using Identity = std::pair<dev_t, ino_t>;

// A multiset: an inode freed by a removed temporary may be marked again
// before the first mark goes.
struct MarkedFiles {
    std::mutex mutex;
    std::multiset<Identity> identities;
};

// Never destroyed: a job's thread still running as the process exits may drop its mark then.
MarkedFiles& Marked() {
    static MarkedFiles* const marked = new MarkedFiles;
    return *marked;
}

}  // namespace

OwnTemporaryFileMark::OwnTemporaryFileMark(const struct stat& status) : device_(status.st_dev), inode_(status.st_ino) {
    MarkedFiles& marked = Marked();
    const std::lock_guard lock(marked.mutex);
    marked.identities.emplace(device_, inode_);
}

OwnTemporaryFileMark::~OwnTemporaryFileMark() {
    MarkedFiles& marked = Marked();
    const std::lock_guard lock(marked.mutex);
    marked.identities.erase(marked.identities.find({device_, inode_}));
}

bool IsOwnTemporaryFile(const struct stat& status) {
    MarkedFiles& marked = Marked();
    const std::lock_guard lock(marked.mutex);
    return marked.identities.contains({status.st_dev, status.st_ino});
}

}  // namespace vaultpack
