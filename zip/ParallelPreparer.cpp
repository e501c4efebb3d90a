#include "zip/ParallelPreparer.h"

#include <algorithm>
#include <utility>

#include "zip/WorkerThreads.h"

namespace vaultpack {

namespace {

// How far the workers may run ahead of the writer. Files beyond the whole-file
// limit stay open until their turn, so this also bounds the open descriptors.
constexpr std::size_t kLookahead = 64;
constexpr unsigned kMostWorkers = 32;

}  // namespace

unsigned ParallelPreparer::WorkerCount(unsigned requested) {
    if (requested == 0) {
        requested = std::max(1u, std::thread::hardware_concurrency());
    }
    return std::min(requested, kMostWorkers);
}

ParallelPreparer::ParallelPreparer(const ZipWriter& writer, std::vector<Source> sources, unsigned threads)
    : writer_(writer), sources_(std::move(sources)), slots_(sources_.size()) {
    const unsigned count = std::min<std::size_t>(WorkerCount(threads), std::max<std::size_t>(1, sources_.size()));
    workers_ = StartThreads(count, [this] { Work(); });
}

ParallelPreparer::~ParallelPreparer() { StopThreads(mutex_, stopping_, changed_, workers_); }

PreparedEntry ParallelPreparer::Take(std::size_t index) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return slots_[index].ready; });
    Slot& slot = slots_[index];
    PreparedEntry entry = std::move(slot.entry);
    charged_ -= slot.charge;
    slot.charge = 0;
    taken_ = index + 1;
    lock.unlock();
    changed_.notify_all();
    return entry;
}

bool ParallelPreparer::Reserve(std::size_t index, std::uint64_t bytes) {
    std::unique_lock lock(mutex_);
    // In list order, so that the entry the writer waits for never waits
    // behind later ones for memory.
    changed_.wait(lock, [&] {
        return stopping_ || (nextCharge_ == index && (charged_ + bytes <= kMemoryBudget || charged_ == 0));
    });
    if (stopping_) {
        return false;
    }
    charged_ += bytes;
    slots_[index].charge = bytes;
    ++nextCharge_;
    lock.unlock();
    changed_.notify_all();
    return true;
}

void ParallelPreparer::Work() {
    for (;;) {
        std::size_t index = 0;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] {
                return stopping_ || nextClaim_ >= sources_.size() || nextClaim_ < taken_ + kLookahead;
            });
            if (stopping_ || nextClaim_ >= sources_.size()) {
                return;
            }
            index = nextClaim_++;
        }
        bool reserved = false;
        const Source& source = sources_[index];
        PreparedEntry entry = writer_.Prepare(source.storedName, source.path, [&](std::uint64_t bytes) {
            reserved = Reserve(index, bytes);
            return reserved;
        });
        if (!reserved && !Reserve(index, 0)) {
            return;
        }
        {
            const std::lock_guard lock(mutex_);
            Slot& slot = slots_[index];
            // What the entry keeps until it is taken.
            const std::uint64_t kept = entry.data.capacity();
            charged_ = charged_ - slot.charge + kept;
            slot.charge = kept;
            slot.entry = std::move(entry);
            slot.ready = true;
        }
        changed_.notify_all();
    }
}

}  // namespace vaultpack
