#include "cli/ConsoleJobHost.h"

#include <algorithm>
#include <system_error>

#include "app/MessageRendering.h"
#include "cli/PasswordInput.h"
#include "app/PrintableText.h"
#include "files/AsciiCase.h"

namespace vaultpack {

ConsoleJobHost::ConsoleJobHost(const MessageCatalogue& catalogue, ConsoleHostAnswers answers, Terminal* terminal,
                               std::ostream& output, std::ostream& errors, const std::atomic<bool>& cancelFlag,
                               ProgressBar* progressBar)
    : JobHost(cancelFlag),
      catalogue_(catalogue),
      answers_(std::move(answers)),
      terminal_(terminal),
      output_(output),
      errors_(errors),
      cancelFlag_(cancelFlag),
      progressBar_(progressBar) {}

Answer ConsoleJobHost::Ask(const Question& question) {
    return std::visit([this](const auto& asked) -> Answer { return Reply(asked); }, question);
}

PathAnswer ConsoleJobHost::Reply(const OpenFileQuestion&) { return std::nullopt; }

PathAnswer ConsoleJobHost::Reply(const SaveFileQuestion&) {
    if (!answers_.fileToSave) {
        return std::nullopt;
    }
    const std::filesystem::path& target = *answers_.fileToSave;
    std::error_code error;
    if (!std::filesystem::exists(target, error)) {
        return target;
    }
    if (std::filesystem::is_directory(target, error)) {
        Print(errors_, PrintableText(target.string(), false) + ": is a folder");
        return std::nullopt;
    }
    // A save dialog confirms replacing an existing file.
    return Reply(ReplaceQuestion{target, OverwriteKind::SavedFile}) == MessageAnswer::Yes ? PathAnswer(target)
                                                                                            : std::nullopt;
}

PathAnswer ConsoleJobHost::Reply(const FolderQuestion&) { return std::nullopt; }

PasswordAnswer ConsoleJobHost::Reply(const PasswordQuestion& question) {
    const int asked = passwordQuestions_++;
    if (answers_.password) {
        return asked == 0 ? answers_.password : std::nullopt;
    }
    if (cancelFlag_.load() || asked >= kPasswordQuestions) {
        return std::nullopt;
    }
    if (progressBar_ != nullptr) {
        progressBar_->Erase();
    }
    // An archive's password has no hint to show.
    PasswordInput input = AskPasswordOnTerminal(
        terminal_, catalogue_, question.forArchive ? std::nullopt : std::optional<std::string>(question.hint));
    switch (input.status) {
        case PasswordInput::Status::Given:
            return std::move(input.password);
        case PasswordInput::Status::Cancelled:
            userCancelled_ = true;
            break;
        case PasswordInput::Status::Refused:
            // The job ends without a word of its own; the reason is ours to tell.
            passwordRefused_ = true;
            Print(errors_, "vaultpack-cli: " + PrintableText(input.problem, true));
            break;
    }
    return std::nullopt;
}

MessageAnswer ConsoleJobHost::Reply(const MessageBoxRequest& request) {
    const std::string text = PrintableText(RenderMessageLines(catalogue_, request.lines), true);
    if (request.buttons == MessageButtons::Ok) {
        Print(request.caption == MessageId::CaptionError ? errors_ : output_, text);
        return MessageAnswer::Ok;
    }
    return AskOnTerminal(request, text);
}

MessageAnswer ConsoleJobHost::Reply(const ReplaceQuestion& question) {
    if (answers_.overwrite != OverwritePolicy::Ask) {
        return answers_.overwrite == OverwritePolicy::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    return Reply(MessageBoxFor(question));
}

MessageAnswer ConsoleJobHost::Reply(const GoOnQuestion& question) {
    const MessageBoxRequest box = MessageBoxFor(question);
    if (!answers_.continueAfterFailure) {
        return Reply(box);
    }
    Print(errors_, PrintableText(RenderMessageLines(catalogue_, box.lines), true) + "\n(--keep-going: yes)");
    return MessageAnswer::Yes;
}

MessageAnswer ConsoleJobHost::AskOnTerminal(const MessageBoxRequest& request, const std::string& text) {
    const MessageAnswer wayOut = CancelledAnswer(request.buttons);
    const bool withAll =
        request.buttons == MessageButtons::YesNoAll || request.buttons == MessageButtons::YesNoAllCancel;
    const bool withCancel =
        request.buttons == MessageButtons::YesNoCancel || request.buttons == MessageButtons::YesNoAllCancel;
    if (cancelFlag_.load()) {
        return wayOut;
    }
    if (terminal_ == nullptr) {
        Print(errors_, text + "\n(no terminal to answer on: no)");
        return MessageAnswer::No;
    }
    if (progressBar_ != nullptr) {
        progressBar_->Erase();
    }
    terminal_->Write(text + "\n");
    for (;;) {
        const std::optional<std::string> line = terminal_->ReadLine(
            withAll ? (withCancel ? "[y]es, [n]o, [a]ll, n[o]ne or [c]ancel? " : "[y]es, [n]o, [a]ll or n[o]ne? ")
                    : (withCancel ? "[y]es, [n]o or [c]ancel? " : "[y]es or [n]o? "),
            true);
        if (!line) {
            // The end of input or Ctrl-C: the answer that stops, without asking again.
            return wayOut;
        }
        const std::string answer = AsciiLowercase(*line);
        if (answer == "y" || answer == "yes") {
            return MessageAnswer::Yes;
        }
        if (answer == "n" || answer == "no") {
            return MessageAnswer::No;
        }
        if (withCancel && (answer == "c" || answer == "cancel")) {
            return MessageAnswer::Cancel;
        }
        if (withAll && (answer == "a" || answer == "all")) {
            return MessageAnswer::YesToAll;
        }
        if (withAll && (answer == "o" || answer == "none")) {
            return MessageAnswer::NoToAll;
        }
    }
}

void ConsoleJobHost::Print(std::ostream& stream, const std::string& text) {
    if (progressBar_ != nullptr) {
        progressBar_->Erase();
    }
    stream << text << '\n' << std::flush;
}

// Only what changed reaches the bar. There is no Cancel button to label
// (Ctrl-C cancels), and of the amounts only the count shows: a rate and a
// time left would leave no room for the file name on a narrow terminal.
void ConsoleJobHost::Report(const Progress& progress) {
    const ProgressChanges changed = TakeChanges(shown_, progress);
    if (progressBar_ == nullptr) {
        return;
    }
    if (changed.shown) {
        progressBar_->Show();
    }
    if (changed.title && progress.title) {
        progressBar_->SetTitle(catalogue_.Load(*progress.title));
    }
    if (changed.status && progress.status) {
        progressBar_->SetStatus(RenderMessageLine(catalogue_, *progress.status));
    }
    if (changed.bar) {
        progressBar_->SetRange(progress.range);
    }
    if (changed.position) {
        progressBar_->SetPosition(progress.position);
    }
    if (changed.amounts) {
        progressBar_->SetCount(progress.amounts.done, progress.amounts.total);
    }
}

void ConsoleJobHost::Complete(const JobCompletion& completion) {
    if (progressBar_ != nullptr) {
        progressBar_->Hide();
    }
    completion_ = completion;
}

}  // namespace vaultpack
