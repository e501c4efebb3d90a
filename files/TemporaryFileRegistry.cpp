#include "files/TemporaryFileRegistry.h"

#include <atomic>
#include <cerrno>
#include <thread>

#include <unistd.h>

namespace vaultpack {
namespace {

// Lock-free atomics only, so that RemoveRegisteredFiles may run in a signal handler.
static_assert(std::atomic<const char*>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

std::atomic<const char*> slots[kTemporaryPathSlots];
// Where the next search for a free slot starts: a hint only.
std::atomic<int> nextFree{0};
// How many removals are walking the slots right now.
std::atomic<int> removalsRunning{0};
std::atomic<bool> removalBegun{false};
std::atomic<int> guardedCreations{0};

}  // namespace

int RegisterTemporaryPath(const char* path) {
    // Paths mostly go in the order they came, so the search starts after the
    // slot taken last instead of walking past every slot still taken.
    const int start = nextFree.load(std::memory_order_relaxed);
    for (int step = 0; step < kTemporaryPathSlots; ++step) {
        const int index = (start + step) % kTemporaryPathSlots;
        const char* expected = nullptr;
        if (slots[index].load(std::memory_order_relaxed) == nullptr &&
            slots[index].compare_exchange_strong(expected, path)) {
            nextFree.store((index + 1) % kTemporaryPathSlots, std::memory_order_relaxed);
            return index;
        }
    }
    return -1;
}

void UnregisterTemporaryPath(int token) {
    if (token < 0 || token >= kTemporaryPathSlots) {
        return;
    }
    slots[token].store(nullptr);
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
