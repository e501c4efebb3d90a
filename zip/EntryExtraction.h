#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "files/TemporaryFileRegistry.h"
#include "zip/EntryOutcome.h"
#include "zip/EntryWriter.h"
#include "zip/ZipReader.h"

namespace vaultpack {

// Reading an entry (ZipReader) joined to putting it on disk (EntryWriter):
// the one way an entry's data reaches a file, for the job's own thread and
// for the workers that extract ahead of it alike.

// Extracts a regular file entry that ZipReader::FitsInMemory, using the
// calling thread's buffers: inflated and checked in memory, then written.
// cancelRequested, when given, is asked before and after inflating.
EntryOutcome ExtractWholeFile(const ZipReader& reader, const CentralRecord& record, const ZipEntryInfo& info,
                              const EntryWriter& writer, const EntryWriter::Place& place,
                              ZipReader::WholeEntryBuffers& buffers, bool replace, PasswordUse& use,
                              const std::function<bool()>& cancelRequested = {}, MadeFile* keep = nullptr,
                              int* registration = nullptr);

// Extracts the entry GetEntry described last (info), of a kind Decide
// accepts, at place: a file, whole or streamed, or a link whose target
// LinkTargetStaysBelow accepts; nothing for a folder entry. cancelRequested is asked between pieces; a cancelled
// entry leaves nothing (Reason Cancelled, PartiallyUnzipped). An encrypted
// entry is read with use.password; one it does not open, or whose code does
// not match, leaves nothing and says so (EntryWrongPassword, EntryDataChanged).
EntryOutcome ExtractEntryAt(ZipReader& reader, const ZipEntryInfo& info, const EntryWriter& writer,
                            const EntryWriter::Place& place, bool replace, PasswordUse& use,
                            const std::function<bool()>& cancelRequested);

// Extracts entry `index` to targetPath, whose folder must exist, replacing
// what stands there unless told otherwise: for tools and tests that need no
// questions. Kinds Decide refuses give FaultyArguments. The ZIP facility's code for how it went.
ZipResult ExtractEntry(ZipReader& reader, std::int64_t index, const std::filesystem::path& targetPath,
                       const std::function<bool()>& cancelRequested = {}, bool replaceExisting = true,
                       const std::string* password = nullptr);

}  // namespace vaultpack
