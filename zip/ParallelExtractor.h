#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "files/OrderedWindow.h"
#include "files/TemporaryFileRegistry.h"
#include "files/WorkerPool.h"
#include "zip/EntryWriter.h"
#include "zip/ZipReader.h"

namespace vaultpack {

// Extracts the small file entries of an archive to new files on worker
// threads, ahead of the one thread that goes through the entries in order,
// reports them, asks its questions and stops on a cancel. A worker makes a
// file through the same EntryWriter and ExtractWholeFile as that thread,
// only where nothing stands (it never asks or replaces), only in a folder
// that the ordered thread has made ready and keeps open, and only when no
// earlier entry still in progress uses the same path, as its own or as a
// folder; so the file is the one the ordered thread would have made at the
// entry's turn. Everything else (a file in the way, a failure, links,
// folders, large or unusual entries) is left to the ordered thread.
//
// Workers claim entries in order from one ordered window, in batches, at
// most kLookahead ahead of the ordered thread, which takes them in order;
// between claiming and making, a batch's paths are reserved in entry order.
// They may also make the folders of entries ahead through the
// writer (only in a destination that was empty, only until the archive
// makes a link, and only where no earlier entry still in progress puts
// anything but a folder). A file or folder made ahead stays registered for
// removal (through its folder, by its identity) until taken or needed, and
// one never taken or needed is removed so when the object goes; so stopping
// early leaves exactly what extracting in order would have left, and never
// removes a file someone else put there.
// When the registry is full, workers leave entries to the ordered thread
// rather than make files nobody would remove.
class ParallelExtractor {
public:
    static constexpr std::int64_t kLookahead = 192;
    // Larger entries, compressed or not, are left to the ordered thread, so
    // that each worker holds at most about twice this much.
    static constexpr std::uint64_t kEntrySizeLimit = 1024 * 1024;
    // Folders made ahead that no entry taken has needed yet, at most.
    static constexpr std::size_t kMostFoldersAhead = 32;

    // Starts workers, one per processor, that extract from reader below
    // destination; none when the archive has fewer than kFewestEntries
    // entries, which threads would not speed up, and only as many as the
    // system lets it start. reader must stay open while this object lives.
    static constexpr std::int64_t kFewestEntries = 64;
    ParallelExtractor(const ZipReader& reader, std::int64_t entryCount, EntryWriter& writer);
    // Stops the workers and removes the files they made for entries after
    // the last one taken.
    ~ParallelExtractor();
    ParallelExtractor(const ParallelExtractor&) = delete;
    ParallelExtractor& operator=(const ParallelExtractor&) = delete;

    // As EntryWriter::Prepare, for the ordered thread: the folder it opens
    // is then ready for the workers too.
    EntryOutcome Prepare(std::string_view relativeTarget, bool isFolder, EntryWriter::Place& place);

    // Called by the ordered thread for every entry, in order: waits until the
    // workers are done with entry `index` and says whether they made its
    // file, complete, at its place. The file is then
    // the caller's. When false, nothing of the entry has been made. Rethrows
    // what a worker let out (std::bad_alloc, say); the workers have stopped then.
    bool TakeCreated(std::int64_t index);
    // Removes the file of the entry taken last, made ahead, when it is still
    // the file the worker made: for a cancel that comes at its turn.
    void DiscardTaken();

private:
    // The fields of an entry's slot are the claiming worker's until it hands
    // the entry in through the window, then the ordered thread's until it
    // takes the next entry: the window is one entry smaller than the ring of
    // slots, so a slot is claimed again only after that.
    struct Slot {
        std::int64_t index = -1;
        bool eligible = false;
        // No earlier entry still in progress puts a file or link where one of
        // the target's folders would go: workers may make those folders.
        bool foldersFree = false;
        bool created = false;
        // A created file stays registered for removal at an abrupt end
        // until the ordered thread takes it; `made` names it through its
        // open folder, which place.folder holds open until then.
        int registration = -1;
        MadeFile made;
        CentralRecord record;
        ZipEntryInfo info;
        // Strings, not paths: a path splits itself into components, which
        // costs more than making a small file.
        EntryWriter::Place place;  // its name and path (relative); the folder once ready
        std::string folder;        // the relative folder
        // Hashes of the target and its folders below destination. Entries
        // whose paths clash, or only their hashes, are not made ahead.
        std::vector<std::size_t> paths;
        // Too long a name or too deep a path to keep in memory for every
        // entry ahead: later entries are not made ahead while it is in
        // progress.
        bool barrier = false;
    };
    // One worker's own: its buffers, the folder last found ready (held open,
    // so that files are made in it without looking it up again), and the
    // entries it has finished but not yet handed in.
    struct Worker {
        ZipReader::WholeEntryBuffers buffers;
        std::string readyFolder;
        std::shared_ptr<const FileHandle> openFolder;
        std::int64_t finishedFrom = 0;
        std::int64_t finishedTo = 0;
    };

    void Work();
    // Stops the workers after one failed, waking everyone who waits.
    void StopAfterFailure();
    // Hands the worker's finished entries in to the window.
    void PostFinished(Worker& worker);
    // With mutex_ held: waits until ready() or stopping, first handing in what
    // the worker has finished, so the ordered thread never waits on it.
    template <typename Ready>
    void WaitAsWorker(std::unique_lock<std::mutex>& lock, Worker& worker, Ready ready);
    // Reads the slot's entry and decides whether a worker may make its file.
    void Plan(Slot& slot) const;
    // In entry order: records the paths of the entries first to last - 1,
    // keeping from extraction ahead those whose path an earlier entry still
    // in progress uses. False when stopping.
    bool Reserve(std::int64_t first, std::int64_t last, Worker& worker);
    // Makes the slot's file once its folder is ready; false when it is not
    // ready by the time the ordered thread has reached the entry, or when
    // stopping.
    bool Create(Slot& slot, Worker& worker);
    // With mutex_ held: makes the folders missing down to `folder` through
    // the writer, each registered for removal until an entry taken needs it.
    void MakeFoldersAhead(const std::string& folder);
    // With mutex_ held: `folder` and those above it made ahead are needed in
    // order now, so they stay.
    void KeepFoldersAhead(std::string_view folder);
    Slot& SlotOf(std::int64_t index) { return slots_[static_cast<std::size_t>(index % kLookahead)]; }

    const ZipReader& reader_;
    EntryWriter& writer_;  // its folders under mutex_
    // For each entry, in order: whether a worker made its file.
    OrderedWindow<bool> made_;
    std::mutex mutex_;
    std::condition_variable workerWake_;
    // The entry the ordered thread last had to wait for: a worker waiting for
    // that entry's folder leaves the entry to it.
    std::int64_t orderedWaitsFor_ = -1;
    int workersWaiting_ = 0;
    // Folders made ahead and not yet needed in order, by relative path.
    struct FolderAhead {
        EntryWriter::MadeFolder folder;
        MadeFile made;
        int registration = -1;
    };
    std::map<std::string, FolderAhead> foldersAhead_;
    std::vector<Slot> slots_;
    // For each path hash: the last entry, as far as reserved, that uses it.
    std::unordered_map<std::size_t, std::int64_t> users_;
    // The same for targets of entries other than folders.
    std::unordered_map<std::size_t, std::int64_t> targets_;
    std::int64_t lastBarrier_ = -1;
    // Until the entries reserved so far hold a link: see the constructor.
    bool foldersAheadAllowed_ = false;
    std::int64_t nextReserve_ = 0;
    bool stopping_ = false;
    // The ordered thread's own: the folder it prepared last.
    std::string lastPreparedFolder_;
    std::shared_ptr<const FileHandle> lastPrepared_;
    // The ordered thread's own: the entry it took last.
    std::int64_t lastTaken_ = -1;
    WorkerPool workers_;
};

}  // namespace vaultpack
