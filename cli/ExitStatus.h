#pragma once

#include "jobs/Jobs.h"

namespace vaultpack {

// The exit statuses of vaultpack-cli.
enum class ExitStatus : int {
    Done = 0,
    Failed = 1,          // a step, an entry or a file failed
    BadInput = 2,        // wrong usage, or no acceptable password could be had
    WrongPassword = 3,
    Cancelled = 4,       // Ctrl-C, or the end of input at a password prompt
};

// The status of a job run. A job that succeeded gives Done even when Ctrl-C
// came too late to stop it. Otherwise a cancel by the user wins over the
// outcome, because a step the user stopped reports itself as failed. A job
// that did nothing after a password could not be had gives BadInput; one that
// did nothing because an overwrite was declined gives Done: the existing file
// was kept, as asked.
ExitStatus ExitStatusFor(JobOutcome outcome, bool userCancelled, bool passwordRefused);

// The status of a decryption followed by the unzip of its archive: the
// decryption's status unless that is Done, then the unzip's.
ExitStatus CombinedExitStatus(ExitStatus first, ExitStatus second);

}  // namespace vaultpack
