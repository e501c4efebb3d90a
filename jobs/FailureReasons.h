#pragma once

#include <exception>
#include <optional>
#include <string>

#include "files/Failure.h"
#include "jobs/MessageLine.h"

namespace vaultpack {

// The engine below the jobs reports every failure as one Failure; these turn
// it into catalogue lines in the user's language.

// The message that names a failed encryption or decryption: the reason's own
// message for a wrong password, a file that is no container and a container of
// another version; otherwise `generic` (EncryptFailed, DecryptFailed).
MessageId FailureMessage(FailureReason reason, MessageId generic);

// Why it failed, with the file, the name and the system's reason where the
// failure has them. Nothing for a failure that has no more to say than the
// ZIP facility's code that came with it (reason None, EntryUnreadable,
// ArchiveData, Cancelled, UnacceptableName).
std::optional<MessageLine> ReasonLine(const Failure& failure);

// The reason for anything a job step threw: the engine's failures by their
// reason, running out of memory by its cause, anything else as an internal
// error with its diagnostic.
MessageLine ReasonLine(const std::exception& error);

// An internal error, for a failure that should have had a reason and had none.
MessageLine InternalErrorLine(const std::string& diagnostic);

}  // namespace vaultpack
