#include "jobs/AbandonableJobHost.h"

namespace vaultpack {

void AbandonableJobHost::Abandon() {
    const std::lock_guard lock(completionMutex_);
    abandoned_ = true;
    RequestCancel();
}

// A question is asked only while the job is not abandoned, and its answer
// counts only if the job still is not abandoned when it comes back.
Answer AbandonableJobHost::Ask(const Question& question) {
    if (abandoned_) {
        return CancelledAnswer(question);
    }
    Answer answer = wrapped_->Ask(question);
    return abandoned_ ? CancelledAnswer(question) : answer;
}

void AbandonableJobHost::Report(const Progress& progress) {
    if (!abandoned_) {
        wrapped_->Report(progress);
    }
}

void AbandonableJobHost::Complete(const JobCompletion& completion) {
    const std::lock_guard lock(completionMutex_);
    if (!abandoned_) {
        wrapped_->Complete(completion);
    }
}

}  // namespace vaultpack
