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
    ItemsLeftOut = 5,    // done, but some of the files asked for were left out, each named
};

// The status of a job run. A job that succeeded gives Done (ItemsLeftOut when
// it left files out) even when Ctrl-C came too late to stop it. Otherwise a cancel by the user wins over the
// outcome, because a step the user stopped reports itself as failed. A job
// that did nothing after a password could not be had gives BadInput; one that
// did nothing because an overwrite was declined gives Done: the existing file
// was kept, as asked.
ExitStatus ExitStatusFor(JobOutcome outcome, bool userCancelled, bool passwordRefused);

// The status of two things done in turn: the first's status unless that is
// Done, then the second's. A decryption followed by the unzip of its archive;
// a create job followed by what collecting its ITEMs left out (ItemsLeftOut
// when it left out anything, otherwise Done).
ExitStatus CombinedExitStatus(ExitStatus first, ExitStatus second);

}  // namespace vaultpack
