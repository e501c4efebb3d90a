#include "files/TemporaryFileRegistry.h"

#include <atomic>
#include <cerrno>
#include <thread>

#include <climits>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vaultpack {
namespace {

// Lock-free atomics only, so that RemoveRegisteredFiles may run in a signal handler.
static_assert(std::atomic<const char*>::is_always_lock_free && std::atomic<int>::is_always_lock_free &&
              std::atomic<const MadeFile*>::is_always_lock_free);

std::atomic<const char*> slots[kTemporaryPathSlots];
// Made files have slots of their own, with tokens after those of paths.
std::atomic<const MadeFile*> madeSlots[kMadeFileSlots];
// Where the next search for a free slot starts: a hint only.
std::atomic<int> nextFree{0};
// How many removals are walking the slots right now.
std::atomic<int> removalsRunning{0};
std::atomic<bool> removalBegun{false};
std::atomic<int> guardedCreations{0};
std::atomic<int> nextFreeMade{0};
std::atomic<const char*> treeSlots[kTemporaryTreeSlots];
std::atomic<int> nextFreeTree{0};
// Tokens: paths, then made files, then trees.
constexpr int kFirstTreeToken = kTemporaryPathSlots + kMadeFileSlots;

// Takes a free slot for value; its index, or -1 when all are taken. Values
// mostly go in the order they came, so the search starts after the slot taken
// last instead of walking past every slot still taken.
template <typename Value, int Count>
int TakeSlot(std::atomic<Value*> (&table)[Count], std::atomic<int>& hint, Value* value) {
    const int start = hint.load(std::memory_order_relaxed);
    for (int step = 0; step < Count; ++step) {
        const int index = (start + step) % Count;
        Value* expected = nullptr;
        if (table[index].load(std::memory_order_relaxed) == nullptr &&
            table[index].compare_exchange_strong(expected, value)) {
            hint.store((index + 1) % Count, std::memory_order_relaxed);
            return index;
        }
    }
    return -1;
}

// Whether the open folder still holds an entry; the first one it finds
// that is not a folder goes, and an empty folder goes too. `child` gets the
// name of a folder that is not empty, to go down into.
enum class Found { Nothing, Removed, FullFolder };
Found RemoveSomethingIn(int folder, char (&child)[256]) {
    alignas(8) char buffer[2048];
    ::lseek(folder, 0, SEEK_SET);
    for (;;) {
        const long length = ::syscall(SYS_getdents64, folder, buffer, sizeof buffer);
        if (length <= 0) {
            return Found::Nothing;
        }
        for (long offset = 0; offset < length;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + offset);
            offset += entry->d_reclen;
            const char* name = entry->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
                continue;
            }
            if (::unlinkat(folder, name, 0) == 0 || ::unlinkat(folder, name, AT_REMOVEDIR) == 0) {
                return Found::Removed;
            }
            if (errno == ENOTEMPTY || errno == EEXIST) {
                std::size_t length = 0;  // a name has at most 255 bytes
                for (; name[length] != '\0' && length + 1 < sizeof child; ++length) {
                    child[length] = name[length];
                }
                child[length] = '\0';
                return Found::FullFolder;
            }
        }
    }
}

}  // namespace

// Without recursion and with one folder open at a time, so that neither the
// stack nor the descriptors limit how deep a tree may be: go down into the
// first folder that is not empty, remove what is not a folder and empty
// folders, come back up through ".." when a folder is empty. Links are
// removed, never followed. An entry that cannot be removed ends the walk
// after a bounded number of steps without a removal.
void RemoveTreeNow(const char* path) {
    if (::unlink(path) == 0 || errno != EISDIR) {
        return;
    }
    int folder = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    int depth = 0;
    char child[256] = {};
    // Steps without a removal: more than a walk down and up the deepest tree
    // a path allows means something stays whatever is tried.
    for (int idle = 0; folder >= 0 && idle < 4 * PATH_MAX; ++idle) {
        const Found found = RemoveSomethingIn(folder, child);
        if (found == Found::Removed) {
            idle = 0;
            continue;
        }
        const int next = found == Found::FullFolder ? ::openat(folder, child, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                         : depth > 0                 ? ::openat(folder, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                                     : -1;
        if (found == Found::Nothing && depth == 0) {
            break;
        }
        ::close(folder);
        folder = next;
        depth += found == Found::FullFolder ? 1 : -1;
    }
    if (folder >= 0) {
        ::close(folder);
    }
    ::rmdir(path);
}


int RegisterTemporaryTree(const char* path) {
    const int index = TakeSlot(treeSlots, nextFreeTree, path);
    return index < 0 ? -1 : kFirstTreeToken + index;
}

int RegisterTemporaryPath(const char* path) {
    return TakeSlot(slots, nextFree, path);
}

int RegisterMadeFile(const MadeFile* file) {
    const int index = TakeSlot(madeSlots, nextFreeMade, file);
    return index < 0 ? -1 : kTemporaryPathSlots + index;
}

bool RemoveMadeFile(const MadeFile& file) {
    struct stat status {};
    return ::fstatat(file.folder, file.name, &status, AT_SYMLINK_NOFOLLOW) == 0 && status.st_dev == file.device &&
           status.st_ino == file.inode &&
           ::unlinkat(file.folder, file.name, S_ISDIR(status.st_mode) ? AT_REMOVEDIR : 0) == 0;
}

void UnregisterTemporaryPath(int token) {
    if (token < 0 || token >= kFirstTreeToken + kTemporaryTreeSlots) {
        return;
    }
    if (token < kTemporaryPathSlots) {
        slots[token].store(nullptr);
    } else if (token >= kFirstTreeToken) {
        treeSlots[token - kFirstTreeToken].store(nullptr);
    } else {
        madeSlots[token - kTemporaryPathSlots].store(nullptr);
    }
    // A removal on another thread may have read the pointer before the store;
    // wait until it is done with it before the caller frees the string.
    while (removalsRunning.load() > 0) {
        std::this_thread::yield();
    }
}

void RemoveRegisteredFiles() {
    const int savedErrno = errno;
    removalBegun.store(true);
    while (guardedCreations.load() > 0) {
        // A creation on another thread is about to register its file.
    }
    removalsRunning.fetch_add(1);
    // Folders made inside made folders may sit in any slot: go round until
    // no more of them goes (files go in the first round).
    for (bool removedOne = true; removedOne;) {
        removedOne = false;
        for (auto& slot : madeSlots) {
            if (const MadeFile* file = slot.load()) {
                removedOne = RemoveMadeFile(*file) || removedOne;
            }
        }
    }
    for (auto& slot : treeSlots) {
        if (const char* path = slot.load()) {
            RemoveTreeNow(path);
        }
    }
    for (auto& slot : slots) {
        if (const char* path = slot.load()) {
            ::unlink(path);  // fails harmlessly on a folder
        }
    }
    // Folders inside registered folders may sit in any slot: go round until
    // no more of them goes.
    for (bool removedOne = true; removedOne;) {
        removedOne = false;
        for (auto& slot : slots) {
            if (const char* path = slot.load()) {
                removedOne = ::rmdir(path) == 0 || removedOne;  // fails harmlessly on a file already gone
            }
        }
    }
    removalsRunning.fetch_sub(1);
    errno = savedErrno;
}

GuardedCreation::GuardedCreation() {
    guardedCreations.fetch_add(1);
    allowed_ = !removalBegun.load();
}

GuardedCreation::~GuardedCreation() {
    guardedCreations.fetch_sub(1);
}

}  // namespace vaultpack
