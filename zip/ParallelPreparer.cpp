#include "zip/ParallelPreparer.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <thread>
#include <utility>

namespace vaultpack {

namespace {

// Entries that stay open until their turn (files beyond the whole-file limit)
// held ahead of the writer, which bounds the open descriptors (workers that
// claimed before the count was reached may add one each).
constexpr std::size_t kMostOpenAhead = 16;

bool StaysOpen(const PreparedEntry& entry) {
    return entry.blocks || entry.source.Descriptor() >= 0;
}

}  // namespace

unsigned ParallelPreparer::WorkerCount(unsigned requested) {
    if (requested == 0) {
        requested = std::max(1u, std::thread::hardware_concurrency());
    }
    return WorkersWithinAddressSpace(std::min(requested, kMostWorkers), kAddressSpacePerWorker);
}

ParallelPreparer::ParallelPreparer(const ZipWriter& writer, std::vector<Source> sources, unsigned threads)
    : writer_(writer),
      sources_(std::move(sources)),
      entries_(sources_.size(), kLookahead),
      charges_(sources_.size()),
      // As many workers as asked for, also for a short list: a large file keeps them all busy with its blocks.
      // Each holds a source open; the files kept open ahead, the archive and the job's own come first.
      workers_(WorkersWithinDescriptors(WorkerCount(threads), 2, kMostOpenAhead + 8), [this](unsigned) { Work(); },
               [this] { StopWorkers(); }, 0) {}

ParallelPreparer::~ParallelPreparer() {
    StopWorkers();
    workers_.Join();
    for (const auto& deflater : deflaters_) {
        deflater->SetWakeUp({});
    }
}

void ParallelPreparer::StopWorkers() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    entries_.Abort();
    changed_.notify_all();
}

PreparedEntry ParallelPreparer::Take(std::size_t index) {
    if (workers_.Size() == 0) {
        const Source& source = sources_[index];
        return writer_.Prepare(source.storedName, source.path);
    }
    std::optional<PreparedEntry> entry = entries_.Take();
    if (!entry) {
        // Only a worker that failed stops the entries while the writer takes them.
        workers_.RethrowFailure();
        throw std::logic_error("prepared entries dropped");
    }
    {
        const std::lock_guard lock(mutex_);
        charged_ -= std::exchange(charges_[index].bytes, 0);
        openAhead_ -= StaysOpen(*entry) ? 1 : 0;
    }
    // There is room for another entry now.
    changed_.notify_all();
    return std::move(*entry);
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
    charges_[index].bytes = bytes;
    charges_[index].charged = true;
    while (nextCharge_ < charges_.size() && charges_[nextCharge_].charged) {
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
        std::optional<std::uint64_t> claimed;
        std::shared_ptr<BlockDeflater> blocks;
        {
            std::unique_lock lock(mutex_);
            // Workers stay until the preparer goes: a large file claimed by one
            // may need them for its blocks after every file has been claimed.
            changed_.wait(lock, [&] {
                blocks = stopping_ ? nullptr : BlocksWithWork();
                return stopping_ || blocks || (entries_.HasRoom() && openAhead_ < kMostOpenAhead);
            });
            if (stopping_) {
                return;
            }
            if (!blocks) {
                // Claims happen only here, under the lock, so the room seen is still there.
                claimed = entries_.TryClaim();
            }
        }
        if (blocks) {
            blocks->CompressNextBlock();
            continue;
        }
        if (!claimed) {
            continue;
        }
        const auto index = static_cast<std::size_t>(*claimed);
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
            // What the entry keeps until it is taken.
            const std::uint64_t kept = entry.data.capacity();
            charged_ = charged_ - charges_[index].bytes + kept;
            charges_[index].bytes = kept;
            if (entry.blocks) {
                entry.blocks->SetWakeUp([this] {
                    { const std::lock_guard wakeLock(mutex_); }
                    changed_.notify_all();
                });
                deflaters_.push_back(entry.blocks);
            }
            openAhead_ += StaysOpen(entry) ? 1 : 0;
        }
        entries_.Finish(*claimed, std::move(entry));
        changed_.notify_all();
    }
}

}  // namespace vaultpack
