#pragma once

#include <functional>
#include <memory>
#include <thread>

#include "jobs/JobHost.h"

namespace vaultpack {

// A job bound to its record: one of RunCreateArchiveJob, RunDecryptJob and
// RunUnzipJob with the record captured by value, so the job's thread owns it.
using JobBody = std::function<JobCompletion(JobHost&)>;

// The thread of a started job. Waiting is for callers that may block (the
// command-line tool, tests); a GUI never waits: dropping the object leaves the
// thread to run on and end by itself, still owning what it needs.
class RunningJob {
public:
    explicit RunningJob(std::thread thread) : thread_(std::move(thread)) {}
    RunningJob(RunningJob&&) noexcept = default;
    RunningJob& operator=(RunningJob&&) = delete;
    RunningJob(const RunningJob&) = delete;
    RunningJob& operator=(const RunningJob&) = delete;
    ~RunningJob();

    // Blocks until the job's thread has ended; its completion has then been
    // delivered. Waiting twice returns at once.
    void Wait();

private:
    std::thread thread_;
};

// Starts `body` on a new thread with `host`, which the thread shares until it
// ends. Delivers exactly one host->Complete as the thread's last call on the
// host: the body's completion, or, when the body throws, a completion of
// `kind` with the outcome Failed, after a message with the reason (nothing
// escapes the thread). Throws ThreadStartError when no thread can be started;
// nothing has run then.
RunningJob StartJob(JobKind kind, std::shared_ptr<JobHost> host, JobBody body);

// Runs body on the calling thread as a job's thread does, without the
// completion: whatever escapes it (no memory, no thread for its workers, a
// broken invariant) is shown with its cause and makes the job Failed.
JobCompletion RunJobBody(JobKind kind, JobHost& host, const JobBody& body);

}  // namespace vaultpack
