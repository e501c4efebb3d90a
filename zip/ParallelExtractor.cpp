#include "zip/ParallelExtractor.h"

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

#include "files/FileName.h"
#include "zip/EntryPath.h"
#include "zip/ParallelPreparer.h"

namespace vaultpack {

namespace {

// Entries a worker takes at a time: their paths are reserved in one go, and
// their headers and data, stored one after the other, mostly come in one read.
constexpr std::int64_t kBatch = 32;

}  // namespace

ParallelExtractor::ParallelExtractor(const ZipReader& reader, std::int64_t entryCount,
                                     std::filesystem::path destination)
    : reader_(reader),
      entryCount_(entryCount),
      destination_(std::move(destination)),
      folders_(destination_),
      slots_(static_cast<std::size_t>(kLookahead)) {
    const unsigned count = entryCount < kFewestEntries ? 0 : ParallelPreparer::WorkerCount(0);
    workers_.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        workers_.emplace_back([this] { Work(); });
    }
}

ParallelExtractor::~ParallelExtractor() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
    for (const Slot& slot : slots_) {
        if (slot.created && slot.index > taken_) {
            ::unlink(slot.target.c_str());
        }
    }
}

std::optional<FolderProblem> ParallelExtractor::PrepareFolder(const std::filesystem::path& folder) {
    std::optional<FolderProblem> problem;
    {
        const std::lock_guard lock(mutex_);
        problem = folders_.Prepare(folder);
    }
    changed_.notify_all();
    return problem;
}

bool ParallelExtractor::TakeCreated(std::int64_t index) {
    if (workers_.empty()) {
        return false;
    }
    std::unique_lock lock(mutex_);
    taken_ = index;
    changed_.notify_all();
    const Slot& slot = SlotOf(index);
    changed_.wait(lock, [&] { return slot.index == index && slot.done; });
    return slot.created;
}

void ParallelExtractor::Work() {
    ZipReader::WholeEntryBuffers buffers;
    for (;;) {
        std::int64_t first = 0;
        std::int64_t last = 0;
        {
            std::unique_lock lock(mutex_);
            const auto limit = [&] { return std::min(entryCount_, std::max<std::int64_t>(taken_, 0) + kLookahead); };
            changed_.wait(lock, [&] { return stopping_ || nextClaim_ >= entryCount_ || nextClaim_ < limit(); });
            if (stopping_ || nextClaim_ >= entryCount_) {
                return;
            }
            first = nextClaim_;
            last = std::min(first + kBatch, limit());
            nextClaim_ = last;
            // The slots' previous entries are done: their paths no longer count.
            for (std::int64_t index = first; index < last; ++index) {
                Slot& slot = SlotOf(index);
                for (const std::string& path : slot.paths) {
                    if (const auto user = users_.find(path); user != users_.end() && user->second == slot.index) {
                        users_.erase(user);
                    }
                }
                slot.index = index;
                slot.done = false;
                slot.created = false;
            }
        }
        for (std::int64_t index = first; index < last; ++index) {
            Plan(SlotOf(index));
        }
        if (!Reserve(first, last)) {
            return;
        }
        for (std::int64_t index = first; index < last; ++index) {
            Slot& slot = SlotOf(index);
            const bool created = slot.eligible && Create(slot, buffers);
            {
                const std::lock_guard lock(mutex_);
                slot.created = created;
                slot.done = true;
            }
            changed_.notify_all();
        }
    }
}

// Only the worker that claimed the slot touches these fields until it is done.
void ParallelExtractor::Plan(Slot& slot) const {
    slot.eligible = false;
    slot.paths.clear();
    if (reader_.ReadEntry(slot.index, slot.record, slot.info) != ZipResult::Success) {
        return;
    }
    const std::optional<std::filesystem::path> target = SafeTargetPath(destination_, slot.info.name);
    if (!target) {
        return;
    }
    slot.target = *target;
    // SafeTargetPath appends plain components to destination, so each
    // parent down to destination's length is a folder below it.
    for (std::filesystem::path path = slot.target; path.native().size() > destination_.native().size();
         path = path.parent_path()) {
        slot.paths.push_back(path.native());
    }
    const ZipEntryInfo& info = slot.info;
    slot.eligible = !info.isFolder && S_ISREG(info.mode) && !info.encrypted && !slot.paths.empty() &&
                    IsUsableFileName(LastComponent(info.name)) && slot.record.compressedSize <= kEntrySizeLimit &&
                    slot.record.uncompressedSize <= kEntrySizeLimit;
}

bool ParallelExtractor::Reserve(std::int64_t first, std::int64_t last) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || nextReserve_ == first; });
    if (stopping_) {
        return false;
    }
    for (std::int64_t index = first; index < last; ++index) {
        Slot& slot = SlotOf(index);
        if (slot.eligible) {
            const auto user = users_.find(slot.paths.front());
            slot.eligible = user == users_.end() || user->second < taken_;
        }
        for (const std::string& path : slot.paths) {
            users_[path] = index;
        }
    }
    nextReserve_ = last;
    lock.unlock();
    changed_.notify_all();
    return true;
}

bool ParallelExtractor::Create(Slot& slot, ZipReader::WholeEntryBuffers& buffers) {
    const std::filesystem::path folder = slot.target.parent_path();
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || taken_ >= slot.index || folders_.IsReady(folder); });
        if (stopping_ || !folders_.IsReady(folder)) {
            return false;
        }
    }
    return reader_.ExtractToNewFile(slot.record, slot.info, slot.target, buffers) == ZipResult::Success;
}

}  // namespace vaultpack
