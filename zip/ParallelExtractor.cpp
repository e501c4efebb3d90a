#include "zip/ParallelExtractor.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include <sys/stat.h>

#include "files/FileName.h"
#include "zip/EntryExtraction.h"
#include "zip/EntryPath.h"
#include "zip/ParallelPreparer.h"

namespace vaultpack {

namespace {

// Entries a worker takes at a time: their paths are reserved in one go, and
// their headers and data, stored one after the other, mostly come in one read.
constexpr std::int64_t kBatch = 64;
// Names and paths kept for every entry ahead stay within these, so the
// entries ahead hold at most some megabytes whatever the archive holds.
constexpr std::size_t kLongestName = 1024;
constexpr std::size_t kDeepestPath = 64;
// Every file and folder made ahead stays registered until taken or needed.
static_assert(ParallelExtractor::kLookahead + ParallelExtractor::kMostFoldersAhead == kMadeFilesAhead);
// Each worker, and the job's thread, may hold one file under a temporary name.
static_assert(ParallelPreparer::kMostWorkers + 1 == kWritersPerExtraction);

// Drops the record of `index` for each of `paths` unless a later entry has replaced it.
void Forget(std::unordered_map<std::size_t, std::int64_t>& users, const std::vector<std::size_t>& paths,
            std::int64_t index) {
    for (const std::size_t path : paths) {
        if (const auto user = users.find(path); user != users.end() && user->second == index) {
            users.erase(user);
        }
    }
}

// Folders made ahead are held open until their entries are taken: only
// where the process may open this many descriptors.
constexpr std::uint64_t kDescriptorsForFoldersAhead = 256;

// A link already in the destination may lead to a folder that a later entry
// makes: made ahead, it would change how an earlier entry sees that link. So
// folders are made ahead only in an empty or new destination.
bool IsEmptyOrMissingFolder(const std::filesystem::path& folder) {
    std::error_code error;
    return std::filesystem::directory_iterator(folder, error) == std::filesystem::directory_iterator() &&
           (!error || error == std::errc::no_such_file_or_directory);
}

}  // namespace

ParallelExtractor::ParallelExtractor(const ZipReader& reader, std::int64_t entryCount, EntryWriter& writer)
    : reader_(reader),
      writer_(writer),
      made_(static_cast<std::uint64_t>(entryCount), kLookahead - 1),
      slots_(static_cast<std::size_t>(kLookahead)),
      foldersAheadAllowed_(IsEmptyOrMissingFolder(writer.Destination()) &&
                           DescriptorLimit() >= kDescriptorsForFoldersAhead),
      workers_(entryCount < kFewestEntries ? 0 : ParallelPreparer::WorkerCount(0), [this](unsigned) { Work(); },
               [this] { StopAfterFailure(); }, 0) {}

void ParallelExtractor::StopAfterFailure() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    workerWake_.notify_all();
    made_.Abort();
}

ParallelExtractor::~ParallelExtractor() {
    StopAfterFailure();
    workers_.Join();
    for (Slot& slot : slots_) {
        if (slot.created && slot.index > lastTaken_) {
            RemoveMadeFile(slot.made);
        }
        UnregisterTemporaryPath(std::exchange(slot.registration, -1));
    }
    // Inner folders sort after those holding them.
    for (auto folder = foldersAhead_.rbegin(); folder != foldersAhead_.rend(); ++folder) {
        RemoveMadeFile(folder->second.made);
        UnregisterTemporaryPath(folder->second.registration);
    }
}

EntryOutcome ParallelExtractor::Prepare(std::string_view relativeTarget, bool isFolder, EntryWriter::Place& place) {
    EntryOutcome outcome = writer_.Locate(relativeTarget, isFolder, place);
    const std::string_view folder = EntryWriter::FolderToOpen(relativeTarget, isFolder);
    // Entries mostly follow each other in one folder: the one prepared last
    // is at hand without the lock.
    if (!outcome.Succeeded() || (lastPrepared_ && folder == lastPreparedFolder_)) {
        place.folder = lastPrepared_;
        return outcome;
    }
    const std::lock_guard lock(mutex_);
    KeepFoldersAhead(folder);
    outcome = writer_.OpenFolder(folder, place);
    if (outcome.Succeeded()) {
        lastPreparedFolder_ = folder;
        lastPrepared_ = place.folder;
        if (workersWaiting_ > 0) {
            workerWake_.notify_all();
        }
    }
    return outcome;
}

// The ordered thread tells the workers where it is only when it has to wait:
// a wake-up costs more than extracting a small file.
bool ParallelExtractor::TakeCreated(std::int64_t index) {
    if (workers_.Size() == 0) {
        return false;
    }
    // The entry taken before is the caller's for good now.
    if (lastTaken_ >= 0) {
        Slot& previous = SlotOf(lastTaken_);
        UnregisterTemporaryPath(std::exchange(previous.registration, -1));
        previous.place.folder.reset();
    }
    std::optional<bool> created = made_.TryTake();
    if (!created) {
        {
            const std::lock_guard lock(mutex_);
            orderedWaitsFor_ = index;
            if (workersWaiting_ > 0) {
                workerWake_.notify_all();
            }
        }
        created = made_.Take();
    }
    if (!created) {
        // Not taken: a file a worker made for it is removed with the others.
        workers_.RethrowFailure();
        return false;
    }
    lastTaken_ = index;
    return *created;
}

void ParallelExtractor::DiscardTaken() {
    Slot& slot = SlotOf(lastTaken_);
    if (slot.created) {
        RemoveMadeFile(slot.made);
    }
    UnregisterTemporaryPath(std::exchange(slot.registration, -1));
}

void ParallelExtractor::PostFinished(Worker& worker) {
    made_.Finish(static_cast<std::uint64_t>(worker.finishedFrom), static_cast<std::uint64_t>(worker.finishedTo),
                 [this](std::uint64_t index) { return SlotOf(static_cast<std::int64_t>(index)).created; });
    worker.finishedFrom = worker.finishedTo;
}

template <typename Ready>
void ParallelExtractor::WaitAsWorker(std::unique_lock<std::mutex>& lock, Worker& worker, Ready ready) {
    while (!stopping_ && !ready()) {
        PostFinished(worker);
        ++workersWaiting_;
        workerWake_.wait(lock);
        --workersWaiting_;
    }
}

void ParallelExtractor::Work() {
    Worker worker;
    for (;;) {
        PostFinished(worker);
        const std::optional<OrderedWindow<bool>::Batch> batch = made_.ClaimBatch(kBatch);
        if (!batch) {
            return;
        }
        const auto first = static_cast<std::int64_t>(batch->first);
        const auto last = static_cast<std::int64_t>(batch->last);
        {
            const std::lock_guard lock(mutex_);
            // The slots' previous entries are taken: their paths no longer count.
            for (std::int64_t index = first; index < last; ++index) {
                Slot& slot = SlotOf(index);
                Forget(users_, slot.paths, slot.index);
                if (!slot.paths.empty()) {
                    Forget(targets_, {slot.paths.front()}, slot.index);
                }
                slot.index = index;
                slot.created = false;
            }
        }
        worker.finishedFrom = first;
        worker.finishedTo = first;
        for (std::int64_t index = first; index < last; ++index) {
            Plan(SlotOf(index));
        }
        if (!Reserve(first, last, worker)) {
            return;
        }
        for (std::int64_t index = first; index < last; ++index) {
            Slot& slot = SlotOf(index);
            slot.created = slot.eligible && Create(slot, worker);
            worker.finishedTo = index + 1;
        }
    }
}

// Only the worker that claimed the slot touches these fields until it is done.
void ParallelExtractor::Plan(Slot& slot) const {
    slot.eligible = false;
    slot.barrier = false;
    slot.paths.clear();
    if (reader_.ReadEntry(slot.index, slot.record, slot.info) != ZipResult::Success) {
        return;
    }
    if (slot.info.name.size() > kLongestName) {
        slot.barrier = true;
        slot.record = CentralRecord();  // frees what the long name took
        slot.info = ZipEntryInfo();
        return;
    }
    std::optional<std::string> target = SafeTargetString({}, slot.info.name);
    if (!target || target->empty()) {
        return;
    }
    slot.folder = FolderOfTarget(*target);
    slot.place.name = target->substr(slot.folder.empty() ? 0 : slot.folder.size() + 1);
    slot.place.path = std::move(*target);
    // SafeTargetString joins plain components, so the target and each of
    // its folders end at a separator or the end.
    const std::string_view path = slot.place.path;
    for (std::size_t end = path.size(); end != path.npos && end > 0; end = path.rfind('/', end - 1)) {
        if (slot.paths.size() == kDeepestPath) {
            slot.barrier = true;
            slot.paths.clear();
            return;
        }
        slot.paths.push_back(std::hash<std::string_view>()(path.substr(0, end)));
    }
    const ZipEntryInfo& info = slot.info;
    slot.eligible = !info.isFolder && S_ISREG(info.mode) && !info.encrypted && !slot.paths.empty() &&
                    IsUsableFileName(LastComponent(info.name)) && slot.record.compressedSize <= kEntrySizeLimit &&
                    slot.record.uncompressedSize <= kEntrySizeLimit;
}

bool ParallelExtractor::Reserve(std::int64_t first, std::int64_t last, Worker& worker) {
    std::unique_lock lock(mutex_);
    WaitAsWorker(lock, worker, [&] { return nextReserve_ == first; });
    if (stopping_) {
        return false;
    }
    // The entry the ordered thread may be at: it and those after it are in progress.
    const std::int64_t current = static_cast<std::int64_t>(made_.Taken()) - 1;
    for (std::int64_t index = first; index < last; ++index) {
        Slot& slot = SlotOf(index);
        if (slot.barrier) {
            lastBarrier_ = index;
        }
        // The same for a link the archive makes, and for an entry whose kind is not known.
        if (slot.barrier || S_ISLNK(slot.info.mode)) {
            foldersAheadAllowed_ = false;
        }
        const auto inProgress = [&](const auto& users, std::size_t path) {
            const auto user = users.find(path);
            return user != users.end() && user->second >= current;
        };
        if (slot.eligible) {
            const bool barrierInProgress = lastBarrier_ >= 0 && lastBarrier_ >= current;
            slot.eligible = !inProgress(users_, slot.paths.front()) && !barrierInProgress;
            slot.foldersFree = foldersAheadAllowed_ &&
                               std::none_of(slot.paths.begin() + 1, slot.paths.end(),
                                            [&](std::size_t path) { return inProgress(targets_, path); });
        }
        for (const std::size_t path : slot.paths) {
            users_[path] = index;
        }
        if (!slot.paths.empty() && !slot.info.isFolder) {
            targets_[slot.paths.front()] = index;
        }
    }
    nextReserve_ = last;
    if (workersWaiting_ > 0) {
        workerWake_.notify_all();
    }
    return true;
}

void ParallelExtractor::KeepFoldersAhead(std::string_view folder) {
    for (; !foldersAhead_.empty() && !folder.empty(); folder = FolderOfTarget(folder)) {
        if (const auto made = foldersAhead_.find(std::string(folder)); made != foldersAhead_.end()) {
            UnregisterTemporaryPath(made->second.registration);
            foldersAhead_.erase(made);
        }
    }
}

void ParallelExtractor::MakeFoldersAhead(const std::string& folder) {
    const auto depth = static_cast<std::size_t>(std::count(folder.begin(), folder.end(), '/') + 1);
    const GuardedCreation guard;
    if (foldersAhead_.size() + depth > kMostFoldersAhead || !guard.allowed()) {
        return;
    }
    std::vector<EntryWriter::MadeFolder> made;
    EntryWriter::Place place;
    // A problem on the way is the ordered thread's to meet at its turn.
    writer_.OpenFolder(folder, place, &made);
    for (EntryWriter::MadeFolder& each : made) {
        std::string relative = each.relative;
        FolderAhead& ahead = foldersAhead_[std::move(relative)];
        UnregisterTemporaryPath(std::exchange(ahead.registration, -1));  // made again after someone removed it
        ahead.folder = std::move(each);
        ahead.made = {ahead.folder.parent->Descriptor(), ahead.folder.name.c_str(), ahead.folder.identity.device,
                      ahead.folder.identity.inode};
        // Without a slot the folder is still removed on a stop, only not at an abrupt end.
        ahead.registration = RegisterMadeFile(&ahead.made);
    }
    if (!made.empty() && workersWaiting_ > 0) {
        workerWake_.notify_all();
    }
}

bool ParallelExtractor::Create(Slot& slot, Worker& worker) {
    // Ready folders stay ready, so one look at each new folder is enough.
    if (slot.folder != worker.readyFolder || !worker.openFolder) {
        std::unique_lock lock(mutex_);
        if (slot.foldersFree && orderedWaitsFor_ < slot.index && !writer_.ReadyFolder(slot.folder)) {
            MakeFoldersAhead(slot.folder);
        }
        WaitAsWorker(lock, worker,
                     [&] { return orderedWaitsFor_ >= slot.index || writer_.ReadyFolder(slot.folder); });
        worker.openFolder = stopping_ ? nullptr : writer_.ReadyFolder(slot.folder);
        if (!worker.openFolder) {
            return false;
        }
        worker.readyFolder = slot.folder;
    }
    // The slot holds the folder open only while its file stays registered
    // through it: descriptors are a budget too.
    slot.place.folder = worker.openFolder;
    const bool created = ExtractWholeFile(reader_, slot.record, slot.info, writer_, slot.place, worker.buffers, false,
                                          {}, &slot.made, &slot.registration)
                             .Succeeded();
    if (!created) {
        slot.place.folder.reset();
    }
    return created;
}

}  // namespace vaultpack
