#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "files/TemporaryFileRegistry.h"
#include "zip/EntryDecision.h"
#include "zip/EntryWriter.h"
#include "zip/ZipArchiveFile.h"
#include "zip/ZipEntryInfo.h"

namespace vaultpack {

// What a worker of an Extraction learns and makes for one entry ahead of the
// job's thread: the entry's record, decision, place and path hashes, and the
// file made ahead, registered for removal at an abrupt end. One thread owns
// it at a time; see Extraction.cpp for its way between them.
struct ExtractionSlot {
    CentralRecord record;
    ZipEntryInfo info;
    EntryDecision decision;
    std::string folder;        // relative, of the target
    EntryWriter::Place place;  // name and relative path; the open folder while the file is registered
    std::vector<std::size_t> hashes;
    bool unknownPaths = false;  // too long a name or too deep a path to reserve
    bool fileFree = false;      // may be made ahead, as far as the paths go
    bool foldersFree = false;   // its folders may be made ahead
    bool created = false;
    MadeFile made;
    int registration = -1;

    ExtractionSlot() = default;
    ExtractionSlot(const ExtractionSlot&) = delete;
    ExtractionSlot& operator=(const ExtractionSlot&) = delete;
    // Removes the file made ahead unless it was kept.
    ~ExtractionSlot() { Release(); }

    // The file is the landed entry's for good.
    void Keep();
    // Ready for another entry, as a new slot: the file made ahead is removed
    // unless it was kept, and nothing of the entry stays registered or open.
    // Strings and vectors keep their capacity.
    void Reset();

private:
    void Release();
};

using SlotPointer = std::unique_ptr<ExtractionSlot>;

// Reset slots waiting for reuse: the job's thread gives back the slots it
// has landed, a batch at a time, and a worker takes what its batch lacks.
// Its lock is taken holding no other.
class SlotPool {
public:
    // Takes every slot of `slots`, leaving it empty.
    void Give(std::vector<SlotPointer>& slots);
    // Moves up to `most` slots onto the end of `into`.
    void Take(std::vector<SlotPointer>& into, std::size_t most);

private:
    std::mutex mutex_;
    std::vector<SlotPointer> free_;
};

}  // namespace vaultpack
