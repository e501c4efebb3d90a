#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/OrderedWindow.h"
#include "files/WorkerPool.h"
#include "zip/EntryDecision.h"
#include "zip/EntryOutcome.h"
#include "zip/EntryWriter.h"
#include "zip/ExtractionSlot.h"
#include "zip/FoldersAhead.h"
#include "zip/PathReservations.h"
#include "zip/ZipReader.h"

namespace vaultpack {

// Whether to replace a file that stands where an entry goes.
enum class Replace { Yes, No, Cancel };

// What landing an entry needs from whoever runs the extraction and knows the
// user. Every call comes from the thread that calls Land.
struct LandingCalls {
    std::function<void(const ZipEntryInfo&)> starting;  // the entry is read and about to land
    std::function<Replace(const std::string& path)> replace;
    std::function<bool()> cancelRequested;
    // The password for the encrypted entries, asked when the first needs it
    // and again (wrongBefore) when an entry does not accept the one given;
    // nothing when the user gave none.
    std::function<std::optional<std::string>(bool wrongBefore)> password;
};

// How landing one entry ended.
struct Landing {
    // Locked: an encrypted entry left out because the user gave no password.
    enum class Step { Extracted, Skipped, Locked, Failed, Cancelled };
    Step step = Step::Failed;
    EntryOutcome outcome;  // why, when Failed
    std::string name;      // the stored name; empty when the entry's record could not be read
    std::string path;      // where it goes, as shown; the stored name when that gives no path
};

// One run of extracting an archive's entries below a destination, in order:
// the reader's place, the EntryWriter, and the workers that make small files
// ahead of the entry being landed. See Extraction.cpp for how the threads
// share the work.
class Extraction {
public:
    // Files made ahead, at most, with the one being landed.
    static constexpr std::int64_t kFilesAhead = 192;
    // No workers for fewer entries: threads would not speed them up.
    static constexpr std::int64_t kFewestEntries = 64;

    // reader must stay open while this object lives; it is the calling
    // thread's, the workers only read through its const members. With
    // `selected` (the archive's entry indexes in ascending order) the run
    // lands only those: position i is entry selected[i], and entryCount is
    // their number; otherwise position i is entry i.
    Extraction(ZipReader& reader, std::int64_t entryCount, std::filesystem::path destination,
               EntryWriter::ProtectedFiles protectedFiles, std::vector<std::int64_t> selected = {});
    // Stops the workers and removes what they made for entries not landed.
    ~Extraction();
    Extraction(const Extraction&) = delete;
    Extraction& operator=(const Extraction&) = delete;

    // Lands the entry at position `index` (called for 0, 1, ... in order, from one thread):
    // reads it, reports it, decides on it, asks before replacing a file, and
    // puts it on disk. What stays on disk is what landing each entry in turn
    // alone would leave. Rethrows what a worker let out (std::bad_alloc, say).
    Landing Land(std::int64_t index, const LandingCalls& calls);

private:
    using Slot = ExtractionSlot;
    struct Worker;

    // The archive's index of the entry at a position of the run.
    std::int64_t EntryAt(std::int64_t position) const {
        return selected_.empty() ? position : selected_[static_cast<std::size_t>(position)];
    }

    // The ordered side.
    SlotPointer TakeMadeAhead(std::int64_t index);
    Landing LandEntry(std::int64_t index, Slot* madeAhead, const LandingCalls& calls);
    EntryOutcome Prepare(std::string_view target, bool isFolder, EntryWriter::Place& place);
    Landing LandHere(const ZipEntryInfo& info, const EntryDecision& decision, const EntryWriter::Place& place,
                     const LandingCalls& calls);
    EntryOutcome ExtractEncrypted(const ZipEntryInfo& info, const EntryWriter::Place& place, bool replace,
                                  const LandingCalls& calls);

    // The workers' side.
    void Work();
    void SlotsForBatch(Worker& worker, std::size_t count);
    void Plan(std::int64_t index, Slot& slot) const;
    bool Reserve(Worker& worker);
    bool Create(Slot& slot, Worker& worker);
    void HandIn(Worker& worker);
    template <typename Ready>
    void WaitAsWorker(std::unique_lock<std::mutex>& lock, Worker& worker, Ready ready);
    void StopAfterFailure();

    ZipReader& reader_;
    const std::vector<std::int64_t> selected_;
    EntryWriter writer_;  // its folders under mutex_
    // For each entry in order: its slot when a worker made its file, else null.
    OrderedWindow<SlotPointer> window_;
    SlotPool pool_;
    std::mutex mutex_;
    std::condition_variable workerWake_;
    int workersWaiting_ = 0;
    // The entry the job's thread last had to wait for: a worker waiting for
    // that entry's folder leaves the entry to it.
    std::int64_t orderedWaitsFor_ = -1;
    PathReservations reservations_;
    std::int64_t nextReserve_ = 0;
    // Until the entries reserved so far hold a link or an unknown path.
    bool foldersAheadAllowed_ = false;
    FoldersAhead foldersAhead_;
    bool stopping_ = false;
    // The job's thread's own: the folder it prepared last, and the slots it
    // landed that are not yet given back to the pool.
    std::string lastPreparedFolder_;
    std::shared_ptr<const FileHandle> lastPrepared_;
    std::vector<SlotPointer> landed_;
    // The password the encrypted entries are read with, and whether the user
    // declined to give one: the job's thread's own. The last password that
    // opened an entry, for the workers: set under mutex_.
    std::optional<std::string> password_;
    bool passwordDeclined_ = false;
    std::shared_ptr<const std::string> accepted_;
    WorkerPool workers_;
};

}  // namespace vaultpack
