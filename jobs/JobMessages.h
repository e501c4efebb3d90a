#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "jobs/JobHost.h"
#include "zip/ZipResult.h"

namespace vaultpack {

// The message boxes the jobs show, built in one place so that their captions
// and buttons stay consistent.

// An error with an OK button, captioned "Error".
void ShowError(JobHost& host, MessageOwner owner, std::vector<MessageLine> lines);

// A note with an OK button, captioned "Information", owned by the progress window.
void ShowInformation(JobHost& host, std::vector<MessageLine> lines);


// The English text of a ZIP result, as a line of its own.
MessageLine ZipResultLine(ZipResult result);

// An archive that could not be opened: "Failed to open zip file.", then that
// it is no ZIP archive, or the result's text and the path; owned by nobody.
void ShowOpenZipFailure(JobHost& host, const std::filesystem::path& archive, ZipResult result);

// An archive that could not be closed: "Failed to close zip file.", the
// result's text and, where known, why, as an error owned by the progress window.
void ShowCloseZipFailure(JobHost& host, ZipResult result, std::optional<MessageLine> reason = std::nullopt);

}  // namespace vaultpack
