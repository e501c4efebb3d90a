#include "jobs/JobRunner.h"

#include <exception>
#include <utility>

#include "files/WorkerPool.h"
#include "jobs/FailureReasons.h"
#include "jobs/JobMessages.h"

namespace vaultpack {

namespace {

// Tells the host why a job ended by an exception; showing it may fail in the
// same way (no memory), which must not stop the completion.
void ShowEscapedFailure(JobHost& host, const std::exception_ptr& failure) {
    try {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& error) {
            ShowError(host, MessageOwner::None, {ReasonLine(error)});
        }
    } catch (...) {
    }
}

}  // namespace

JobCompletion RunJobBody(JobKind kind, JobHost& host, const JobBody& body) {
    try {
        return body(host);
    } catch (...) {
        // A job reports its own failures; whatever escapes it is told here
        // and still ends it in an orderly way for its host.
        ShowEscapedFailure(host, std::current_exception());
        JobCompletion completion;
        completion.kind = kind;
        completion.outcome = JobOutcome::Failed;
        return completion;
    }
}

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
    return RunningJob(StartThreadWithTerminationSignalsBlocked([kind, host = std::move(host), body = std::move(body)] {
        host->Complete(RunJobBody(kind, *host, body));
    }));
}

}  // namespace vaultpack
