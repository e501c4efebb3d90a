#pragma once

#include "jobs/JobHost.h"
#include "jobs/JobRecords.h"

namespace vaultpack {

// The three jobs. Each runs synchronously on the calling thread, talks to the
// user only through `host` and returns how it ended; it does not call
// host.Complete. Programs start them through StartJob (JobRunner.h), which
// runs them on a thread of their own and delivers the completion.
JobCompletion RunCreateArchiveJob(const CreateArchiveParams& params, JobHost& host);
JobCompletion RunDecryptJob(const FileJobParams& params, JobHost& host);
JobCompletion RunUnzipJob(const FileJobParams& params, JobHost& host);

}  // namespace vaultpack
