#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "zip/PreparedEntry.h"
#include "zip/ZipWriter.h"

namespace vaultpack {

// Reads and compresses the files of a list on worker threads, ahead of the
// one thread that adds them to the archive in list order. Files are taken up
// in list order and the entries waiting to be added, with those being made,
// hold at most kMemoryBudget bytes (one larger file at a time when nothing
// else is held), so memory does not depend on the number or the sizes of the
// files.
class ParallelPreparer {
public:
    static constexpr std::uint64_t kMemoryBudget = 40u * 1024 * 1024;

    struct Source {
        std::string storedName;
        std::filesystem::path path;
    };

    // Starts `threads` workers (0: one per processor) that prepare the
    // sources for `writer`, which must outlive this object.
    ParallelPreparer(const ZipWriter& writer, std::vector<Source> sources, unsigned threads);
    // Stops the workers: the entries not yet taken are dropped.
    ~ParallelPreparer();
    ParallelPreparer(const ParallelPreparer&) = delete;
    ParallelPreparer& operator=(const ParallelPreparer&) = delete;

    // Waits until the entry of sources[index] is ready and hands it over.
    // Entries are taken once each, in list order.
    PreparedEntry Take(std::size_t index);

    // The worker count for a requested count (0: one per processor).
    static unsigned WorkerCount(unsigned requested);

private:
    struct Slot {
        bool ready = false;
        std::uint64_t charge = 0;
        PreparedEntry entry;
    };

    void Work();
    // Waits for the turn of item `index` to take `bytes` of the budget.
    bool Reserve(std::size_t index, std::uint64_t bytes);

    const ZipWriter& writer_;
    const std::vector<Source> sources_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Slot> slots_;
    std::size_t nextClaim_ = 0;
    std::size_t nextCharge_ = 0;
    std::size_t taken_ = 0;
    std::uint64_t charged_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace vaultpack
