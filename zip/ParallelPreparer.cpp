#include "zip/ParallelPreparer.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace vaultpack {

namespace {

// How far the workers may run ahead of the writer, in entries. Far enough that
// one slow file at the head does not stall the other workers; the memory
// budget bounds the bytes held.
constexpr std::size_t kLookahead = 1024;
// Entries that stay open until their turn (files beyond the whole-file limit)
// held ahead of the writer, which bounds the open descriptors (workers that
// claimed before the count was reached may add one each).
constexpr std::size_t kMostOpenAhead = 16;
constexpr unsigned kMostWorkers = 32;

bool StaysOpen(const PreparedEntry& entry) {
    return entry.blocks || entry.source.Descriptor() >= 0;
}

}  // namespace

unsigned ParallelPreparer::WorkerCount(unsigned requested) {
    if (requested == 0) {
        requested = std::max(1u, std::thread::hardware_concurrency());
    }
    return std::min(requested, kMostWorkers);
}

ParallelPreparer::ParallelPreparer(const ZipWriter& writer, std::vector<Source> sources, unsigned threads)
    : writer_(writer),
      sources_(std::move(sources)),
      slots_(sources_.size()),
      // As many workers as asked for, also for a short list: a large file keeps them all busy with its blocks.
      workers_(WorkerCount(threads), [this](unsigned) { Work(); }, [this] { StopAfterFailure(); }, 0) {}

ParallelPreparer::~ParallelPreparer() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    workers_.Join();
    for (const auto& deflater : deflaters_) {
        deflater->SetWakeUp({});
    }
}

void ParallelPreparer::StopAfterFailure() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    entryReady_.notify_all();
}

PreparedEntry ParallelPreparer::Take(std::size_t index) {
    if (workers_.Size() == 0) {
        const Source& source = sources_[index];
        return writer_.Prepare(source.storedName, source.path);
    }
    std::unique_lock lock(mutex_);
    // Workers wake the writer only for the entry it waits for.
    awaited_ = index;
    entryReady_.wait(lock, [&] { return slots_[index].ready || stopping_; });
    awaited_ = kNothingAwaited;
    if (!slots_[index].ready) {
        lock.unlock();
        workers_.RethrowFailure();
    }
    Slot& slot = slots_[index];
    PreparedEntry entry = std::move(slot.entry);
    charged_ -= slot.charge;
    slot.charge = 0;
    taken_ = index + 1;
    openAhead_ -= StaysOpen(entry) ? 1 : 0;
    lock.unlock();
    changed_.notify_all();
    return entry;
}

bool ParallelPreparer::Reserve(std::size_t index, std::uint64_t bytes) {
    // Out of list order only while memory is plentiful, so that the entry the
    // writer waits for never waits long behind later ones for memory: what
    // those hold out of turn leaves room for any whole file.
    static_assert(kMemoryBudget / 4 + 2 * ZipWriter::kWholeFileLimit <= kMemoryBudget);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] {
        if (stopping_) {
            return true;
        }
        if (nextCharge_ != index) {
            return charged_ + bytes <= kMemoryBudget / 4;
        }
        return charged_ + bytes <= kMemoryBudget || charged_ == 0;
    });
    if (stopping_) {
        return false;
    }
    charged_ += bytes;
    slots_[index].charge = bytes;
    slots_[index].charged = true;
    while (nextCharge_ < slots_.size() && slots_[nextCharge_].charged) {
        ++nextCharge_;
    }
    lock.unlock();
    changed_.notify_all();
    return true;
}

std::shared_ptr<BlockDeflater> ParallelPreparer::BlocksWithWork() {
    // Those no entry holds any more can never have work again.
    std::erase_if(deflaters_, [](const auto& deflater) { return deflater.use_count() == 1; });
    const auto found =
        std::find_if(deflaters_.begin(), deflaters_.end(), [](const auto& deflater) { return deflater->HasWork(); });
    return found == deflaters_.end() ? nullptr : *found;
}

void ParallelPreparer::Work() {
    for (;;) {
        std::size_t index = 0;
        std::shared_ptr<BlockDeflater> blocks;
        {
            std::unique_lock lock(mutex_);
            // Workers stay until the preparer goes: a large file claimed by one
            // may need them for its blocks after every file has been claimed.
            changed_.wait(lock, [&] {
                blocks = stopping_ ? nullptr : BlocksWithWork();
                return stopping_ || blocks ||
                       (nextClaim_ < sources_.size() && nextClaim_ < taken_ + kLookahead &&
                        openAhead_ < kMostOpenAhead);
            });
            if (stopping_) {
                return;
            }
            if (!blocks) {
                index = nextClaim_++;
            }
        }
        if (blocks) {
            blocks->CompressNextBlock();
            continue;
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
        bool awaited = false;
        {
            const std::lock_guard lock(mutex_);
            Slot& slot = slots_[index];
            // What the entry keeps until it is taken.
            const std::uint64_t kept = entry.data.capacity();
            charged_ = charged_ - slot.charge + kept;
            slot.charge = kept;
            if (entry.blocks) {
                entry.blocks->SetWakeUp([this] {
                    { const std::lock_guard wakeLock(mutex_); }
                    changed_.notify_all();
                });
                deflaters_.push_back(entry.blocks);
            }
            openAhead_ += StaysOpen(entry) ? 1 : 0;
            slot.entry = std::move(entry);
            slot.ready = true;
            awaited = awaited_ == index;
        }
        if (awaited) {
            entryReady_.notify_one();
        }
        changed_.notify_all();
    }
}

}  // namespace vaultpack
