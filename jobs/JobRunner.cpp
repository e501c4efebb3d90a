#include "jobs/JobRunner.h"

#include <utility>

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

RunningJob StartJob(JobKind kind, std::shared_ptr<JobHost> host, JobBody body) {
    return RunningJob(std::thread([kind, host = std::move(host), body = std::move(body)] {
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
    }));
}

}  // namespace vaultpack
