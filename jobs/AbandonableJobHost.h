#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "jobs/JobHost.h"

namespace vaultpack {

// Wraps the host of a job that its starter may abandon (the options window
// closed while its create job runs). Until Abandon, every call goes to the
// wrapped host. From Abandon on, no call reaches it any more: questions are
// answered CancelledAnswer, reports do nothing, CancelRequested is true (the
// base's own flag) so the job winds down at its next check, and the
// completion is swallowed. Before that, the wrapped host's cancel flag counts.
//
// Abandon may be called from any thread while the job calls the host on its
// own thread, and it returns at once: it never waits for a call in progress
// (the starter may be the very thread that answers that call). A question
// already being asked when Abandon comes gets the abandoned answer whatever
// the user chose. Once Abandon has returned, Complete never reaches the
// wrapped host.
class AbandonableJobHost final : public JobHost {
public:
    explicit AbandonableJobHost(std::shared_ptr<JobHost> wrapped)
        : JobHost(wrapped.get()), wrapped_(std::move(wrapped)) {}

    void Abandon();

    Answer Ask(const Question& question) override;
    void Report(const Progress& progress) override;
    void Complete(const JobCompletion& completion) override;

private:
    // Shared, so that a call in progress when the starter abandons the job and
    // goes away still has its host.
    std::shared_ptr<JobHost> wrapped_;
    std::atomic<bool> abandoned_{false};
    // Held while a completion is handed on (a quick, non-blocking call) and by
    // Abandon, so that no completion slips through after Abandon returns.
    std::mutex completionMutex_;
};

}  // namespace vaultpack
