#include "zip/ParallelExtractor.h"

#include <algorithm>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/FileName.h"
#include "files/TemporaryFileRegistry.h"
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
static_assert(ParallelExtractor::kLookahead + ParallelExtractor::kMostFoldersAhead == kTemporaryPathsAhead);

// Drops the record of `index` for each of `paths` unless a later entry has replaced it.
void Forget(std::unordered_map<std::size_t, std::int64_t>& users, const std::vector<std::size_t>& paths,
            std::int64_t index) {
    for (const std::size_t path : paths) {
        if (const auto user = users.find(path); user != users.end() && user->second == index) {
            users.erase(user);
        }
    }
}

// A link already in the destination may lead to a folder that a later entry
// makes: made ahead, it would change how an earlier entry sees that link. So
// folders are made ahead only in an empty or new destination.
bool IsEmptyOrMissingFolder(const std::filesystem::path& folder) {
    std::error_code error;
    return std::filesystem::directory_iterator(folder, error) == std::filesystem::directory_iterator() &&
           (!error || error == std::errc::no_such_file_or_directory);
}

}  // namespace

ParallelExtractor::ParallelExtractor(const ZipReader& reader, std::int64_t entryCount,
                                     std::filesystem::path destination)
    : reader_(reader),
      entryCount_(entryCount),
      destination_(std::move(destination)),
      folders_(destination_),
      slots_(static_cast<std::size_t>(kLookahead)),
      foldersAheadAllowed_(IsEmptyOrMissingFolder(destination_)),
      workers_(entryCount < kFewestEntries ? 0 : ParallelPreparer::WorkerCount(0), [this](unsigned) { Work(); },
               [this] { StopAfterFailure(); }, 0) {}

void ParallelExtractor::StopAfterFailure() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    workerWake_.notify_all();
    orderedWake_.notify_all();
}

ParallelExtractor::~ParallelExtractor() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    workerWake_.notify_all();
    workers_.Join();
    for (Slot& slot : slots_) {
        if (slot.created && slot.index > lastTaken_) {
            ::unlink(slot.target.c_str());
        }
        UnregisterTemporaryPath(std::exchange(slot.registration, -1));
    }
    // Inner folders sort after those holding them.
    for (auto folder = foldersAhead_.rbegin(); folder != foldersAhead_.rend(); ++folder) {
        ::rmdir(folder->first.c_str());
        UnregisterTemporaryPath(folder->second);
    }
}

std::optional<FolderProblem> ParallelExtractor::PrepareFolder(const std::filesystem::path& folder) {
    if (preparedInOrder_.contains(folder.native())) {
        return std::nullopt;
    }
    const std::lock_guard lock(mutex_);
    KeepFoldersAhead(folder);
    std::optional<FolderProblem> problem = folders_.Prepare(folder);
    if (!problem) {
        preparedInOrder_.insert(folder.native());
    }
    if (workersWaiting_ > 0) {
        workerWake_.notify_all();
    }
    return problem;
}

void ParallelExtractor::KeepFoldersAhead(const std::filesystem::path& folder) {
    for (std::filesystem::path current = folder;
         !foldersAhead_.empty() && current.native().size() > destination_.native().size();
         current = current.parent_path()) {
        if (const auto made = foldersAhead_.find(current.native()); made != foldersAhead_.end()) {
            UnregisterTemporaryPath(made->second);
            foldersAhead_.erase(made);
        }
    }
}

void ParallelExtractor::MakeFoldersAhead(const std::filesystem::path& folder) {
    while (foldersAhead_.size() < kMostFoldersAhead) {
        const std::optional<std::filesystem::path> missing = folders_.FirstMissing(folder);
        const GuardedCreation guard;
        if (!missing || !guard.allowed()) {
            return;
        }
        const auto [made, inserted] = foldersAhead_.emplace(missing->native(), -1);
        if (!inserted) {
            return;
        }
        if (::mkdir(made->first.c_str(), 0777) != 0) {
            foldersAhead_.erase(made);
            return;
        }
        made->second = RegisterTemporaryPath(made->first.c_str());
        if (made->second < 0) {
            ::rmdir(made->first.c_str());
            foldersAhead_.erase(made);
            return;
        }
        folders_.MarkReady(*missing);
        if (workersWaiting_ > 0) {
            workerWake_.notify_all();
        }
    }
}

// The threads lock and wake each other only every so many entries, or when
// one waits for the other: a wake-up costs more than extracting a small file.
bool ParallelExtractor::TakeCreated(std::int64_t index) {
    if (workers_.Size() == 0) {
        return false;
    }
    lastTaken_ = index;
    if (index >= knownDone_ || index % kBatch == 0) {
        std::unique_lock lock(mutex_);
        taken_ = index;
        // Workers may wait for room ahead, or for this entry's turn.
        if (workersWaiting_ > 0) {
            workerWake_.notify_all();
        }
        if (!IsDone(index)) {
            orderedWaitsFor_ = index;
            orderedWake_.wait(lock, [&] { return IsDone(index) || stopping_; });
            orderedWaitsFor_ = -1;
            if (!IsDone(index)) {
                lock.unlock();
                workers_.RethrowFailure();
            }
        }
        knownDone_ = std::max(knownDone_, index + 1);
        while (knownDone_ < std::min(entryCount_, index + kLookahead) && IsDone(knownDone_)) {
            ++knownDone_;
        }
    }
    // Done entries keep their slots until the ordered thread has passed them.
    Slot& slot = SlotOf(index);
    UnregisterTemporaryPath(std::exchange(slot.registration, -1));
    return slot.created;
}

void ParallelExtractor::PostFinished(Worker& worker) {
    for (std::int64_t index = worker.finishedFrom; index < worker.finishedTo; ++index) {
        SlotOf(index).done = true;
    }
    if (orderedWaitsFor_ >= worker.finishedFrom && orderedWaitsFor_ < worker.finishedTo) {
        orderedWake_.notify_one();
    }
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
        std::int64_t first = 0;
        std::int64_t last = 0;
        {
            std::unique_lock lock(mutex_);
            PostFinished(worker);
            const auto limit = [&] { return std::min(entryCount_, std::max<std::int64_t>(taken_, 0) + kLookahead); };
            WaitAsWorker(lock, worker, [&] { return nextClaim_ >= entryCount_ || nextClaim_ < limit(); });
            if (stopping_ || nextClaim_ >= entryCount_) {
                return;
            }
            first = nextClaim_;
            last = std::min(first + kBatch, limit());
            nextClaim_ = last;
            // The slots' previous entries are done: their paths no longer count.
            for (std::int64_t index = first; index < last; ++index) {
                Slot& slot = SlotOf(index);
                Forget(users_, slot.paths, slot.index);
                if (!slot.paths.empty()) {
                    Forget(targets_, {slot.paths.front()}, slot.index);
                }
                slot.index = index;
                slot.done = false;
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
    std::optional<std::string> target = SafeTargetString(destination_.native(), slot.info.name);
    if (!target) {
        return;
    }
    slot.target = std::move(*target);
    slot.folder = FolderOfTarget(slot.target);
    // SafeTargetString appends plain components to destination, so the target
    // and each folder down to destination end at a separator or the end.
    const std::string_view path = slot.target;
    for (std::size_t end = path.size(); end != path.npos && end > destination_.native().size();
         end = path.rfind('/', end - 1)) {
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
            return user != users.end() && user->second >= taken_;
        };
        if (slot.eligible) {
            const bool barrierInProgress = lastBarrier_ >= 0 && lastBarrier_ >= taken_;
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

bool ParallelExtractor::Create(Slot& slot, Worker& worker) {
    // Ready folders stay ready, so one look at each new folder is enough.
    if (slot.folder != worker.readyFolder) {
        std::unique_lock lock(mutex_);
        if (slot.foldersFree && taken_ < slot.index && !folders_.IsReady(slot.folder)) {
            MakeFoldersAhead(slot.folder);
        }
        WaitAsWorker(lock, worker, [&] { return taken_ >= slot.index || folders_.IsReady(slot.folder); });
        if (stopping_ || !folders_.IsReady(slot.folder)) {
            return false;
        }
        worker.readyFolder = slot.folder;
        worker.openFolder = FileHandle();
        try {
            worker.openFolder = FileHandle::OpenFolder(slot.folder);
        } catch (const FileError&) {
            // Out of descriptors, say: the file is then made by its full path.
        }
    }
    const int folder = worker.openFolder.Descriptor();
    const std::size_t nameStart = folder >= 0 ? slot.target.rfind('/') + 1 : 0;  // the last component in the folder
    const ZipReader::NewFilePlace place{folder >= 0 ? folder : AT_FDCWD, slot.target.c_str() + nameStart, slot.target};
    return reader_.ExtractToNewFile(slot.record, slot.info, place, worker.buffers, &slot.registration) ==
           ZipResult::Success;
}

}  // namespace vaultpack
