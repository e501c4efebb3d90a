#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/FileHandle.h"
#include "jobs/JobHost.h"
#include "jobs/JobRecords.h"

namespace vaultpack {

enum class StepStatus { Done, Failed, Cancelled };

// How one step of the create-archive job ended.
struct StepOutcome {
    StepStatus status = StepStatus::Done;
    // ZipItemList: items that failed and were left out because the user chose to go on.
    bool itemsLeftOut = false;
    // EncryptStep: why the encryption failed.
    std::optional<MessageLine> reason{};
};

// Where a step writes: an open empty file, which the caller puts in place
// (or throws away unless the step is done), named in messages as `shown`:
// the output the user chose, or an intermediate file.
struct StepOutput {
    FileHandle& file;
    std::filesystem::path shown;
};

// The password a zip step protects every entry with as AES-256; none for a
// plain archive.
struct ZipProtection {
    std::optional<std::string> aesPassword;
};

// The zip steps each show their own messages (110, the ZIP result, 112); an
// archive that a file damaged part-way is closed without a message of its
// own, as it was reported with that file.

// Writes every item into the archive under its stored name, showing the
// progress per item and asking whether to go on after an item fails. Stops
// when cancel is requested, between items or within a file, and when a file
// fails part-way (111 is not offered then). `threads` files are read and
// compressed at a time (0: one per processor); the archive is the same for
// every count.
StepOutcome ZipItemList(const std::vector<ArchiveItem>& items, const StepOutput& archive, unsigned threads,
                        const ZipProtection& protection, JobHost& host);

// Writes one file into the archive under storedName; a large one is
// deflated on `threads` workers (0: one per processor). Stops within the file
// when cancel is requested.
StepOutcome ZipSingleFile(const std::filesystem::path& source, std::string_view storedName,
                          const StepOutput& archive, unsigned threads, const ZipProtection& protection,
                          JobHost& host);

// Encrypts source into output with the status line "Encrypting'…'". Cancelled
// whenever the host requests cancellation by the time it returns. Shows
// nothing; a failure carries its reason.
StepOutcome EncryptStep(std::string_view password, std::string_view hint, const std::filesystem::path& source,
                        const StepOutput& output, bool markZip, JobHost& host);

}  // namespace vaultpack
