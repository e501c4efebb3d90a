#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "jobs/JobHost.h"
#include "jobs/JobRecords.h"

namespace vaultpack {

enum class StepStatus { Done, Failed, Cancelled };

// How one step of the create-archive job ended.
struct StepOutcome {
    StepStatus status = StepStatus::Done;
    // ZipItemList: items that failed and were left out because the user chose to go on.
    bool itemsLeftOut = false;
    // EncryptStep: why the encryption failed, in English.
    std::string detail{};
};

// Writes every item into a new archive at zipPath under its stored name,
// showing the progress per item and asking whether to go on after an item
// fails. Stops when cancel is requested, between items or within a file; a
// stopped or cancelled archive is deleted. Shows its own messages (110, 111,
// 112).
StepOutcome ZipItemList(const std::vector<ArchiveItem>& items, const std::filesystem::path& zipPath, JobHost& host);

// Writes one file into a new archive at zipPath under its file name. Stops
// within the file when cancel is requested; a failed or cancelled archive is
// deleted. Shows its own messages (110, the ZIP result, 112).
StepOutcome ZipSingleFile(const std::filesystem::path& source, const std::filesystem::path& zipPath, JobHost& host);

// Encrypts source into output with the status line "Encrypting'…'". Cancelled
// whenever the host requests cancellation by the time it returns. Shows
// nothing; a failure carries its detail.
StepOutcome EncryptStep(std::string_view password, std::string_view hint, const std::filesystem::path& source,
                        const std::filesystem::path& output, bool markZip, JobHost& host);

}  // namespace vaultpack
