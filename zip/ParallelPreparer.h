#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "files/OrderedWindow.h"
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
    // How far the workers may run ahead of the writer, in entries. Far enough
    // that one slow file at the head does not stall the other workers; the
    // memory budget bounds the bytes held.
    static constexpr std::size_t kLookahead = 1024;

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

    // The worker count for a requested count (0: one per processor), at most
    // kMostWorkers, and fewer where the address space is limited.
    static unsigned WorkerCount(unsigned requested);
    // A worker's stack, its compressors and the blocks it makes ahead.
    static constexpr std::size_t kAddressSpacePerWorker = 8u * 1024 * 1024;
    static constexpr unsigned kMostWorkers = 32;

private:
    // What an entry has reserved of the memory budget.
    struct Charge {
        bool charged = false;  // its memory was reserved (Reserve)
        std::uint64_t bytes = 0;
    };

    void Work();
    // Stops the workers, waking everyone who waits: when the preparer goes,
    // or after a worker failed.
    void StopWorkers();
    // A large file's blocks that a worker may make now, or nothing.
    std::shared_ptr<BlockDeflater> BlocksWithWork();
    // Waits until item `index` may take `bytes` of the budget: in list order,
    // or earlier while little of the budget is used.
    bool Reserve(std::size_t index, std::uint64_t bytes);

    const ZipWriter& writer_;
    const std::vector<Source> sources_;
    // The entries, claimed by the workers in list order, at most kLookahead
    // ahead of the writer, and taken by the writer in order.
    OrderedWindow<PreparedEntry> entries_;

    // Guards what follows; taken before the window's lock, never after it.
    std::mutex mutex_;
    std::condition_variable changed_;  // workers wait here
    std::vector<Charge> charges_;
    std::size_t nextCharge_ = 0;
    std::uint64_t charged_ = 0;
    std::size_t openAhead_ = 0;
    bool stopping_ = false;
    // Large files whose blocks are being made, in the order they were opened.
    std::vector<std::shared_ptr<BlockDeflater>> deflaters_;
    WorkerPool workers_;
};

}  // namespace vaultpack
