#include "jobs/AbandonableJobHost.h"

namespace vaultpack {

namespace {

// A question is asked only while the job is not abandoned, and its answer
// counts only if the job still is not abandoned when it comes back.
template <typename Ask>
auto AskUnlessAbandoned(const std::atomic<bool>& abandoned, Ask ask) -> decltype(ask()) {
    if (abandoned) {
        return std::nullopt;
    }
    auto answer = ask();
    if (abandoned) {
        answer.reset();
    }
    return answer;
}

}  // namespace

void AbandonableJobHost::Abandon() {
    const std::lock_guard lock(completionMutex_);
    abandoned_ = true;
}

std::optional<std::filesystem::path> AbandonableJobHost::ChooseFileToOpen(FileFilter filter) {
    return AskUnlessAbandoned(abandoned_, [&] { return wrapped_->ChooseFileToOpen(filter); });
}

std::optional<std::filesystem::path> AbandonableJobHost::ChooseFileToSave(FileFilter filter,
                                                                          const std::string& defaultName,
                                                                          const std::filesystem::path& startFolder) {
    return AskUnlessAbandoned(abandoned_,
                              [&] { return wrapped_->ChooseFileToSave(filter, defaultName, startFolder); });
}

std::optional<std::filesystem::path> AbandonableJobHost::ChooseFolder(MessageId title) {
    return AskUnlessAbandoned(abandoned_, [&] { return wrapped_->ChooseFolder(title); });
}

std::optional<std::string> AbandonableJobHost::AskPassword(const std::string& hint) {
    return AskUnlessAbandoned(abandoned_, [&] { return wrapped_->AskPassword(hint); });
}

MessageAnswer AbandonableJobHost::ShowMessage(const MessageBoxRequest& request) {
    if (abandoned_) {
        return CancelledAnswer(request.buttons);
    }
    const MessageAnswer answer = wrapped_->ShowMessage(request);
    return abandoned_ ? CancelledAnswer(request.buttons) : answer;
}

void AbandonableJobHost::ShowProgress() {
    if (!abandoned_) {
        wrapped_->ShowProgress();
    }
}

void AbandonableJobHost::SetProgressTitle(MessageId title) {
    if (!abandoned_) {
        wrapped_->SetProgressTitle(title);
    }
}

void AbandonableJobHost::SetStatus(const MessageLine& status) {
    if (!abandoned_) {
        wrapped_->SetStatus(status);
    }
}

void AbandonableJobHost::SetCancelCaption(MessageId caption) {
    if (!abandoned_) {
        wrapped_->SetCancelCaption(caption);
    }
}

void AbandonableJobHost::SetAmounts(const ProgressAmounts& amounts) {
    if (!abandoned_) {
        wrapped_->SetAmounts(amounts);
    }
}

void AbandonableJobHost::SetRange(std::uint32_t high) {
    if (!abandoned_) {
        wrapped_->SetRange(high);
    }
}

void AbandonableJobHost::SetPosition(std::uint32_t position) {
    if (!abandoned_) {
        wrapped_->SetPosition(position);
    }
}

bool AbandonableJobHost::CancelRequested() const {
    return abandoned_ || wrapped_->CancelRequested();
}

void AbandonableJobHost::Complete(const JobCompletion& completion) {
    const std::lock_guard lock(completionMutex_);
    if (!abandoned_) {
        wrapped_->Complete(completion);
    }
}

}  // namespace vaultpack
