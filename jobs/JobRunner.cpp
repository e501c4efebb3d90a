#include "jobs/JobRunner.h"

#include <utility>

#include "zip/WorkerThreads.h"

namespace vaultpack {

RunningJob::~RunningJob() {
    if (thread_.joinable()) {
        thread_.detach();
    }
}

void RunningJob::Wait() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

// The job's thread, like the engine's workers, leaves the termination signals
// to the program's own threads: their handlers wait for creations in progress,
// which must never be the handler's own thread.
RunningJob StartJob(JobKind kind, std::shared_ptr<JobHost> host, JobBody body) {
    return RunningJob(std::move(StartThreads(1, [kind, host = std::move(host), body = std::move(body)] {
        JobCompletion completion;
        completion.kind = kind;
        try {
            completion = body(*host);
        } catch (...) {
            // A job reports its own failures; whatever escapes it (memory,
            // a broken invariant) still ends it in an orderly way for its host.
            completion = JobCompletion{};
            completion.kind = kind;
            completion.outcome = JobOutcome::Failed;
        }
        host->Complete(completion);
    }).front()));
}

}  // namespace vaultpack
