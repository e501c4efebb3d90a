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

// The answer of a message box with `buttons`, unless the job is abandoned
// before or while it is asked.
template <typename Ask>
MessageAnswer AnswerUnlessAbandoned(const std::atomic<bool>& abandoned, MessageButtons buttons, Ask ask) {
    if (abandoned) {
        return CancelledAnswer(buttons);
    }
    const MessageAnswer answer = ask();
    return abandoned ? CancelledAnswer(buttons) : answer;
}

MessageAnswer AbandonableJobHost::ShowMessage(const MessageBoxRequest& request) {
    return AnswerUnlessAbandoned(abandoned_, request.buttons, [&] { return wrapped_->ShowMessage(request); });
}

MessageAnswer AbandonableJobHost::AskOverwrite(const std::filesystem::path& path, OverwriteKind kind) {
    return AnswerUnlessAbandoned(abandoned_, OverwriteButtons(kind), [&] { return wrapped_->AskOverwrite(path, kind); });
}

bool AbandonableJobHost::AskContinueAfterFailure(std::vector<MessageLine> reason) {
    return AnswerUnlessAbandoned(abandoned_, MessageButtons::YesNo, [&] {
               return wrapped_->AskContinueAfterFailure(std::move(reason)) ? MessageAnswer::Yes : MessageAnswer::No;
           }) == MessageAnswer::Yes;
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
