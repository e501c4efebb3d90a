// Extracting an archive with worker threads ahead of the job's thread.
//
// Small files are cheap to write but each costs a few system calls, so an
// archive of many small entries is extracted by several threads. The order
// still matters: the user is asked before a file is replaced, a cancel stops
// at one entry, and a failed entry is reported at its turn. So one thread,
// the job's, lands the entries strictly in order, and the workers only make
// what it would make itself, earlier.
//
// The job's thread loops: for entry i, Land(i) takes entry i's item from the
// window (waiting if a worker still has it), reads and reports the entry,
// decides on it (Decide, the same rule the workers used), prepares its
// folder, and then either keeps the file a worker made, or examines the
// place, asks before replacing, and extracts the entry itself. Nothing else
// is done for an entry; nothing is left to a later call.
//
// A worker loops: claim a batch of up to kBatch entries from the window,
// plan each one (read its record, decide, hash its paths), reserve the
// batch's paths in entry order under the lock, make the files of the
// entries that may be made ahead, and hand the finished entries in to the
// window, in order of their numbers. A worker that must wait for a folder
// hands in what it has finished first, so the job's thread never waits on a
// sleeping worker.
//
// A slot's life. It holds an entry's record, decision, place and path
// hashes. A worker takes one, reset, for each entry it claims: one its last
// batch kept, else one from the pool, else a new one. If the worker makes the
// entry's file, the file is registered for removal at an abrupt end (through
// its open folder, by identity) and the slot travels through the window to
// the job's thread; otherwise the worker keeps the slot for its next batch
// and hands in nothing for the entry. The job's thread keeps the file
// (unregistering it) when the entry lands, and resets the slot at the end of
// the entry's turn, which removes a file not kept (a cancel at its turn, a
// failure); the slot's destructor does the same after an exception or when
// the run stops before the entry's turn (the window drops what is not taken).
// It gives the reset slots back to the pool a batch at a time. Reuse is safe
// because a slot has one owner at a time (it is moved, never shared: a
// worker's batch, the window, the job's thread, the pool), and its owner
// resets it before it may serve another entry: the file is gone or kept, the
// registration dropped and every field as new. New slots are made only when
// the pool is empty, so there are at most those of the window and a batch's
// worth for each worker and for the job's thread.
//
// What a worker may make. Only a small regular file (EntryDecision's
// fitsAhead), only where nothing stands (it never asks or replaces), only
// in a folder that the job's thread has opened (or that a worker made ahead
// in a destination that was empty), and only when no earlier entry still in
// progress uses the same path, as its own or as a folder (PathReservations).
// So the file is the one the job's thread would have made at the entry's turn.
//
// Locks. mutex_ guards the writer's folders, the reservations and the
// folders made ahead; the window's lock is taken under it, never the other
// way round. No lock is held while a file is written.

#include "zip/Extraction.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include <sys/stat.h>

#include "zip/EntryDecision.h"
#include "zip/EntryExtraction.h"
#include "zip/EntryPath.h"
#include "zip/ParallelPreparer.h"

namespace vaultpack {

namespace {

using Reason = FailureReason;

// Entries a worker claims at a time: their paths are reserved in one go, and
// their headers and data, stored one after the other, mostly come in one read.
constexpr std::int64_t kBatch = 64;
// Names kept for every entry ahead stay within this, so the entries ahead
// hold at most some megabytes whatever the archive holds.
constexpr std::size_t kLongestName = 1024;
// Folders made ahead are held open until their entries land: only where the
// process may open this many descriptors. Workers, which hold a folder and a
// file open (4 each with a margin), only where the job's thread keeps 24.
constexpr std::uint64_t kDescriptorsForFoldersAhead = 256;

// Every file and folder made ahead stays registered until landed or needed.
static_assert(Extraction::kFilesAhead + FoldersAhead::kMost == kMadeFilesAhead);
// Each worker, and the job's thread, may hold one file under a temporary name.
static_assert(ParallelPreparer::kMostWorkers + 1 == kWritersPerExtraction);

// A link already in the destination may lead to a folder that a later entry
// makes: made ahead, it would change how an earlier entry sees that link. So
// folders are made ahead only in an empty or new destination.
bool IsEmptyOrMissingFolder(const std::filesystem::path& folder) {
    std::error_code error;
    return std::filesystem::directory_iterator(folder, error) == std::filesystem::directory_iterator() &&
           (!error || error == std::errc::no_such_file_or_directory);
}

Landing Ended(Landing::Step step, const ZipEntryInfo& info, const std::string& path, EntryOutcome failure = {}) {
    return {step, std::move(failure), info.name, path};
}

}  // namespace

// One worker's own: its buffers, the folder last found ready (held open, so
// that files are made in it without looking it up again), and the slots of
// the batch it claimed, of which those before `handedIn` are handed in (the
// others are reused for its next batch).
struct Extraction::Worker {
    ZipReader::WholeEntryBuffers buffers;
    std::string readyFolder;
    std::shared_ptr<const FileHandle> openFolder;
    std::int64_t first = 0;
    std::int64_t handedIn = 0;
    std::int64_t finished = 0;
    std::vector<SlotPointer> slots;
    // The password that opened an encrypted entry last, as the batch was reserved.
    std::shared_ptr<const std::string> password;
};

Extraction::Extraction(ZipReader& reader, std::int64_t entryCount, std::filesystem::path destination,
                       EntryWriter::ProtectedFiles protectedFiles, std::vector<std::int64_t> selected)
    : reader_(reader),
      selected_(std::move(selected)),
      writer_(std::move(destination), std::move(protectedFiles)),
      // The entry being landed holds a file made ahead too.
      window_(static_cast<std::uint64_t>(entryCount), kFilesAhead - 1),
      foldersAheadAllowed_(IsEmptyOrMissingFolder(writer_.Destination()) &&
                           DescriptorLimit() >= kDescriptorsForFoldersAhead),
      workers_(entryCount < kFewestEntries ? 0 : WorkersWithinDescriptors(ParallelPreparer::WorkerCount(0), 4, 24),
               [this](unsigned) { Work(); }, [this] { StopAfterFailure(); }, 0) {}

Extraction::~Extraction() {
    StopAfterFailure();  // the window drops the slots not taken, which removes their files
    workers_.Join();     // each worker's slots not handed in go with it, then the folders ahead
}

void Extraction::StopAfterFailure() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    workerWake_.notify_all();
    window_.Abort();
}

// The slot is reset at the end of the entry's turn, so that a file not kept
// goes now (should landing throw, its destructor removes it), and given back
// to the pool a batch at a time: one lock per batch.
Landing Extraction::Land(std::int64_t index, const LandingCalls& calls) {
    SlotPointer madeAhead = TakeMadeAhead(index);
    Landing landing = LandEntry(index, madeAhead.get(), calls);
    if (madeAhead) {
        madeAhead->Reset();
        landed_.push_back(std::move(madeAhead));
        if (landed_.size() >= static_cast<std::size_t>(kBatch)) {
            pool_.Give(landed_);
        }
    }
    return landing;
}

Landing Extraction::LandEntry(std::int64_t index, Slot* madeAhead, const LandingCalls& calls) {
    ZipEntryInfo info;
    if (const ZipResult result = reader_.GetEntry(EntryAt(index), info); result != ZipResult::Success) {
        return Ended(Landing::Step::Failed, {}, {}, EntryOutcome::Failed(result, Reason::EntryUnreadable, {}));
    }
    calls.starting(info);
    const EntryDecision decision = Decide(info);
    if (decision.refusal == Reason::UnsafeName) {
        return Ended(Landing::Step::Failed, info, info.name,
                     EntryOutcome::Failed(ZipResult::FaultyArguments, Reason::UnsafeName, info.name));
    }
    EntryWriter::Place place;
    EntryOutcome outcome = Prepare(decision.target, info.isFolder, place);
    if (!outcome.Succeeded()) {
        return Ended(Landing::Step::Failed, info, place.path, std::move(outcome));
    }
    if (madeAhead) {
        if (calls.cancelRequested()) {
            return Ended(Landing::Step::Cancelled, info, place.path);  // a cancel at its turn cuts the entry short
        }
        madeAhead->Keep();
        return Ended(Landing::Step::Extracted, info, place.path);
    }
    return info.isFolder ? Ended(Landing::Step::Extracted, info, place.path)
                         : LandHere(info, decision, place, calls);
}

// Only a file the user agreed to replace is replaced; one that appears while
// the entry is written is kept. An entry of a kind that is not extracted is
// refused once the user has decided on the file in its place.
Landing Extraction::LandHere(const ZipEntryInfo& info, const EntryDecision& decision,
                             const EntryWriter::Place& place, const LandingCalls& calls) {
    EntryWriter::Occupant occupant = EntryWriter::Occupant::Nothing;
    EntryOutcome outcome = writer_.Examine(place, occupant);
    if (outcome.Succeeded() && occupant == EntryWriter::Occupant::File) {
        switch (calls.replace(place.path)) {
            case Replace::Yes: break;
            case Replace::No: return Ended(Landing::Step::Skipped, info, place.path);
            case Replace::Cancel: return Ended(Landing::Step::Cancelled, info, place.path);
        }
    }
    if (outcome.Succeeded()) {
        outcome = RefusalOf(decision, info);
    }
    const bool replace = occupant == EntryWriter::Occupant::File;
    if (outcome.Succeeded() && info.encrypted) {
        outcome = ExtractEncrypted(info, place, replace, calls);
    } else if (outcome.Succeeded()) {
        PasswordUse none;
        outcome = ExtractEntryAt(reader_, info, writer_, place, replace, none, calls.cancelRequested);
    }
    if (calls.cancelRequested()) {
        return Ended(Landing::Step::Cancelled, info, place.path);  // an entry cut short left nothing behind
    }
    if (outcome.failure.reason == Reason::EntryLocked) {
        return Ended(Landing::Step::Locked, info, place.path);
    }
    return outcome.Succeeded() ? Ended(Landing::Step::Extracted, info, place.path)
                               : Ended(Landing::Step::Failed, info, place.path, std::move(outcome));
}

// With the password given before, or asked for now; asked again while the
// entry does not accept it. Once the user declines to give one, no more is
// asked, and every encrypted entry the password at hand does not open is
// left out (EntryLocked) and counted. A password
// that opens an entry goes to the workers, which then make encrypted entries
// ahead too.
EntryOutcome Extraction::ExtractEncrypted(const ZipEntryInfo& info, const EntryWriter::Place& place, bool replace,
                                          const LandingCalls& calls) {
    for (bool wrong = false;;) {
        if ((!password_ || wrong) && !passwordDeclined_) {
            std::optional<std::string> given = calls.password ? calls.password(wrong) : std::nullopt;
            passwordDeclined_ = !given;
            if (given) {
                password_ = std::move(given);
                wrong = false;
            }
        }
        if (!password_ || wrong) {
            // Declined: skipped, as every encrypted entry the password at hand does not open.
            return EntryOutcome::Failed(ZipResult::FaultyArguments, Reason::EntryLocked, place.path);
        }
        PasswordUse use{&*password_};
        EntryOutcome outcome = ExtractEntryAt(reader_, info, writer_, place, replace, use, calls.cancelRequested);
        if (use.refusal != Reason::EntryWrongPassword) {
            if (outcome.Succeeded() && (!accepted_ || *accepted_ != *password_)) {
                const std::lock_guard lock(mutex_);
                accepted_ = std::make_shared<const std::string>(*password_);
            }
            return outcome;
        }
        wrong = true;
    }
}

// The job's thread tells the workers where it is only when it has to wait:
// a wake-up costs more than extracting a small file.
SlotPointer Extraction::TakeMadeAhead(std::int64_t index) {
    if (workers_.Size() == 0) {
        return nullptr;
    }
    std::optional<SlotPointer> slot = window_.TryTake();
    if (!slot) {
        {
            const std::lock_guard lock(mutex_);
            orderedWaitsFor_ = index;
            if (workersWaiting_ > 0) {
                workerWake_.notify_all();
            }
        }
        slot = window_.Take();
    }
    if (!slot) {
        workers_.RethrowFailure();
        return nullptr;
    }
    return std::move(*slot);
}

EntryOutcome Extraction::Prepare(std::string_view target, bool isFolder, EntryWriter::Place& place) {
    EntryOutcome outcome = writer_.Locate(target, isFolder, place);
    const std::string_view folder = EntryWriter::FolderToOpen(target, isFolder);
    // Entries mostly follow each other in one folder: the one prepared last
    // is at hand without the lock.
    if (!outcome.Succeeded() || (lastPrepared_ && folder == lastPreparedFolder_)) {
        place.folder = lastPrepared_;
        return outcome;
    }
    const std::lock_guard lock(mutex_);
    foldersAhead_.Keep(folder);
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

void Extraction::Work() {
    Worker worker;
    for (;;) {
        HandIn(worker);
        const std::optional<OrderedWindow<SlotPointer>::Batch> batch = window_.ClaimBatch(kBatch);
        if (!batch) {
            return;
        }
        worker.first = worker.handedIn = worker.finished = static_cast<std::int64_t>(batch->first);
        SlotsForBatch(worker, static_cast<std::size_t>(batch->last - batch->first));
        for (std::size_t slot = 0; slot < worker.slots.size(); ++slot) {
            Plan(worker.first + static_cast<std::int64_t>(slot), *worker.slots[slot]);
        }
        if (!Reserve(worker)) {
            return;
        }
        for (SlotPointer& slot : worker.slots) {
            slot->created = slot->fileFree && Create(*slot, worker);
            ++worker.finished;
        }
    }
}

void Extraction::HandIn(Worker& worker) {
    window_.Finish(static_cast<std::uint64_t>(worker.handedIn), static_cast<std::uint64_t>(worker.finished),
                   [&](std::uint64_t index) {
                       SlotPointer& slot = worker.slots[static_cast<std::size_t>(index) - worker.first];
                       return slot->created ? std::move(slot) : nullptr;
                   });
    worker.handedIn = worker.finished;
}

template <typename Ready>
void Extraction::WaitAsWorker(std::unique_lock<std::mutex>& lock, Worker& worker, Ready ready) {
    while (!stopping_ && !ready()) {
        HandIn(worker);
        ++workersWaiting_;
        workerWake_.wait(lock);
        --workersWaiting_;
    }
}

// The batch's slots, all reset: first those of the last batch that were not
// handed in, then the pool's, then new ones. So a worker holds no more slots
// between batches than a batch has.
void Extraction::SlotsForBatch(Worker& worker, std::size_t count) {
    std::vector<SlotPointer>& slots = worker.slots;
    std::erase(slots, nullptr);  // handed in
    for (const SlotPointer& slot : slots) {
        slot->Reset();
    }
    if (slots.size() < count) {
        pool_.Take(slots, count - slots.size());
    }
    const std::size_t reused = std::min(slots.size(), count);
    slots.resize(count);
    std::generate(slots.begin() + static_cast<std::ptrdiff_t>(reused), slots.end(),
                  [] { return std::make_unique<Slot>(); });
}

// The slot comes reset; what is not planned keeps its reset value.
void Extraction::Plan(std::int64_t index, Slot& slot) const {
    if (reader_.ReadEntry(EntryAt(index), slot.record, slot.info) != ZipResult::Success) {
        return;  // the job's thread meets the failure at the entry's turn
    }
    if (slot.info.name.size() > kLongestName) {
        slot.unknownPaths = true;
        slot.record = CentralRecord();  // frees what the long name took
        slot.info = ZipEntryInfo();
        return;
    }
    slot.decision = Decide(slot.info);
    if (slot.decision.target.empty()) {
        return;  // nothing below the destination is made for it
    }
    PathReservations::HashesOf(slot.decision.target, slot.hashes);
    slot.unknownPaths = slot.hashes.empty();
    slot.folder = FolderOfTarget(slot.decision.target);
    slot.place.name.assign(slot.decision.target, slot.folder.empty() ? 0 : slot.folder.size() + 1);
    slot.place.path = std::move(slot.decision.target);
}

bool Extraction::Reserve(Worker& worker) {
    std::unique_lock lock(mutex_);
    WaitAsWorker(lock, worker, [&] { return nextReserve_ == worker.first; });
    if (stopping_) {
        return false;
    }
    // The entry the job's thread may be at: it and those after it are in progress.
    const std::int64_t current = static_cast<std::int64_t>(window_.Taken()) - 1;
    std::int64_t index = worker.first;
    for (const SlotPointer& slot : worker.slots) {
        if (slot->unknownPaths) {
            reservations_.ReserveUnknown(index);
        }
        // A link may lead where a folder made ahead goes, and so may an entry of unknown kind.
        if (slot->unknownPaths || S_ISLNK(slot->info.mode)) {
            foldersAheadAllowed_ = false;
        }
        const PathReservations::Verdict verdict =
            reservations_.Reserve(index++, slot->hashes, slot->info.isFolder, current);
        slot->fileFree = slot->decision.fitsAhead && verdict.fileFree && (!slot->info.encrypted || accepted_);
        slot->foldersFree = foldersAheadAllowed_ && verdict.foldersFree;
    }
    nextReserve_ = index;
    worker.password = accepted_;
    if (workersWaiting_ > 0) {
        workerWake_.notify_all();
    }
    return true;
}

bool Extraction::Create(Slot& slot, Worker& worker) {
    // Ready folders stay ready, so one look at each new folder is enough.
    if (slot.folder != worker.readyFolder || !worker.openFolder) {
        std::unique_lock lock(mutex_);
        const std::int64_t index = worker.finished;
        if (slot.foldersFree && orderedWaitsFor_ < index && !writer_.ReadyFolder(slot.folder)) {
            if (foldersAhead_.Make(writer_, slot.folder) && workersWaiting_ > 0) {
                workerWake_.notify_all();
            }
        }
        WaitAsWorker(lock, worker, [&] { return orderedWaitsFor_ >= index || writer_.ReadyFolder(slot.folder); });
        worker.openFolder = stopping_ ? nullptr : writer_.ReadyFolder(slot.folder);
        if (!worker.openFolder) {
            return false;
        }
        worker.readyFolder = slot.folder;
    }
    // The slot holds the folder open only while its file stays registered
    // through it: descriptors are a budget too.
    slot.place.folder = worker.openFolder;
    // An entry the password does not open, or whose code does not match, is
    // left to the job's thread, which asks again or reports it.
    PasswordUse use{slot.info.encrypted ? worker.password.get() : nullptr};
    const bool created = ExtractWholeFile(reader_, slot.record, slot.info, writer_, slot.place, worker.buffers,
                                          false, use, {}, &slot.made, &slot.registration)
                             .Succeeded();
    if (!created) {
        slot.place.folder.reset();
    }
    return created;
}

}  // namespace vaultpack
