#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "files/WorkerPool.h"
#include "zip/PreparedEntry.h"
#include "zip/ZipWriter.h"

namespace vaultpack {

// Reads and compresses the files of a list on worker threads, ahead of the
// one thread that adds them to the archive in list order. Files are taken up
// in list order and the entries waiting to be added, with those being made,
// hold at most kMemoryBudget bytes (one larger file at a time when nothing
// else is held), so memory does not depend on the number or the sizes of the
// files. Workers help with the blocks of larger files before they take up
// the next file: the earliest such file first, as the writer waits for it.
class ParallelPreparer {
public:
    static constexpr std::uint64_t kMemoryBudget = 32u * 1024 * 1024;

    struct Source {
        std::string storedName;
        std::filesystem::path path;
    };

    // Starts `threads` workers (0: one per processor) that prepare the
    // sources for `writer`, which must outlive this object; as many as the
    // system lets it start, possibly none (Take then prepares each entry).
    ParallelPreparer(const ZipWriter& writer, std::vector<Source> sources, unsigned threads);
    // Stops the workers: the entries not yet taken are dropped.
    ~ParallelPreparer();
    ParallelPreparer(const ParallelPreparer&) = delete;
    ParallelPreparer& operator=(const ParallelPreparer&) = delete;

    // Waits until the entry of sources[index] is ready and hands it over.
    // Entries are taken once each, in list order. Rethrows what a worker let
    // out (std::bad_alloc, say); the workers have stopped then.
    PreparedEntry Take(std::size_t index);

    // The worker count for a requested count (0: one per processor).
    static unsigned WorkerCount(unsigned requested);

private:
    struct Slot {
        bool ready = false;
        bool charged = false;  // its memory was reserved (Reserve)
        std::uint64_t charge = 0;
        PreparedEntry entry;
    };

    void Work();
    // Stops the workers after one failed, waking everyone who waits.
    void StopAfterFailure();
    // A large file's blocks that a worker may make now, or nothing.
    std::shared_ptr<BlockDeflater> BlocksWithWork();
    // Waits until item `index` may take `bytes` of the budget: in list order,
    // or earlier while little of the budget is used.
    bool Reserve(std::size_t index, std::uint64_t bytes);

    const ZipWriter& writer_;
    const std::vector<Source> sources_;
    static constexpr std::size_t kNothingAwaited = static_cast<std::size_t>(-1);

    std::mutex mutex_;
    // Workers wait on changed_; the writer waits on entryReady_ for awaited_.
    std::condition_variable changed_;
    std::condition_variable entryReady_;
    std::size_t awaited_ = kNothingAwaited;
    std::vector<Slot> slots_;
    std::size_t nextClaim_ = 0;
    std::size_t nextCharge_ = 0;
    std::size_t taken_ = 0;
    std::uint64_t charged_ = 0;
    std::size_t openAhead_ = 0;
    bool stopping_ = false;
    // Large files whose blocks are being made, in the order they were opened.
    std::vector<std::shared_ptr<BlockDeflater>> deflaters_;
    WorkerPool workers_;
};

}  // namespace vaultpack
