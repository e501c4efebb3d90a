#include "jobs/JobHost.h"

#include <utility>

namespace vaultpack {

namespace {

// Brings `shown` up to `latest` when they differ; says whether they did.
template <typename Field>
bool Take(Field& shown, const Field& latest) {
    if (shown == latest) {
        return false;
    }
    shown = latest;
    return true;
}

// The no-answer of each question.
struct Unanswered {
    Answer operator()(const MessageBoxRequest& box) const { return CancelledAnswer(box.buttons); }
    Answer operator()(const ReplaceQuestion& replace) const { return CancelledAnswer(OverwriteButtons(replace.kind)); }
    Answer operator()(const GoOnQuestion&) const { return MessageAnswer::No; }
    Answer operator()(const PasswordQuestion&) const { return PasswordAnswer(); }
    Answer operator()(const OpenFileQuestion&) const { return PathAnswer(); }
    Answer operator()(const SaveFileQuestion&) const { return PathAnswer(); }
    Answer operator()(const FolderQuestion&) const { return PathAnswer(); }
};

}  // namespace

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

Answer CancelledAnswer(const Question& question) { return std::visit(Unanswered(), question); }

MessageBoxRequest MessageBoxFor(const ReplaceQuestion& question) {
    const MessageId text = question.kind == OverwriteKind::DecryptedFile ? MessageId::DecryptOverwriteQuestion
                                                                         : MessageId::UnzipOverwriteQuestion;
    return {MessageId::CaptionQuestion, OverwriteButtons(question.kind), MessageOwner::Progress,
            {MessageLine::Text(text, {question.path.string()})}};
}

MessageBoxRequest MessageBoxFor(const GoOnQuestion& question) {
    std::vector<MessageLine> lines = question.reason;
    lines.push_back(MessageLine::Text(MessageId::ContinueWithNextFile));
    return {MessageId::CaptionError, MessageButtons::YesNo, MessageOwner::Progress, std::move(lines)};
}

ProgressChanges TakeChanges(Progress& shown, const Progress& latest) {
    ProgressChanges changes;
    changes.shown = Take(shown.shown, latest.shown);
    changes.title = Take(shown.title, latest.title);
    changes.cancelCaption = Take(shown.cancelCaption, latest.cancelCaption);
    changes.status = Take(shown.status, latest.status);
    changes.bar = Take(shown.bar, latest.bar);
    // A new bar may keep the old range; it is a new one all the same.
    changes.bar = Take(shown.range, latest.range) || changes.bar;
    changes.position = Take(shown.position, latest.position) || changes.bar;
    changes.amounts = Take(shown.amounts, latest.amounts);
    return changes;
}

template <typename Field>
void JobHost::Update(Field Progress::*field, const Field& value) {
    progress_.*field = value;
    Report(progress_);
}

// A host that answers with the wrong kind of answer has not answered.
template <typename Given>
Given JobHost::AskFor(const Question& question) {
    Answer answer = Ask(question);
    if (Given* given = std::get_if<Given>(&answer)) {
        return std::move(*given);
    }
    return std::get<Given>(CancelledAnswer(question));
}

std::optional<std::filesystem::path> JobHost::ChooseFileToOpen(FileFilter filter) {
    return AskFor<PathAnswer>(OpenFileQuestion{filter});
}

std::optional<std::filesystem::path> JobHost::ChooseFileToSave(FileFilter filter, const std::string& defaultName,
                                                               const std::filesystem::path& startFolder) {
    return AskFor<PathAnswer>(SaveFileQuestion{filter, defaultName, startFolder});
}

std::optional<std::filesystem::path> JobHost::ChooseFolder(MessageId title) {
    return AskFor<PathAnswer>(FolderQuestion{title});
}

std::optional<std::string> JobHost::AskPassword(const std::string& hint) {
    return AskFor<PasswordAnswer>(PasswordQuestion{hint});
}

std::optional<std::string> JobHost::AskArchivePassword() {
    return AskFor<PasswordAnswer>(PasswordQuestion{{}, true});
}

MessageAnswer JobHost::ShowMessage(const MessageBoxRequest& request) { return AskFor<MessageAnswer>(request); }

MessageAnswer JobHost::AskOverwrite(const std::filesystem::path& path, OverwriteKind kind) {
    return AskFor<MessageAnswer>(ReplaceQuestion{path, kind});
}

bool JobHost::AskContinueAfterFailure(std::vector<MessageLine> reason) {
    return AskFor<MessageAnswer>(GoOnQuestion{std::move(reason)}) == MessageAnswer::Yes;
}

void JobHost::ShowProgress() { Update(&Progress::shown, true); }

void JobHost::SetProgressTitle(MessageId title) { Update(&Progress::title, std::optional(title)); }

void JobHost::SetStatus(const MessageLine& status) { Update(&Progress::status, std::optional(status)); }

void JobHost::SetCancelCaption(MessageId caption) { Update(&Progress::cancelCaption, std::optional(caption)); }

void JobHost::SetAmounts(const ProgressAmounts& amounts) { Update(&Progress::amounts, amounts); }

void JobHost::SetRange(std::uint32_t high) {
    ++progress_.bar;
    progress_.range = high;
    progress_.position = 0;
    Report(progress_);
}

void JobHost::SetPosition(std::uint32_t position) { Update(&Progress::position, position); }

}  // namespace vaultpack
