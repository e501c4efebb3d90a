#include "jobs/JobHost.h"

#include <utility>

namespace vaultpack {

MessageButtons OverwriteButtons(OverwriteKind kind) {
    switch (kind) {
        case OverwriteKind::SavedFile: return MessageButtons::YesNo;
        case OverwriteKind::DecryptedFile: return MessageButtons::YesNoAll;
        case OverwriteKind::UnzippedEntry: break;
    }
    return MessageButtons::YesNoAllCancel;
}

bool JobDelivered(JobOutcome outcome) {
    switch (outcome) {
        case JobOutcome::Succeeded:
        case JobOutcome::ItemsLeftOut: return true;
        case JobOutcome::NothingDone:
        case JobOutcome::Failed:
        case JobOutcome::WrongPassword:
        case JobOutcome::Cancelled: break;
    }
    return false;
}

MessageAnswer JobHost::AskOverwrite(const std::filesystem::path& path, OverwriteKind kind) {
    const MessageId question =
        kind == OverwriteKind::DecryptedFile ? MessageId::DecryptOverwriteQuestion : MessageId::UnzipOverwriteQuestion;
    return ShowMessage({MessageId::CaptionQuestion, OverwriteButtons(kind), MessageOwner::Progress,
                        {MessageLine::Text(question, {path.string()})}});
}

bool JobHost::AskContinueAfterFailure(std::vector<MessageLine> reason) {
    reason.push_back(MessageLine::Text(MessageId::ContinueWithNextFile));
    return ShowMessage({MessageId::CaptionError, MessageButtons::YesNo, MessageOwner::Progress, std::move(reason)}) ==
           MessageAnswer::Yes;
}

}  // namespace vaultpack
