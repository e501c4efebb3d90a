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

// What a run knows beside its job's outcome.
struct RunFacts {
    bool userCancelled = false;    // Ctrl-C, or the end of input at a password prompt
    bool passwordRefused = false;  // no acceptable password could be had
    bool itemsLeftOutBefore = false;  // collecting the ITEMs left some out, each named
};

// The status of a job run, decided here alone. A job that delivered gives
// Done, or ItemsLeftOut when it or the collecting before it left files out,
// even when Ctrl-C came too late to stop it. Otherwise a cancel by the user
// wins over the outcome, because a step the user stopped reports itself as
// failed. A job that did nothing after a password could not be had gives
// BadInput; one that did nothing because an overwrite was declined gives
// Done: the existing file was kept, as asked.
ExitStatus ExitStatusFor(JobOutcome outcome, const RunFacts& facts);

// The status of two jobs run in turn (a decryption followed by the unzip of
// its archive): the first's status unless that is Done, then the second's.
ExitStatus CombinedExitStatus(ExitStatus first, ExitStatus second);

}  // namespace vaultpack
