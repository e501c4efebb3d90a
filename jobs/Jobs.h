#pragma once

#include "jobs/JobHost.h"
#include "jobs/JobRecords.h"

namespace vaultpack {

// How a job ended, for callers that need more than what the user was shown
// (the command-line tool's exit status).
enum class JobOutcome {
    Succeeded,      // everything asked for was done
    NothingDone,    // the user chose nothing or declined (no file, no folder, overwrite refused)
    Failed,         // a step, an entry or a file failed
    WrongPassword,  // the password was wrong and the user gave up
    Cancelled,      // stopped through the cancel flag
};

// The three jobs. Each runs synchronously on the calling thread (a worker),
// talks to the user only through `host`, and ends with exactly one
// host.Complete call.
JobOutcome RunCreateArchiveJob(const CreateArchiveParams& params, JobHost& host);
JobOutcome RunDecryptJob(const FileJobParams& params, JobHost& host);
JobOutcome RunUnzipJob(const FileJobParams& params, JobHost& host);

}  // namespace vaultpack
