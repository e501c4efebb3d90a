#pragma once

#include <exception>
#include <filesystem>
#include <optional>

#include "crypto/CryptoResult.h"
#include "files/FileHandle.h"
#include "jobs/MessageLine.h"
#include "zip/EntryOutcome.h"
#include "zip/EntryPath.h"
#include "zip/ZipWriteFailure.h"

namespace vaultpack {

// The engine below the jobs reports failures as reason codes; these turn them
// into catalogue lines in the user's language.

// The message that names a failed encryption or decryption: the reason's own
// message for a wrong password, a file that is no container and a container of
// another version; otherwise `generic` (EncryptFailed, DecryptFailed).
MessageId FailureMessage(CryptoFailure failure, MessageId generic);

// Why an encryption or decryption failed, with the file and the system's
// reason where there is one.
MessageLine ReasonLine(const FileOperationResult& result);
MessageLine ReasonLine(const FileError& error);
// Why a stored entry name gives no file to extract; `problem` None stands for
// a safe name that names no file (such as "docs/.").
MessageLine ReasonLine(StoredNameProblem problem);
// Why an entry could not be put on disk, with the entry's name and its path.
MessageLine ReasonLine(const EntryOutcome& outcome, const std::string& entryName);
// Why the file `source` could not be added to an archive, or the archive
// written; nothing when the failure has no more to say than its ZIP result.
std::optional<MessageLine> ReasonLine(const ZipWriteFailure& failure, const std::filesystem::path& source);

// The reason for anything a job step threw: file errors, refusals, running out
// of memory and a thread that could not be started by their causes, anything
// else as an internal error with its diagnostic.
MessageLine ReasonLine(const std::exception& error);

}  // namespace vaultpack
